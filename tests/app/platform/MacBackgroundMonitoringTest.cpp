#include "app/platform/CloudSyncSwitch.h"
#include "app/platform/LogindManager.h"
#include "app/platform/LogindSession.h"
#include "app/platform/MacBackgroundMonitoring.h"
#include "app/platform/MacClaudeLoginAvailability.h"
#include "app/platform/ScreenSaverMonitor.h"
#include "app/platform/UPowerMonitor.h"
#include "support/FakeDesktopSession.h"
#include "support/WaitUntil.h"

#include <QDBusConnection>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using Object = FakeDesktopSession::Object;

class FakeCloud final : public CloudSyncSwitch
{
public:
    bool on = false;
    int resumeCount = 0;
    bool enabled() const override { return on; }
    void resumeAfterWake() override { ++resumeCount; }
};

TEST(MacBackgroundMonitoringTest, FollowsSettingsCloudPowerAndWakeOverTheBus)
{
    FakeDesktopSession fake;
    ASSERT_TRUE(fake.isServing());
    const QDBusConnection bus = QDBusConnection::sessionBus();
    LogindManager logind(bus, fake.logindService());
    UPowerMonitor power(bus, fake.upowerService());
    power.start();
    ASSERT_TRUE(waitUntil([&] { return power.hasExternalPower(); }));

    QStringList activityLog;
    const auto inhibitor = MacBackgroundMonitoring::idleInhibitor(&logind);
    MacBackgroundMonitoring::BeginActivity begin = [&](quint32 options) {
        activityLog << QStringLiteral("begin ") + QString::number(options, 16);
        return inhibitor(options);
    };
    MacBackgroundMonitoring monitor(&logind, &power, begin,
                                    [&](const MacBackgroundMonitoring::ActivityToken&) { activityLog << QStringLiteral("end"); });

    // Monitoring on, Codex off, Claude on with neither usage refresh nor status: nothing to watch.
    AppSettings settings;
    settings.codexEnabled = false;
    settings.claudeEnabled = true;
    settings.claudeUsageAutoRefreshEnabled = false;
    settings.claudeStatusEnabled = false;
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

    const auto publish = [&](auto change) {
        change(settings);
        notifier.setObjectName(notifier.objectName() + QStringLiteral("x"));
    };
    const auto battery = [&](bool on) {
        fake.set(Object::upower, QStringLiteral("OnBattery"), on);
        ASSERT_TRUE(waitUntil([&] { return power.hasExternalPower() != on; }));
    };
    struct Step
    {
        const char* name;
        std::function<void()> act;
        std::optional<quint32> options;
        QStringList log;
    };
    const Step steps[] = {
        {"no active provider, cloud off", [] {}, std::nullopt, {}},
        {"cloud on", [&] { cloud.on = true, emit cloud.enabledChanged(true); }, 0xFFFFFF, {"begin ffffff"}},
        {"an unrelated setting", [&] { publish([](AppSettings& s) { s.menuDisplayMode = MenuDisplayMode::statusOnly; }); },
         0xFFFFFF, {"begin ffffff"}},
        {"unplugged", [&] { battery(true); }, 0xEFFFFF, {"begin ffffff", "end", "begin efffff"}},
        {"plugged in", [&] { battery(false); }, 0xFFFFFF, {"begin ffffff", "end", "begin efffff", "end", "begin ffffff"}},
        {"monitoring off", [&] { publish([](AppSettings& s) { s.backgroundMonitoringEnabled = false; }); }, std::nullopt,
         {"begin ffffff", "end", "begin efffff", "end", "begin ffffff", "end"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        EXPECT_EQ(monitor.options(), step.options);
        EXPECT_EQ(activityLog, step.log);
    }

    // Only mains power holds an inhibitor. The event loop runs while waiting: a lock dropped
    // before logind's answer closes it when the answer arrives.
    const auto released = [&](int index) { return waitUntil([&] { return fake.inhibitorReleased(index); }); };
    ASSERT_TRUE(waitUntil([&] { return fake.inhibitCalls().size() == 2; }));
    const auto call = fake.inhibitCalls().constFirst();
    EXPECT_EQ(QStringList({call.what, call.who, call.why, call.mode}),
              QStringList({"idle", "Vantorel", "AI usage monitoring requested by the user", "block"}));
    EXPECT_TRUE(released(0));
    EXPECT_TRUE(released(1)) << "monitoring off must release the lock";

    publish([](AppSettings& s) { s.backgroundMonitoringEnabled = true; });
    ASSERT_TRUE(waitUntil([&] { return fake.inhibitCalls().size() == 3; }));
    EXPECT_FALSE(fake.inhibitorReleased(2));
    fake.send(Object::manager, QStringLiteral("PrepareForSleep"), {true});
    fake.send(Object::manager, QStringLiteral("PrepareForSleep"), {false});
    ASSERT_TRUE(waitUntil([&] { return refreshCount > 0; }));
    EXPECT_EQ(refreshCount, 1);
    EXPECT_EQ(cloud.resumeCount, 1);
    EXPECT_EQ(fake.inhibitCalls().size(), 3) << "a wake on unchanged power keeps the activity";

    monitor.stop();
    EXPECT_EQ(monitor.options(), std::nullopt);
    EXPECT_TRUE(released(2));
    emit cloud.enabledChanged(true);
    EXPECT_EQ(monitor.options(), std::nullopt) << "stopped monitoring follows nothing";
}

TEST(MacClaudeLoginAvailabilityTest, PresentOnlyInAnActiveUnlockedUserSessionWithoutScreenSaver)
{
    struct Row
    {
        const char* name;
        Object object;
        const char* property;
        QVariant value;
        bool expected;
    };
    const QString unowned = QStringLiteral("test.vantorel.nobody");
    const Row rows[] = {
        {"present", Object::session, "Active", true, true},
        {"session in the background", Object::session, "Active", false, false},
        {"greeter session", Object::session, "Class", QStringLiteral("greeter"), false},
        {"locked", Object::session, "LockedHint", true, false},
        {"no graphical session", Object::user, "Display", QString(), false},
        {"screen saver running", Object::screenSaver, "Active", true, false},
        {"screen saver without GetActive", Object::screenSaver, "Active", QVariant(), true},
        {"no screen saver service", Object::screenSaver, nullptr, {}, true},
        {"no login manager", Object::manager, nullptr, {}, false},
    };
    const QDBusConnection bus = QDBusConnection::sessionBus();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeDesktopSession fake;
        ASSERT_TRUE(fake.isServing());
        if (row.property)
            fake.set(row.object, QString::fromLatin1(row.property), row.value);
        const bool unserved = !row.property;
        LogindSession session(bus, unserved && row.object == Object::manager ? unowned : fake.logindService());
        ScreenSaverMonitor screenSaver(bus, unserved && row.object == Object::screenSaver ? unowned : fake.screenSaverService());
        MacClaudeLoginAvailability availability(&session, &screenSaver);
        QSignalSpy sessionKnown(&session, &LogindSession::stateChanged);
        QSignalSpy resumed(&availability, &MacClaudeLoginAvailability::interactionResumed);
        session.start();
        screenSaver.start();
        ASSERT_TRUE(waitUntil([&] { return sessionKnown.size() > 0 && screenSaver.isActive(); }));
        EXPECT_EQ(availability.canPresent(), row.expected);
        if (row.property && QByteArray(row.property) == "LockedHint") {
            fake.set(Object::session, QStringLiteral("LockedHint"), false);
            EXPECT_TRUE(waitUntil([&] { return resumed.size() == 1; })) << "unlocking is a moment to try again";
            EXPECT_TRUE(availability.canPresent());
        }
    }
}

} // namespace
} // namespace vantorel
