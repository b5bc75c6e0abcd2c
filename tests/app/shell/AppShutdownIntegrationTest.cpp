#include "app/shell/SingleInstance.h"
#include "app/shell/StartupSettings.h"
#include "app/shell/VantorelApp.h"
#include "core/foundation/PendingCompletion.h"
#include "support/WaitUntil.h"

#include <QCoroTask>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

QCoro::Task<> awaitShutdownGate(PendingCompletion<> gate)
{
    co_await gate;
}

// The whole application in this process, with folders of its own, ended on its first turn.
struct ShutdownRig {
    QTemporaryDir home;

    ShutdownRig()
    {
        for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
            qputenv(variable, home.filePath(QString::fromLatin1(variable)).toLocal8Bit());
    }
};

// The process is asked to show itself just as it quits: the request is served while the ended
// tasks unwind, after the window controller and the view model are gone, and must reach neither.
TEST(AppShutdownIntegration, AnActivationWhileTasksUnwindReachesNothingGone)
{
    ShutdownRig rig;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_TRUE(app);
    VantorelApp root(*app, StartupSettings::readInBackground(JsonFileSettingsStore::defaultFilePath()));

    // A connection of its own, so the call goes through the bus instead of straight to the slot.
    QDBusConnection activator = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("activator"));
    ASSERT_TRUE(activator.isConnected());
    PendingCompletion<> answered;
    QObject context;
    QObject::connect(app, &QCoreApplication::aboutToQuit, &context, [&] {
        QDBusMessage call = QDBusMessage::createMethodCall(SingleInstance::serviceName, SingleInstance::objectPath,
                                                           QStringLiteral("org.freedesktop.Application"),
                                                           QStringLiteral("Activate"));
        call << QVariantMap();
        auto* watcher = new QDBusPendingCallWatcher(activator.asyncCall(call), &context);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context, [answered] { answered.complete(); });
        // Keeps the unwinding going until the answer is in.
        awaitShutdownGate(answered);
    });
    QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
    EXPECT_EQ(root.exec(), 0);
    EXPECT_TRUE(answered.isCompleted());
    QDBusConnection::disconnectFromBus(QStringLiteral("activator"));
}

// A copy is replaced while it still waits for the copy before it to go: it quits without starting
// and stays on the bus until that copy has gone, since the copy after it waits only for it.
TEST(AppShutdownIntegration, ACopyReplacedWhileItWaitsLeavesAfterTheCopyBeforeIt)
{
    ShutdownRig rig;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_TRUE(app);
    QProcess before;
    before.start(QStringLiteral(VANTOREL_BUS_NAME_HOLDER), {SingleInstance::serviceName, QStringLiteral("yield")});
    ASSERT_TRUE(before.waitForReadyRead(10'000) && before.readLine() == "ready\n");
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    const QString beforeName = bus->serviceOwner(SingleInstance::serviceName);

    VantorelApp root(*app, StartupSettings::readInBackground(JsonFileSettingsStore::defaultFilePath()));
    ASSERT_TRUE(waitUntil([&] { return before.canReadLine(); }));
    QDBusConnection after = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("after"));
    ASSERT_TRUE(after.interface()->registerService(SingleInstance::serviceName,
                                                   QDBusConnectionInterface::ReplaceExistingService)
                    .isValid());
    // Lets the copy before go on the first turn after the replaced one quit.
    QObject context;
    QObject::connect(app, &QCoreApplication::aboutToQuit, &context, [&] {
        QTimer::singleShot(0, &context, [&] { before.closeWriteChannel(); });
    });
    EXPECT_EQ(root.exec(), 0);
    EXPECT_FALSE(bus->isServiceRegistered(beforeName).value());
    EXPECT_FALSE(QFile::exists(JsonFileSettingsStore::defaultFilePath())) << "the replaced copy wrote settings";
    QDBusConnection::disconnectFromBus(QStringLiteral("after"));
}

} // namespace
} // namespace vantorel
