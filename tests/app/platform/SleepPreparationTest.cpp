#include "app/platform/LogindManager.h"
#include "app/platform/SleepPreparation.h"
#include "core/foundation/JsonFileSettingsStore.h"
#include "support/FakeDesktopSession.h"
#include "support/ManualOneShotTimer.h"
#include "support/WaitUntil.h"

#include <QDBusConnection>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using Object = FakeDesktopSession::Object;

// A machine that sleeps and never wakes keeps what the write-behind held: logind announces the
// sleep, waits on the delay lock until the write is done, and the lock is taken again after the
// wake for the next sleep.
TEST(SleepPreparation, WritesOutUnderADelayLockWhenTheMachineIsAboutToSleep)
{
    FakeDesktopSession fake;
    ASSERT_TRUE(fake.isServing());
    LogindManager logind(QDBusConnection::sessionBus(), fake.logindService());
    QTemporaryDir directory;
    auto timer = std::make_unique<ManualOneShotTimer>();
    const ManualOneShotTimer* writeDelay = timer.get();
    JsonFileSettingsStore store(directory.filePath(QStringLiteral("defaults.json")), {}, std::move(timer));
    SleepPreparation preparation(&logind, [&] { store.flush(); });
    ASSERT_TRUE(waitUntil([&] { return fake.inhibitCalls().size() == 1; }));
    const auto call = fake.inhibitCalls().constFirst();
    EXPECT_EQ(call.what, QStringLiteral("sleep"));
    EXPECT_EQ(call.mode, QStringLiteral("delay"));
    EXPECT_EQ(call.who, SleepPreparation::who);

    store.set(QStringLiteral("Vantorel.reading"), std::int64_t{42});
    ASSERT_TRUE(writeDelay->isActive());
    EXPECT_FALSE(fake.inhibitorReleased(0));
    fake.send(Object::manager, QStringLiteral("PrepareForSleep"), {true});
    ASSERT_TRUE(waitUntil([&] { return fake.inhibitorReleased(0); }));
    EXPECT_EQ(store.completedWriteCount(), 1) << "written before the lock let the sleep go on";
    EXPECT_EQ(JsonFileSettingsStore(store.filePath()).integerValue(QStringLiteral("Vantorel.reading")), 42);

    fake.send(Object::manager, QStringLiteral("PrepareForSleep"), {false});
    ASSERT_TRUE(waitUntil([&] { return fake.inhibitCalls().size() == 2; }));
    EXPECT_FALSE(fake.inhibitorReleased(1));
}

} // namespace
} // namespace vantorel
