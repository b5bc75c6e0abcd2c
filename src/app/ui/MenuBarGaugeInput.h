#pragma once

#include "core/model/MenuBarGaugeLabelStyle.h"
#include "core/model/MenuBarGaugeValue.h"
#include "core/model/MenuBarProviderIdentityStyle.h"

#include <QList>
#include <QString>

#include <vector>

namespace vantorel {

// Everything the menu-bar pictures show.
struct MenuBarGaugeInput {
    static inline const QString codexIconName = QStringLiteral("codex-menu");
    static inline const QString claudeIconName = QStringLiteral("claude-menu");

    bool codexEnabled = false;
    bool claudeEnabled = false;
    QList<MenuBarGaugeValue> codexValues;
    QList<MenuBarGaugeValue> claudeValues;
    bool compact = true;
    MenuBarGaugeLabelStyle labelStyle = MenuBarGaugeLabelStyle::period;
    MenuBarProviderIdentityStyle codexIdentityStyle = MenuBarProviderIdentityStyle::icon;
    MenuBarProviderIdentityStyle claudeIdentityStyle = MenuBarProviderIdentityStyle::icon;

    bool operator==(const MenuBarGaugeInput&) const = default;

    // One enabled provider; refers into the input it came from.
    struct Provider {
        const QString& iconName;
        const QList<MenuBarGaugeValue>& values;
        MenuBarProviderIdentityStyle identityStyle;
    };

    // The enabled providers in drawing order: Codex, then Claude.
    std::vector<Provider> enabledProviders() const
    {
        std::vector<Provider> providers;
        if (codexEnabled)
            providers.push_back({codexIconName, codexValues, codexIdentityStyle});
        if (claudeEnabled)
            providers.push_back({claudeIconName, claudeValues, claudeIdentityStyle});
        return providers;
    }
};

} // namespace vantorel
