#include "app/platform/TerminalLauncher.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace vantorel {
namespace {

TEST(TerminalLauncherTest, HandsTheCommandToShUnchanged)
{
    const QString command = QStringLiteral(R"(export PATH="$HOME/.local/bin:$PATH"; echo "a\"b" 'c\d' \\)");
    struct Row
    {
        const char* name;
        const char* terminalVariable;
        const char* program;
        QStringList prefix;
    };
    const Row rows[] = {
        {"$TERMINAL of unknown kind", "myterm --flag", "myterm", {"-e"}},
        {"gnome-terminal found on PATH", "", "gnome-terminal", {"--"}},
    };
    const QByteArray savedPath = qgetenv("PATH");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        // The fake terminal writes its arguments into a FIFO; reading it waits for the terminal.
        const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("argv")));
        ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
        QFile script(dir.filePath(QString::fromLatin1(row.program)));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + fifo + "'\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(dir.path()));
        qputenv("TERMINAL", row.terminalVariable);

        EXPECT_TRUE(TerminalLauncher::run(command));
        QFile pipe(QString::fromLocal8Bit(fifo));
        ASSERT_TRUE(pipe.open(QIODevice::ReadOnly));
        QStringList argv;
        for (const QByteArray& part : pipe.readAll().split('\0'))
            argv << QString::fromUtf8(part);
        argv.removeLast();
        const QStringList expected = row.prefix
            + QStringList{QStringLiteral("sh"), QStringLiteral("-c"), QString::fromLatin1(TerminalLauncher::keepOpenScript),
                          QStringLiteral("sh"), command};
        EXPECT_EQ(argv, expected);
    }
    qputenv("PATH", "/nonexistent");
    EXPECT_FALSE(TerminalLauncher::run(command)) << "no terminal anywhere";
    qputenv("PATH", savedPath);
    qunsetenv("TERMINAL");
}

} // namespace
} // namespace vantorel
