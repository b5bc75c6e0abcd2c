#pragma once

#include <QString>

#include <optional>

namespace vantorel {

// The short plan badge shown next to a provider ("Codex Plus", "Claude Max 20x").
struct ProviderPlanFormatter
{
    // Plan labels longer than this are cut (the badge sits in a narrow column).
    static constexpr qsizetype maximumPlanLabelLength = 24;

    // The provider name alone when the plan is absent, blank, "unknown" or the provider name and
    // the login is not in use; otherwise the name, one space and a short plan label ("ログイン中"
    // when the login is in use but the plan is unknown). Plan names match without regard to case.
    static QString badgeText(const QString& providerName, const std::optional<QString>& planType,
                             bool isAuthenticated);
    // The label of a known plan type, or the trimmed text itself; empty for no plan.
    static QString planLabel(const QString& planType);
};

} // namespace vantorel
