#include "core/model/ProviderPlanFormatter.h"

#include <array>
#include <utility>

namespace vantorel {

namespace {

// Plan words of the ChatGPT accounts behind the Codex CLI and of Claude subscriptions and tiers.
constexpr std::array<std::pair<QStringView, QStringView>, 13> knownPlans{{
    {u"free", u"Free"},
    {u"go", u"Go"},
    {u"plus", u"Plus"},
    {u"pro", u"Pro"},
    {u"team", u"Team"},
    {u"business", u"Business"},
    {u"enterprise", u"Enterprise"},
    {u"edu", u"Edu"},
    {u"education", u"Edu"},
    {u"max", u"Max"},
    {u"max_5x", u"Max 5x"},
    {u"max_20x", u"Max 20x"},
    {u"unknown", u""},
}};

} // namespace

QString ProviderPlanFormatter::planLabel(const QString& planType)
{
    const QString trimmed = planType.trimmed();
    QString key = trimmed.toLower();
    key.replace(u'-', u'_');
    for (const QStringView prefix : {QStringView(u"default_claude_"), QStringView(u"claude_")}) {
        if (key.startsWith(prefix)) {
            key.remove(0, prefix.size());
            break;
        }
    }
    for (const auto& [word, label] : knownPlans) {
        if (key == word) {
            return label.toString();
        }
    }
    return trimmed.left(maximumPlanLabelLength);
}

QString ProviderPlanFormatter::badgeText(const QString& providerName, const std::optional<QString>& planType,
                                         bool isAuthenticated)
{
    const QString plan = planType.value_or(QString()).trimmed();
    const QString label = planLabel(plan);
    if (label.isEmpty() || plan.compare(providerName, Qt::CaseInsensitive) == 0) {
        return isAuthenticated ? providerName + u" ログイン中" : providerName;
    }
    return providerName + u' ' + label;
}

} // namespace vantorel
