#include "RulesTestSupport.h"

#include "core/rules/StatusChangeDetector.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using H = ComponentHealth;
using rules_testing::now;

ServiceStatus service(const char* name, H health, Date at = now)
{
    return ServiceStatus{QString::fromUtf8(name), health, at};
}

TEST(StatusChangeDetector, CoalescesDuplicatesByMergeRank)
{
    struct Case
    {
        const char* name;
        QList<ServiceStatus> input;
        QList<ServiceStatus> expected;
    };
    const Date t0 = now - 60;
    const Case cases[] = {
        {"severerLaterEntryWinsLaterDateKept",
         {service("A", H::degradedPerformance, now), service("A", H::majorOutage, t0)},
         {service("A", H::majorOutage, now)}},
        {"equalRankKeepsEarlier",
         {service("A", H::underMaintenance, t0), service("A", H::degradedPerformance, now)},
         {service("A", H::underMaintenance, now)}},
        {"unknownOutranksOperational", {service("A", H::unknown), service("A", H::operational)}, {service("A", H::unknown)}},
        {"operationalThenUnknown", {service("A", H::operational), service("A", H::unknown)}, {service("A", H::unknown)}},
        {"firstAppearanceOrder",
         {service("B", H::operational), service("A", H::operational), service("B", H::partialOutage)},
         {service("B", H::partialOutage), service("A", H::operational)}},
        {"namesAreCaseSensitive", {service("a", H::operational), service("A", H::majorOutage)},
         {service("a", H::operational), service("A", H::majorOutage)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StatusChangeDetector::coalescedServices(c.input), c.expected);
    }
    const auto map = StatusChangeDetector::baseline({service("A", H::operational), service("A", H::partialOutage)});
    EXPECT_EQ(map.size(), 1);
    EXPECT_EQ(map.value(QStringLiteral("A")), H::partialOutage);
}

TEST(StatusChangeDetector, NotifiesOnlyRememberedComponentsThatGotWorse)
{
    struct Case
    {
        const char* name;
        QHash<QString, H> remembered;
        QList<ServiceStatus> current;
        std::optional<QString> body;
    };
    const QString a = QStringLiteral("A");
    const Case cases[] = {
        {"unrememberedIgnored", {{a, H::operational}}, {service("A", H::partialOutage), service("B", H::majorOutage)},
         QStringLiteral("A: 一部障害")},
        {"partialToMajor", {{a, H::partialOutage}}, {service("A", H::majorOutage)}, QStringLiteral("A: 障害")},
        {"samePartial", {{a, H::partialOutage}}, {service("A", H::partialOutage)}, std::nullopt},
        {"partialToDegraded", {{a, H::partialOutage}}, {service("A", H::degradedPerformance)}, std::nullopt},
        {"unknownCountsAsOperational", {{a, H::unknown}}, {service("A", H::degradedPerformance)}, QStringLiteral("A: 劣化")},
        {"maintenanceIsNotWorseThanDegraded", {{a, H::degradedPerformance}}, {service("A", H::underMaintenance)}, std::nullopt},
        {"nowUnknownNeverListed", {{a, H::operational}}, {service("A", H::unknown)}, std::nullopt},
        {"majorNeverListed", {{a, H::majorOutage}}, {service("A", H::majorOutage)}, std::nullopt},
        {"firstFetchSilent", {}, {service("A", H::majorOutage)}, std::nullopt},
        {"sortedUpperCaseFirst", {{QStringLiteral("b"), H::operational}, {a, H::operational}},
         {service("b", H::underMaintenance), service("A", H::majorOutage)}, QStringLiteral("A: 障害\nb: メンテナンス")},
        {"duplicatesCoalescedFirst", {{a, H::operational}},
         {service("A", H::operational), service("A", H::partialOutage)}, QStringLiteral("A: 一部障害")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto notification = StatusChangeDetector::notification(QStringLiteral("Codex"), c.remembered, c.current);
        ASSERT_EQ(notification.has_value(), c.body.has_value());
        if (notification) {
            EXPECT_EQ(notification->title, QStringLiteral("Codex Status が悪化しました"));
            EXPECT_EQ(notification->body, *c.body);
        }
    }
}

} // namespace
} // namespace vantorel
