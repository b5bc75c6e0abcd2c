#include "StatusItemRig.h"

#include "app/platform/SystemTrayStatusItemBackend.h"
#include "app/shell/StatusItemFallbackPanel.h"
#include "app/shell/StatusItemPopover.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using namespace statusitemtest;

// Two sessions fit in CTest's time-out, so a hanging one is still reported with its output.
constexpr int traySessionTimeoutMs = 50'000;

// The integration tests run this program again inside tray-session.sh, which sets
// VANTOREL_TRAY_HOST; in the normal run the StatusItemTrayHost tests skip themselves. The output
// holds everything the session's processes wrote, standard error included, and ends in how the
// session ended.
QString runInTraySession(const QStringList& sessionArguments, const QString& innerTest)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("bash"), QStringList{QStringLiteral(VANTOREL_TEST_SOURCE_DIR "/app/shell/tray-session.sh")}
                                              + sessionArguments
                                              + QStringList{QCoreApplication::applicationFilePath(),
                                                            u"--gtest_filter=StatusItemTrayHost." + innerTest});
    QString ending;
    if (!process.waitForFinished(traySessionTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        ending = QStringLiteral("\ntimed out");
    }
    if (process.exitStatus() == QProcess::NormalExit)
        ending += u"\nexit " + QString::number(process.exitCode());
    else
        ending += u"\ncrashed: " + process.errorString();
    return QString::fromUtf8(process.readAll()) + ending;
}

// An embedded item knows its window; without one it anchors at the pointer, one pixel wide.
bool embedded(const StatusItemController& controller)
{
    return controller.backend().anchorRectangle().width() >= 16;
}

bool panelShown(const StatusItemController& controller)
{
    return controller.fallbackPanel() && controller.fallbackPanel()->isVisible();
}

TEST(StatusItemTrayHost, XEmbed)
{
    if (qEnvironmentVariable("VANTOREL_TRAY_HOST") != u"xembed")
        GTEST_SKIP() << "runs inside tray-session.sh";
    QProcess trayer;
    // Its complaints go where the session's output is kept.
    trayer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QStringList arguments{QStringLiteral("--edge"), QStringLiteral("top")};
    trayer.start(QStringLiteral("trayer"), arguments);
    ASSERT_TRUE(waitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }));
    auto backend = std::make_unique<SystemTrayStatusItemBackend>(QDBusConnection::sessionBus());
    // Before the rig, which runs the event loop: the host may paint the icon on its first turn.
    QSignalSpy pictureRead(backend.get(), &StatusItemBackend::firstPictureRead);
    ControllerRig rig(std::move(backend));
    ASSERT_TRUE(waitUntil([&] { return embedded(*rig.controller); }));
    EXPECT_FALSE(panelShown(*rig.controller));
    // The host paints the embedded icon.
    ASSERT_TRUE(waitUntil([&] { return pictureRead.count() > 0; }));

    trayer.kill();
    trayer.waitForFinished();
    ASSERT_TRUE(waitUntil([&] { return panelShown(*rig.controller); }));
    trayer.start(QStringLiteral("trayer"), arguments);
    ASSERT_TRUE(waitUntil([&] { return !panelShown(*rig.controller) && embedded(*rig.controller); }));
    trayer.kill();
    trayer.waitForFinished();
    EXPECT_EQ(pictureRead.count(), 1);
}

TEST(StatusItemTrayHost, StatusNotifier)
{
    if (qEnvironmentVariable("VANTOREL_TRAY_HOST") != u"sni")
        GTEST_SKIP() << "runs inside tray-session.sh";
    auto backend = std::make_unique<SystemTrayStatusItemBackend>(QDBusConnection::sessionBus());
    // Before the rig, which runs the event loop: the watcher may read the item on its first turn.
    QSignalSpy pictureRead(backend.get(), &StatusItemBackend::firstPictureRead);
    ControllerRig rig(std::move(backend));
    // The item went to the host at once. Asked from the log: by now the host may have left already.
    ASSERT_FALSE(rig.lines.isEmpty());
    EXPECT_TRUE(rig.lines.first().endsWith(u"nativeVisible=true notchFallback=false")) << rig.lines.first().toStdString();
    // The watcher reads the item, asks for its context menu and quits: the host is gone. The item
    // has no menu; the request opens the popover as a click does.
    ASSERT_TRUE(waitUntil([&] { return panelShown(*rig.controller); }));
    // Its reading of the pictures over the bus, told once.
    ASSERT_TRUE(waitUntil([&] { return pictureRead.count() > 0; }));
    EXPECT_EQ(pictureRead.count(), 1);
    EXPECT_TRUE(waitUntil([&] { return rig.controller->popover().isVisible(); }));
    EXPECT_TRUE(rig.lines.contains(QStringLiteral("popover.open")));
}

// Needs Xvfb, and trayer for the XEmbed host.
TEST(StatusItemTrayIntegration, RealHosts)
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        GTEST_SKIP() << "needs Xvfb";
    const QString passed = QStringLiteral("[  PASSED  ] 1 test.");
    if (!QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty()) {
        const auto output = runInTraySession({QStringLiteral("xembed")}, QStringLiteral("XEmbed"));
        EXPECT_TRUE(output.contains(passed) && output.endsWith(u"exit 0")) << output.toStdString();
    }
    const auto output = runInTraySession({QStringLiteral("sni"), QStringLiteral(VANTOREL_FAKE_SNI_WATCHER)},
                                         QStringLiteral("StatusNotifier"));
    EXPECT_TRUE(output.contains(passed) && output.endsWith(u"exit 0")) << output.toStdString();
    EXPECT_TRUE(output.contains(u"watcher: IconPixmap 16x16 20x20 22x22 24x24 32x32 48x48 64x64\n"
                                u"watcher: ToolTip Vantorel\n"
                                u"watcher: Codex 5h 残り37% / Codex 1W 残り80%\n"
                                u"watcher: Claude 5h 未取得 / Claude 1W 未取得\n"
                                u"watcher: ContextMenu answered\n"))
        << output.toStdString();
}

// A watcher that fails after the item passed (a sanitizer's report at exit) fails the session,
// and what it wrote to standard error is shown.
TEST(StatusItemTrayIntegration, FailingWatcherFailsTheSession)
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        GTEST_SKIP() << "needs Xvfb";
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    QFile watcher(directory.filePath(QStringLiteral("watcher.sh")));
    ASSERT_TRUE(watcher.open(QIODevice::WriteOnly));
    watcher.write("#!/bin/sh\n'" VANTOREL_FAKE_SNI_WATCHER "'\necho 'leak report' >&2\nexit 23\n");
    watcher.close();
    watcher.setPermissions(watcher.permissions() | QFileDevice::ExeOwner);
    const auto output = runInTraySession({QStringLiteral("sni"), watcher.fileName()}, QStringLiteral("StatusNotifier"));
    EXPECT_TRUE(output.contains(u"[  PASSED  ] 1 test.") && output.contains(u"watcher: ContextMenu answered\n")
                && output.contains(u"watcher: leak report\n") && output.endsWith(u"exit 23"))
        << output.toStdString();
}

} // namespace
} // namespace vantorel
