#include "app/shell/SingleInstance.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/JsonFileSettingsStore.h"
#include "core/model/AppSettings.h"
#include "support/TestFiles.h"
#include "support/WaitUntil.h"

#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

// A real copy of the application on the test's session bus, with folders of its own. Its
// standard error is kept: a copy that ends with status 1 may be a sanitizer's report.
struct Copy {
    QTemporaryDir home;
    QProcess process;
    qint64 pid = 0;
    QByteArray standardError;

    void start()
    {
        auto environment = QProcessEnvironment::systemEnvironment();
        for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
            environment.insert(QString::fromLatin1(variable), home.filePath(QString::fromLatin1(variable)));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VANTOREL_APP_BINARY), QStringList());
        process.waitForStarted();
        pid = process.processId();
    }
    QString log() const
    {
        return QString::fromUtf8(test::readFileBytes(home.filePath(QStringLiteral("XDG_STATE_HOME/Vantorel/Vantorel.log"))));
    }
    bool running() const { return process.state() != QProcess::NotRunning; }
    bool exitedNormally() const
    {
        return process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
    }
    // What to print when a check of the copy fails: how it ended, its standard error and its log.
    std::string describe()
    {
        standardError += process.readAllStandardError();
        const QString ending = running() ? QStringLiteral("running")
            : process.exitStatus() == QProcess::CrashExit
                ? QStringLiteral("ended by signal ") + QString::number(process.exitCode())
                : QStringLiteral("exited with status ") + QString::number(process.exitCode());
        const QString text = QStringLiteral("copy pid=") + QString::number(pid) + u' ' + ending
            + QStringLiteral("\n--- standard error\n") + QString::fromUtf8(standardError)
            + QStringLiteral("--- log\n") + log();
        return text.toStdString();
    }
    // SIGTERM ends the copy normally, with its last log line written.
    void terminate()
    {
        process.terminate();
        EXPECT_TRUE(process.waitForFinished(20'000) && exitedNormally()) << describe();
        EXPECT_TRUE(log().contains(u"app.willTerminate")) << describe();
    }
};

// The settings file of a copy whose only change from the defaults is the Codex switch.
void storeCodexSwitch(const QString& filePath, bool enabled)
{
    AppSettings settings;
    settings.launchAtLogin = false;
    settings.codexEnabled = enabled;
    JsonFileSettingsStore store(filePath);
    store.set(StoredState::Keys::defaultsApplied, true);
    store.set(StoredState::Keys::settings, json::write(toJson(settings), json::Form::store));
    store.flush();
}

std::optional<bool> storedCodexSwitch(const QString& filePath)
{
    const JsonFileSettingsStore store(filePath);
    const auto data = store.dataValue(StoredState::Keys::settings);
    const auto document = data ? json::parse(*data) : std::nullopt;
    const auto settings = document ? appSettingsFromJson(*document) : std::nullopt;
    return settings ? std::optional<bool>(settings->codexEnabled) : std::nullopt;
}

qint64 ownerPid()
{
    const QDBusReply<uint> pid = QDBusConnection::sessionBus().interface()->servicePid(SingleInstance::serviceName);
    return pid.isValid() ? pid.value() : -1;
}

TEST(SingleInstanceIntegration, SecondCopyReplacesTheFirst)
{
    Copy first, second;
    first.start();
    ASSERT_TRUE(waitUntil([&] { return ownerPid() == first.pid; }, 30'000));
    second.start();
    ASSERT_TRUE(waitUntil([&] { return !first.running(); }, 30'000)) << first.describe();
    EXPECT_TRUE(first.exitedNormally()) << first.describe();
    EXPECT_TRUE(first.log().contains(u"app.willTerminate"));
    EXPECT_TRUE(waitUntil([&] {
        return second.log().contains(u"singleInstance.terminateOther pid=" + QString::number(first.pid)
                                     + u" name=vantorel bundle=" VANTOREL_APP_BINARY);
    })) << second.log().toStdString();
    EXPECT_EQ(ownerPid(), second.pid);
    second.terminate();
}

// The tray item is built before the sync services, which come with the launch window; the
// start-up lines keep their order.
TEST(SingleInstanceIntegration, StartsTheTrayItemBeforeTheLaunchWindow)
{
    Copy copy;
    copy.start();
    ASSERT_TRUE(waitUntil([&] { return copy.log().contains(u"mainWindow.open reason=launch"); }, 30'000))
        << copy.log().toStdString();
    const QString log = copy.log();
    qsizetype previous = -1;
    for (const char* line : {"app.start ", "viewModel.init ", "statusItem.created", "app.didFinishLaunching",
                             "mainWindow.open reason=launch"}) {
        const qsizetype at = log.indexOf(QString::fromLatin1(line));
        EXPECT_GT(at, previous) << line << "\n" << log.toStdString();
        previous = at;
    }
    copy.terminate();
}

TEST(SingleInstanceIntegration, CopiesStartedTogetherLeaveOne)
{
    std::array<Copy, 3> copies;
    for (auto& copy : copies)
        copy.start();
    const auto running = [&] { return std::count_if(copies.begin(), copies.end(), [](auto& c) { return c.running(); }); };
    const auto describeAll = [&] {
        std::string all;
        for (auto& copy : copies)
            all += copy.describe() + "\n";
        return all;
    };
    ASSERT_TRUE(waitUntil([&] { return running() == 1 && ownerPid() > 0; }, 60'000)) << describeAll();
    for (auto& copy : copies) {
        if (copy.running()) {
            EXPECT_EQ(ownerPid(), copy.pid) << describeAll();
            copy.terminate();
        } else {
            EXPECT_TRUE(copy.exitedNormally()) << copy.describe();
        }
    }
}

// The running copy writes its last state as it quits, after the new copy has started: a switch
// turned off just before is in that write, and the new copy starts from it and keeps it.
TEST(SingleInstanceIntegration, TheNewCopyStartsFromWhatTheReplacedCopyWroteLast)
{
    Copy copy;
    const QString settingsFile = copy.home.filePath(QStringLiteral("XDG_CONFIG_HOME/Vantorel/defaults.json"));
    storeCodexSwitch(settingsFile, true);
    // Stands for the running copy: it quits once told, after its last write.
    QProcess running;
    running.start(QStringLiteral(VANTOREL_BUS_NAME_HOLDER), {SingleInstance::serviceName, QStringLiteral("yield")});
    ASSERT_TRUE(running.waitForReadyRead(10'000) && running.readLine() == "ready\n");
    copy.start();
    ASSERT_TRUE(waitUntil([&] { return running.canReadLine(); }, 30'000)) << copy.describe();
    ASSERT_EQ(running.readLine(), "lost\n");

    storeCodexSwitch(settingsFile, false);
    EXPECT_FALSE(copy.log().contains(u"viewModel.init ")) << "read before the replaced copy has gone";
    running.closeWriteChannel();
    ASSERT_TRUE(waitUntil([&] { return copy.log().contains(u"viewModel.init "); }, 30'000)) << copy.describe();
    EXPECT_TRUE(copy.log().contains(QRegularExpression(QStringLiteral("viewModel.init [^\n]* codexEnabled=false "))))
        << copy.describe();
    EXPECT_EQ(ownerPid(), copy.pid);
    copy.terminate();
    EXPECT_EQ(storedCodexSwitch(settingsFile), false);
}

TEST(SingleInstanceIntegration, CopyIgnoringReplacementIsKilledAfterTheGraceTime)
{
    // One that ignores losing the name, and one that did not even let it go.
    for (const QStringList& arguments : {QStringList{SingleInstance::serviceName}, {SingleInstance::serviceName, QStringLiteral("refuse")}}) {
        QProcess holder;
        holder.start(QStringLiteral(VANTOREL_BUS_NAME_HOLDER), arguments);
        ASSERT_TRUE(holder.waitForReadyRead(10'000));
        const qint64 holderPid = holder.processId();
        Copy copy;
        copy.start();
        ASSERT_TRUE(waitUntil([&] { return holder.state() == QProcess::NotRunning; }, SingleInstance::forceTerminateAfterMs + 20'000));
        EXPECT_EQ(holder.exitStatus(), QProcess::CrashExit);
        // The log is written on its own thread: the line may land after the kill.
        EXPECT_TRUE(waitUntil([&] {
            return copy.log().contains(u"singleInstance.forceTerminateOther pid=" + QString::number(holderPid));
        }));
        EXPECT_TRUE(waitUntil([&] { return ownerPid() == copy.pid; })) << "the name ends with the new copy";
        copy.terminate();
    }
}

} // namespace
} // namespace vantorel
