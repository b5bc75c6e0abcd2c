#include "RulesTestSupport.h"

#include "core/rules/StatusChangeDetector.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using H = ComponentHealth;
using rules_testing::now;

ServiceStatus componentStatus(const char* name, H health, Date at = now)
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
         {componentStatus("A", H::degradedPerformance, now), componentStatus("A", H::majorOutage, t0)},
         {componentStatus("A", H::majorOutage, now)}},
        {"equalRankKeepsEarlier",
         {componentStatus("A", H::underMaintenance, t0), componentStatus("A", H::degradedPerformance, now)},
         {componentStatus("A", H::underMaintenance, now)}},
        {"unknownOutranksOperational", {componentStatus("A", H::unknown), componentStatus("A", H::operational)}, {componentStatus("A", H::unknown)}},
        {"operationalThenUnknown", {componentStatus("A", H::operational), componentStatus("A", H::unknown)}, {componentStatus("A", H::unknown)}},
        {"firstAppearanceOrder",
         {componentStatus("B", H::operational), componentStatus("A", H::operational), componentStatus("B", H::partialOutage)},
         {componentStatus("B", H::partialOutage), componentStatus("A", H::operational)}},
        {"namesAreCaseSensitive", {componentStatus("a", H::operational), componentStatus("A", H::majorOutage)},
         {componentStatus("a", H::operational), componentStatus("A", H::majorOutage)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StatusChangeDetector::coalescedServices(c.input), c.expected);
    }
    const auto map = StatusChangeDetector::baseline({componentStatus("A", H::operational), componentStatus("A", H::partialOutage)});
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
        {"unrememberedIgnored", {{a, H::operational}}, {componentStatus("A", H::partialOutage), componentStatus("B", H::majorOutage)},
         QStringLiteral("A: 一部障害")},
        {"partialToMajor", {{a, H::partialOutage}}, {componentStatus("A", H::majorOutage)}, QStringLiteral("A: 障害")},
        {"samePartial", {{a, H::partialOutage}}, {componentStatus("A", H::partialOutage)}, std::nullopt},
        {"partialToDegraded", {{a, H::partialOutage}}, {componentStatus("A", H::degradedPerformance)}, std::nullopt},
        {"unknownCountsAsOperational", {{a, H::unknown}}, {componentStatus("A", H::degradedPerformance)}, QStringLiteral("A: 劣化")},
        {"maintenanceIsNotWorseThanDegraded", {{a, H::degradedPerformance}}, {componentStatus("A", H::underMaintenance)}, std::nullopt},
        {"nowUnknownNeverListed", {{a, H::operational}}, {componentStatus("A", H::unknown)}, std::nullopt},
        {"majorNeverListed", {{a, H::majorOutage}}, {componentStatus("A", H::majorOutage)}, std::nullopt},
        {"firstFetchSilent", {}, {componentStatus("A", H::majorOutage)}, std::nullopt},
        {"sortedUpperCaseFirst", {{QStringLiteral("b"), H::operational}, {a, H::operational}},
         {componentStatus("b", H::underMaintenance), componentStatus("A", H::majorOutage)}, QStringLiteral("A: 障害\nb: メンテナンス")},
        {"duplicatesCoalescedFirst", {{a, H::operational}},
         {componentStatus("A", H::operational), componentStatus("A", H::partialOutage)}, QStringLiteral("A: 一部障害")},
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
