#include "app/platform/LoginItemService.h"
#include "support/TestFiles.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using LoginStatus = LoginItemService::Status;

// An executable at `path` that writes its own path ($0) to `record`.
void writeRecorder(const QString& path, const QString& record)
{
    test::writeFileBytes(path, "#!/bin/sh\nprintf '%s' \"$0\" > '" + record.toUtf8() + "'\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(LoginItemServiceTest, StatusOfTheEntry)
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("vantorel"));
    writeRecorder(program, dir.filePath(QStringLiteral("unused")));
    const LoginItemService service(dir.path(), program);
    const QByteArray ours = "[Desktop Entry]\nExec=" + program.toUtf8() + "\n";
    const std::pair<QByteArray, LoginStatus> rows[] = {
        {{}, LoginStatus::notRegistered},
        {ours, LoginStatus::enabled},
        {ours + "Hidden=true\n", LoginStatus::requiresApproval},
        {ours + "X-GNOME-Autostart-enabled=false\n", LoginStatus::requiresApproval},
        {"[Desktop Entry]\nExec=/usr/bin/other " + program.toUtf8() + "\n", LoginStatus::notRegistered},
    };
    for (const auto& [entry, expected] : rows) {
        QFile::remove(service.entryPath());
        if (!entry.isEmpty())
            test::writeFileBytes(service.entryPath(), entry);
        EXPECT_EQ(service.status(), expected) << entry.toStdString();
    }
}

TEST(LoginItemServiceTest, DesktopLauncherStartsAPathWithBlanksQuotesAndDollars)
{
    if (QStandardPaths::findExecutable(QStringLiteral("gio")).isEmpty())
        GTEST_SKIP() << "needs gio";
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("it's a $HOME \"dir\" \\ `x`"));
    QDir().mkpath(folder);
    const QString program = folder + QStringLiteral("/vantorel");
    const QString record = dir.filePath(QStringLiteral("record"));
    writeRecorder(program, record);
    const LoginItemService service(dir.filePath(QStringLiteral("autostart")), program);

    service.registerApp();
    EXPECT_EQ(service.status(), LoginStatus::enabled);
    QProcess gio;
    gio.start(QStringLiteral("gio"), {QStringLiteral("launch"), service.entryPath()});
    ASSERT_TRUE(gio.waitForFinished(10'000));
    ASSERT_TRUE(waitUntil([&] { return !test::readFileBytes(record).isEmpty(); })) << gio.readAll().toStdString();
    EXPECT_EQ(QString::fromUtf8(test::readFileBytes(record)), program);
    service.unregisterApp();
    EXPECT_EQ(service.status(), LoginStatus::notRegistered);
}

} // namespace
} // namespace vantorel
