#pragma once

#include "core/model/AppSettings.h"

#include <QString>

namespace vantorel {

// What the tray shows of the menu-bar choices, said where they are made: the settings page and
// the setup wizard's tray step.
struct MenuBarTrayNote {
    // Which rings the tray shows, that the centre number needs a large enough tray icon, and
    // that the identity style reaches only the panel shown without a tray.
    static QString text(const AppSettings& settings)
    {
        QString shown;
        if (settings.menuBarCompactMode)
            shown = QStringLiteral("トレイでは各サービス1つの円と、中央に最も少ない残り%を表示します。数字は、トレイのアイコンが小さいと省かれます。");
        else if (settings.menuBarGaugeLabelStyle == MenuBarGaugeLabelStyle::remainingPercent)
            shown = QStringLiteral("トレイでは選択した枠ごとの円を表示します。中央の最も少ない残り%は、大きなトレイでだけ表示されます（円が多いほど大きさが必要です）。");
        else
            shown = QStringLiteral("トレイでは選択した枠ごとの円だけを表示します。");
        return shown + QStringLiteral("「表示形式」（アイコン/文字）は、トレイがないときに出るパネルだけに反映されます。");
    }
};

} // namespace vantorel
