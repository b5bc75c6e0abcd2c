#include "app/viewmodel/ProviderRefreshSchedule.h"
#include "core/model/AppSettings.h"

#include <gtest/gtest.h>

#include <functional>

namespace vantorel {
namespace {

constexpr Date scheduleStart(1000);

AppSettings codexOnly(std::int64_t interval = 300)
{
    AppSettings settings;
    settings.codexEnabled = true;
    settings.claudeEnabled = false;
    settings.refreshIntervalSeconds = interval;
    return settings;
}

AppSettings both()
{
    AppSettings settings = codexOnly();
    settings.claudeEnabled = true;
    settings.usesSeparateRefreshIntervals = true;
    settings.codexRefreshIntervalSeconds = 300;
    settings.claudeRefreshIntervalSeconds = 600;
    return settings;
}

using Dates = std::map<MonitoredProvider, double>;

struct ScheduleCase
{
    const char* name;
    std::function<QList<MonitoredProvider>(ProviderRefreshSchedule&)> act;
    QList<MonitoredProvider> due;
    Dates nextDates; // seconds after scheduleStart
    std::map<MonitoredProvider, double> intervals;
};

constexpr auto codex = MonitoredProvider::codex;
constexpr auto claude = MonitoredProvider::claude;

TEST(ProviderRefreshSchedule, Table)
{
    const ScheduleCase cases[] = {
        {"interval below the minimum is 60 s",
         [](auto& s) { s.configure(codexOnly(0), scheduleStart); return QList<MonitoredProvider>(); }, {}, {{codex, 60}}, {{codex, 60}}},
        {"negative interval is 60 s",
         [](auto& s) { s.configure(codexOnly(-5), scheduleStart); return QList<MonitoredProvider>(); }, {}, {{codex, 60}}, {{codex, 60}}},
        {"interval above a day is 86,400 s",
         [](auto& s) { s.configure(codexOnly(100'000), scheduleStart); return QList<MonitoredProvider>(); }, {}, {{codex, 86'400}}, {{codex, 86'400}}},
        {"claude with status and usage refresh off is not scheduled",
         [](auto& s) {
             AppSettings settings = both();
             s.configure(settings, scheduleStart);
             settings.claudeStatusEnabled = false;
             settings.claudeUsageAutoRefreshEnabled = false;
             s.configure(settings, scheduleStart + 10);
             return QList<MonitoredProvider>();
         },
         {}, {{codex, 300}}, {{codex, 300}}},
        {"nothing active",
         [](auto& s) {
             AppSettings settings = codexOnly();
             settings.codexEnabled = false;
             s.configure(settings, scheduleStart);
             return QList<MonitoredProvider>();
         },
         {}, {}, {}},
        {"configuring again keeps the pending dates",
         [](auto& s) { s.configure(both(), scheduleStart); s.configure(both(), scheduleStart + 100); return QList<MonitoredProvider>(); },
         {}, {{codex, 300}, {claude, 600}}, {{codex, 300}, {claude, 600}}},
        {"separate intervals equal to the common one keep the date",
         [](auto& s) {
             AppSettings settings = codexOnly();
             s.configure(settings, scheduleStart);
             settings.usesSeparateRefreshIntervals = true;
             settings.codexRefreshIntervalSeconds = 300;
             s.configure(settings, scheduleStart + 100);
             return QList<MonitoredProvider>();
         },
         {}, {{codex, 300}}, {{codex, 300}}},
        {"a changed interval restarts the countdown",
         [](auto& s) {
             AppSettings settings = codexOnly();
             s.configure(settings, scheduleStart);
             settings.usesSeparateRefreshIntervals = true;
             settings.codexRefreshIntervalSeconds = 120;
             s.configure(settings, scheduleStart + 100);
             return QList<MonitoredProvider>();
         },
         {}, {{codex, 220}}, {{codex, 120}}},
        {"a date equal to now is due and moves one interval on",
         [](auto& s) { s.configure(both(), scheduleStart); return s.takeDue(scheduleStart + 300); },
         {codex}, {{codex, 600}, {claude, 600}}, {{codex, 300}, {claude, 600}}},
        {"overdue by several intervals is returned once, codex first",
         [](auto& s) { s.configure(both(), scheduleStart); return s.takeDue(scheduleStart + 5000); },
         {codex, claude}, {{codex, 5300}, {claude, 5600}}, {{codex, 300}, {claude, 600}}},
        {"a clock that went back restarts every countdown",
         [](auto& s) {
             s.configure(both(), scheduleStart);
             s.takeDue(scheduleStart + 200);
             return s.takeDue(scheduleStart + 50);
         },
         {}, {{codex, 350}, {claude, 650}}, {{codex, 300}, {claude, 600}}},
        {"markRequested restarts from now",
         [](auto& s) { s.configure(both(), scheduleStart); s.markRequested(scheduleStart + 290); return s.takeDue(scheduleStart + 300); },
         {}, {{codex, 590}, {claude, 890}}, {{codex, 300}, {claude, 600}}},
    };
    for (const ScheduleCase& c : cases) {
        SCOPED_TRACE(c.name);
        ProviderRefreshSchedule schedule;
        EXPECT_EQ(c.act(schedule), c.due);
        Dates dates;
        for (const auto& [provider, date] : schedule.nextDates) {
            dates[provider] = date - scheduleStart;
        }
        EXPECT_EQ(dates, c.nextDates);
        EXPECT_EQ(schedule.intervals, c.intervals);
        EXPECT_EQ(schedule.earliestDate().has_value(), !c.nextDates.empty());
    }
}

} // namespace
} // namespace vantorel
