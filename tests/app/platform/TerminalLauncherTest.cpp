#include "app/platform/TerminalLauncher.h"
#include <QTemporaryDir>

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantorel {
namespace {

// Reads what the fake terminal writes into the FIFO, waiting up to 10 s for it to run.
QByteArray readFifo(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray data;
    for (;;) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 10'000) != 1)
            break;
        char buffer[4096];
        const auto count = ::read(fd, buffer, sizeof buffer);
        if (count <= 0)
            break;
        data.append(buffer, count);
    }
    ::close(fd);
    return data;
}

TEST(TerminalLauncherTest, RunsTheCommandUnchangedThroughSh)
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
        {"kitty found on PATH", "", "kitty", {}},
    };
    const QByteArray savedPath = qgetenv("PATH");
    const QByteArray savedTerminal = qgetenv("TERMINAL");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString fifo = dir.path() + QStringLiteral("/argv");
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString script = dir.path() + QLatin1Char('/') + QString::fromLatin1(row.program);
        QFile file(script);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + QFile::encodeName(fifo) + "'\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(dir.path()));
        qputenv("TERMINAL", row.terminalVariable);

        EXPECT_TRUE(TerminalLauncher::run(command));
        QStringList argv;
        for (const QByteArray& part : readFifo(fifo).split('\0'))
            argv << QString::fromUtf8(part);
        argv.removeLast();
        const QStringList expected = row.prefix + QStringList{QStringLiteral("sh"), QStringLiteral("-c"), command};
        EXPECT_EQ(argv, expected);
    }
    qputenv("PATH", savedPath);
    qputenv("TERMINAL", savedTerminal);

    qputenv("PATH", "/nonexistent");
    EXPECT_FALSE(TerminalLauncher::run(command)) << "no terminal anywhere";
    qputenv("PATH", savedPath);
}

} // namespace
} // namespace vantorel
