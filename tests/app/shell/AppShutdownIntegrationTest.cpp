#include "app/shell/SingleInstance.h"
#include "app/shell/StartupSettings.h"
#include "app/shell/UnplannedExit.h"
#include "app/shell/VantorelApp.h"
#include "app/viewmodel/AppViewModel.h"
#include "core/foundation/JsonFileSettingsStore.h"
#include "core/foundation/PendingCompletion.h"
#include "support/WaitUntil.h"

#include <QCoroTask>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

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

const QString lastChangeKey = QStringLiteral("Vantorel.lastChange");
constexpr int childWaitMs = 60'000;

// Run by the tests below in a child process: the whole application, with a change that waits for
// the write-behind. Prints "changed" once the change is made, then runs until it is ended.
TEST(DISABLED_AppShutdownChild, HoldsAChangeUntilEnded)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_TRUE(app);
    VantorelApp root(*app, StartupSettings::readInBackground(JsonFileSettingsStore::defaultFilePath()));
    QTimer::singleShot(0, app, [&root] {
        root.viewModel().defaults().set(lastChangeKey, QStringLiteral("last"));
        std::puts("changed");
        std::fflush(stdout);
    });
    root.exec();
}

// The child above with folders of its own; its output is kept for the failure message.
struct ChildApp {
    QTemporaryDir home;
    QProcess process;
    QByteArray output;

    void start(QProcessEnvironment environment)
    {
        for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
            environment.insert(QString::fromLatin1(variable), home.filePath(QString::fromLatin1(variable)));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--gtest_also_run_disabled_tests"),
                       QStringLiteral("--gtest_filter=DISABLED_AppShutdownChild.HoldsAChangeUntilEnded")});
    }
    bool waitForChange()
    {
        const QDeadlineTimer deadline(childWaitMs);
        while (!output.contains("changed\n") && process.waitForReadyRead(int(deadline.remainingTime())))
            output += process.readAll();
        return output.contains("changed\n");
    }
    bool waitForEnd()
    {
        const bool ended = process.waitForFinished(childWaitMs);
        output += process.readAll();
        return ended;
    }
    std::optional<QString> storedChange() const
    {
        return JsonFileSettingsStore(home.filePath(QStringLiteral("XDG_CONFIG_HOME/Vantorel/defaults.json")))
            .stringValue(lastChangeKey);
    }
};

// An X11 logout can take the display first: Qt then ends the process with exit(1) from inside the
// event loop. What the write-behind held is written, and the process ends with Qt's status
// rather than crashing in static destructors.
TEST(AppShutdownIntegration, LosingTheDisplayKeepsTheLastChange)
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        GTEST_SKIP() << "needs Xvfb";
    QProcess xvfb;
    // Xvfb picks a free display and writes its number to the descriptor: no fixed number can clash.
    xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                        QStringLiteral("0"), QStringLiteral("640x480x24"), QStringLiteral("-nolisten"),
                                        QStringLiteral("tcp")});
    QByteArray display;
    const QDeadlineTimer deadline(childWaitMs);
    while (!display.contains('\n') && xvfb.waitForReadyRead(int(deadline.remainingTime())))
        display += xvfb.readAllStandardOutput();
    ASSERT_TRUE(display.contains('\n')) << xvfb.readAllStandardError().toStdString();

    ChildApp child;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), u':' + QString::fromLatin1(display.trimmed()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    child.start(environment);
    ASSERT_TRUE(child.waitForChange()) << child.output.toStdString();
    xvfb.kill();
    xvfb.waitForFinished();
    ASSERT_TRUE(child.waitForEnd()) << child.output.toStdString();
    EXPECT_EQ(child.process.exitStatus(), QProcess::NormalExit) << child.output.toStdString();
    EXPECT_EQ(child.process.exitCode(), UnplannedExit::exitStatus) << child.output.toStdString();
    EXPECT_EQ(child.storedChange(), QStringLiteral("last")) << child.output.toStdString();
}

// SIGHUP (the terminal or session that started the program gone) ends it as SIGTERM does.
TEST(AppShutdownIntegration, AHangupKeepsTheLastChange)
{
    ChildApp child;
    child.start(QProcessEnvironment::systemEnvironment());
    ASSERT_TRUE(child.waitForChange()) << child.output.toStdString();
    ASSERT_EQ(::kill(pid_t(child.process.processId()), SIGHUP), 0);
    ASSERT_TRUE(child.waitForEnd()) << child.output.toStdString();
    EXPECT_EQ(child.process.exitStatus(), QProcess::NormalExit) << child.output.toStdString();
    EXPECT_EQ(child.process.exitCode(), 0) << child.output.toStdString();
    EXPECT_EQ(child.storedChange(), QStringLiteral("last")) << child.output.toStdString();
}

} // namespace
} // namespace vantorel
