#include "app/platform/CloudSyncSwitch.h"
#include "app/platform/LogindManager.h"
#include "app/platform/LogindSession.h"
#include "app/platform/MacBackgroundMonitoring.h"
#include "app/platform/MacClaudeLoginAvailability.h"
#include "app/platform/ScreenSaverMonitor.h"
#include "app/platform/UPowerMonitor.h"
#include "support/FakeDesktopSession.h"

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

constexpr int busTimeoutMs = 10'000;

class FakeCloud final : public CloudSyncSwitch
{
public:
    bool on = false;
    int resumeCount = 0;

    bool enabled() const override { return on; }
    void resumeAfterWake() override { ++resumeCount; }
    void set(bool value)
    {
        on = value;
        emit enabledChanged(value);
    }
};

// Monitoring on, Codex off, Claude on with neither usage refresh nor status: nothing to watch.
AppSettings idleProviders()
{
    AppSettings settings;
    settings.backgroundMonitoringEnabled = true;
    settings.codexEnabled = false;
    settings.claudeEnabled = true;
    settings.claudeUsageAutoRefreshEnabled = false;
    settings.claudeStatusEnabled = false;
    return settings;
}

TEST(MacBackgroundMonitoringTest, FollowsSettingsCloudPowerAndWakeOverTheBus)
{
    FakeDesktopSession fake;
    ASSERT_TRUE(fake.isServing());
    const QDBusConnection bus = QDBusConnection::sessionBus();
    LogindManager logind(bus, fake.logindService());
    UPowerMonitor power(bus, fake.upowerService());
    power.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return power.hasExternalPower(); }, busTimeoutMs));

    QStringList activityLog;
    const auto inhibitor = MacBackgroundMonitoring::idleInhibitor(&logind);
    MacBackgroundMonitoring::BeginActivity begin = [&](quint32 options) {
        activityLog << QStringLiteral("begin ") + QString::number(options, 16);
        return inhibitor(options);
    };
    MacBackgroundMonitoring monitor(&logind, &power, begin, [&](const MacBackgroundMonitoring::ActivityToken&) {
        activityLog << QStringLiteral("end");
    });

    AppSettings settings = idleProviders();
    QObject notifier;
    int refreshCount = 0;
    FakeCloud cloud;
    MacBackgroundMonitoring::Core core;
    core.subscribe = [&notifier](QObject* context, std::function<void()> callback) {
        return QObject::connect(&notifier, &QObject::objectNameChanged, context, std::move(callback));
    };
    core.settings = [&settings] { return settings; };
    core.refreshScheduledItems = [&refreshCount] { ++refreshCount; };
    monitor.observe(core, &cloud);

    const auto publishSettings = [&](auto change) {
        change(settings);
        notifier.setObjectName(notifier.objectName() + QStringLiteral("x"));
    };
    struct Step
    {
        const char* name;
        std::function<void()> act;
        // Waited for: the bus delivers the change asynchronously.
        std::function<bool()> settled;
        std::optional<quint32> options;
        QStringList log;
    };
    const std::function<bool()> now = [] { return true; };
    const Step steps[] = {
        {"no active provider, cloud off", [] {}, now, std::nullopt, {}},
        {"cloud on", [&] { cloud.set(true); }, now, 0xFFFFFF, {"begin ffffff"}},
        {"an unrelated setting", [&] { publishSettings([](AppSettings& s) { s.menuDisplayMode = MenuDisplayMode::statusOnly; }); },
         now, 0xFFFFFF, {"begin ffffff"}},
        {"unplugged", [&] { fake.setOnBattery(true); }, [&] { return !power.hasExternalPower(); }, 0xEFFFFF,
         {"begin ffffff", "end", "begin efffff"}},
        {"plugged in", [&] { fake.setOnBattery(false); }, [&] { return power.hasExternalPower(); }, 0xFFFFFF,
         {"begin ffffff", "end", "begin efffff", "end", "begin ffffff"}},
        {"monitoring off", [&] { publishSettings([](AppSettings& s) { s.backgroundMonitoringEnabled = false; }); }, now,
         std::nullopt, {"begin ffffff", "end", "begin efffff", "end", "begin ffffff", "end"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        ASSERT_TRUE(QTest::qWaitFor(step.settled, busTimeoutMs));
        EXPECT_EQ(monitor.options(), step.options);
        EXPECT_EQ(activityLog, step.log);
    }

    // Only mains power holds an inhibitor; the one released on unplugging is closed for logind.
    ASSERT_TRUE(QTest::qWaitFor([&] { return fake.inhibitCalls().size() >= 2; }, busTimeoutMs));
    const auto call = fake.inhibitCalls().constFirst();
    EXPECT_EQ(QStringList({call.what, call.who, call.why, call.mode}),
              QStringList({"idle", "Vantorel", "AI usage monitoring requested by the user", "block"}));
    // The event loop runs meanwhile: a lock dropped before logind's answer closes it on arrival.
    const auto released = [&](int index) { return QTest::qWaitFor([&] { return fake.inhibitorReleased(index, 0); }, busTimeoutMs); };
    EXPECT_TRUE(released(0));
    EXPECT_TRUE(released(1)) << "monitoring off must release the lock";

    publishSettings([](AppSettings& s) { s.backgroundMonitoringEnabled = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return fake.inhibitCalls().size() == 3; }, busTimeoutMs));
    EXPECT_FALSE(fake.inhibitorReleased(2, 0));
    fake.sendPrepareForSleep(true);
    fake.sendPrepareForSleep(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return refreshCount > 0; }, busTimeoutMs));
    EXPECT_EQ(refreshCount, 1);
    EXPECT_EQ(cloud.resumeCount, 1);
    EXPECT_EQ(fake.inhibitCalls().size(), 3) << "a wake on unchanged power keeps the activity";

    monitor.stop();
    EXPECT_EQ(monitor.options(), std::nullopt);
    EXPECT_TRUE(released(2));
    cloud.set(false);
    cloud.set(true);
    EXPECT_EQ(monitor.options(), std::nullopt) << "stopped monitoring follows nothing";
}

TEST(MacClaudeLoginAvailabilityTest, PresentOnlyInAnActiveUnlockedUserSessionWithoutScreenSaver)
{
    enum class Saver { inactive, active, silent, absent };
    struct Row
    {
        const char* name;
        bool logind;
        bool display;
        bool active;
        const char* sessionClass;
        bool locked;
        Saver saver;
        bool expected;
    };
    const Row rows[] = {
        {"present", true, true, true, "user", false, Saver::inactive, true},
        {"session in the background", true, true, false, "user", false, Saver::inactive, false},
        {"greeter session", true, true, true, "greeter", false, Saver::inactive, false},
        {"locked", true, true, true, "user", true, Saver::inactive, false},
        {"screen saver running", true, true, true, "user", false, Saver::active, false},
        {"screen saver without GetActive", true, true, true, "user", false, Saver::silent, true},
        {"no screen saver service", true, true, true, "user", false, Saver::absent, true},
        {"no graphical session", true, false, true, "user", false, Saver::inactive, false},
        {"no login manager", false, true, true, "user", false, Saver::inactive, false},
    };
    const QDBusConnection bus = QDBusConnection::sessionBus();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeDesktopSession fake;
        ASSERT_TRUE(fake.isServing());
        fake.setSession(row.active, QString::fromLatin1(row.sessionClass), row.locked);
        fake.setHasDisplaySession(row.display);
        fake.setScreenSaverActive(row.saver == Saver::active);
        fake.setScreenSaverAnswersGetActive(row.saver != Saver::silent);
        const QString unowned = QStringLiteral("test.vantorel.nobody");
        LogindSession session(bus, row.logind ? fake.logindService() : unowned);
        ScreenSaverMonitor screenSaver(bus, row.saver == Saver::absent ? unowned : fake.screenSaverService());
        MacClaudeLoginAvailability availability(&session, &screenSaver);
        QSignalSpy sessionKnown(&session, &LogindSession::stateChanged);
        session.start();
        screenSaver.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return sessionKnown.size() > 0 && screenSaver.isActive(); }, busTimeoutMs));
        EXPECT_EQ(availability.canPresent(), row.expected);
    }
}

TEST(MacClaudeLoginAvailabilityTest, ReportsWhenTheUserCanBeReachedAgain)
{
    FakeDesktopSession fake;
    ASSERT_TRUE(fake.isServing());
    const QDBusConnection bus = QDBusConnection::sessionBus();
    fake.setSession(true, QStringLiteral("user"), true);
    LogindSession session(bus, fake.logindService());
    ScreenSaverMonitor screenSaver(bus, fake.screenSaverService());
    MacClaudeLoginAvailability availability(&session, &screenSaver);
    QSignalSpy resumed(&availability, &MacClaudeLoginAvailability::interactionResumed);
    QSignalSpy sessionState(&session, &LogindSession::stateChanged);
    session.start();
    screenSaver.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sessionState.size() > 0 && screenSaver.isActive(); }, busTimeoutMs));
    EXPECT_FALSE(availability.canPresent());

    const std::pair<const char*, std::function<void()>> triggers[] = {
        {"unlocked", [&] { fake.setSession(true, QStringLiteral("user"), false); }},
        {"unlock requested", [&] { fake.sendUnlock(); }},
        {"screen saver ended", [&] { fake.setScreenSaverActive(true), fake.setScreenSaverActive(false); }},
        {"session active again", [&] { fake.setSession(false, QStringLiteral("user"), false),
                                       fake.setSession(true, QStringLiteral("user"), false); }},
    };
    for (const auto& [name, act] : triggers) {
        SCOPED_TRACE(name);
        const auto before = resumed.size();
        act();
        ASSERT_TRUE(QTest::qWaitFor([&] { return resumed.size() > before; }, busTimeoutMs));
        EXPECT_EQ(resumed.size(), before + 1);
    }
    EXPECT_TRUE(availability.canPresent());
}

} // namespace
} // namespace vantorel
