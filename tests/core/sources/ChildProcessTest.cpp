#include "core/sources/ChildProcess.h"

#include "support/FakeCodexAppServer.h"
#include "support/TestFiles.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QProcess>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <set>
#include <sys/wait.h>

namespace vantorel {
namespace {

std::unique_ptr<ChildProcess> shellChild(const QString& script, ChildProcess::Input input = ChildProcess::Input::closed,
                                         qsizetype outputLimit = 16 * 1024 * 1024)
{
    return std::make_unique<ChildProcess>(QStringLiteral("/bin/sh"), QStringList{QStringLiteral("-c"), script}, input,
                                          outputLimit);
}

// Runs the loop until the child has been reaped, collecting its output on the way.
QByteArray outputUntilExit(ChildProcess& child)
{
    QByteArray output;
    const bool exited = waitUntil([&] {
        output += child.takeOutput();
        return child.hasExited();
    });
    EXPECT_TRUE(exited) << "the child was not reaped";
    return output + child.takeOutput();
}

// Descriptors of this process a child would inherit: those without FD_CLOEXEC.
std::set<int> inheritableDescriptors()
{
    std::set<int> descriptors;
    const auto entries = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString& entry : entries) {
        const int fd = entry.toInt();
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags >= 0 && !(flags & FD_CLOEXEC))
            descriptors.insert(fd);
    }
    return descriptors;
}

bool isZombieOrGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
}

TEST(ChildProcessTest, AChildInheritsOnlyItsStandardDescriptors)
{
    // Another child with its pipes open while the second starts: none of its ends may leak.
    auto other = shellChild(QStringLiteral("cat"), ChildProcess::Input::pipe);
    other->start();
    for (const auto input : {ChildProcess::Input::closed, ChildProcess::Input::pipe}) {
        const std::set<int> inheritable = inheritableDescriptors();
        // `ls` runs in a child of the shell, so the shell's own descriptors are listed.
        auto child = shellChild(QStringLiteral("ls /proc/$$/fd; readlink /proc/$$/fd/0 /proc/$$/fd/2"), input);
        child->start();
        if (input == ChildProcess::Input::pipe)
            child->closeInput();
        const QList<QByteArray> lines = outputUntilExit(*child).trimmed().split('\n');
        ASSERT_GE(lines.size(), 3);
        for (qsizetype i = 0; i < lines.size() - 2; ++i) {
            const int fd = lines[i].toInt();
            EXPECT_TRUE(fd <= 2 || inheritable.contains(fd)) << "descriptor " << fd << " leaked";
        }
        EXPECT_EQ(lines[lines.size() - 2].startsWith("pipe:"), input == ChildProcess::Input::pipe) << lines[lines.size() - 2].constData();
        if (input == ChildProcess::Input::closed) {
            EXPECT_EQ(lines[lines.size() - 2], "/dev/null");
        }
        EXPECT_EQ(lines.last(), "/dev/null");
    }
    other->kill();
    EXPECT_TRUE(waitUntil([&] { return other->hasExited(); }));
}

TEST(ChildProcessTest, OutputWrittenBeforeTheExitIsKeptWhateverIsNoticedFirst)
{
    // Up to a full pipe buffer, so the child exits without anyone reading.
    for (const int size : {0, 1, 65'535, 65'536}) {
        auto child = shellChild(QStringLiteral("head -c %1 /dev/zero | tr '\\0' x; exit 7").arg(size));
        child->start();
        // Blocks until the child has ended (without reaping it), so the exit and the output are
        // both pending when the loop next runs.
        siginfo_t info{};
        ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(child->processId()), &info, WEXITED | WNOWAIT), 0);
        EXPECT_EQ(outputUntilExit(*child), QByteArray(size, 'x')) << size;
        EXPECT_EQ(child->terminationStatus(), 7) << size;
    }
}

TEST(ChildProcessTest, LargeInputReachesASlowReaderWholeAndInOrder)
{
    QByteArray first(3'000'000, Qt::Uninitialized);
    QRandomGenerator generator(52);
    for (char& byte : first)
        byte = static_cast<char>(generator.bounded(256));
    const QByteArray second = "the end\n";
    // Reads in small pieces, so most of the input waits in the queue.
    auto child = shellChild(QStringLiteral("dd bs=512 status=none | sha256sum"), ChildProcess::Input::pipe);
    child->start();
    child->write(first);
    child->write(second);
    // Closing is deferred until everything queued has been written.
    child->closeInput();
    const QByteArray output = outputUntilExit(*child);
    EXPECT_EQ(output.left(64), QCryptographicHash::hash(QByteArray(first + second), QCryptographicHash::Sha256).toHex());
    EXPECT_FALSE(child->writeError());
    EXPECT_EQ(child->terminationStatus(), 0);
}

TEST(ChildProcessTest, WritingToAChildThatStoppedReadingIsAWriteError)
{
    auto child = shellChild(QStringLiteral("exec 0<&-; echo closed; exec sleep 1000"), ChildProcess::Input::pipe);
    child->start();
    ASSERT_TRUE(waitUntil([&] { return child->takeLine().has_value(); }));
    child->write(QByteArray(200'000, 'x'));
    EXPECT_TRUE(waitUntil([&] { return child->writeError().has_value(); }));
    EXPECT_EQ(child->writeError().value_or(QString()), QStringLiteral("Error writing to process"));
    EXPECT_FALSE(child->hasExited()) << "a write error alone must not end the child";
    child->kill();
    EXPECT_TRUE(waitUntil([&] { return child->hasExited(); }));
}

TEST(ChildProcessTest, ALaunchFailureArrivesLaterWithTheSystemsReason)
{
    FakeCodexAppServer fake({"exit 0"});
    const QString notExecutable = fake.filePath("plain");
    ASSERT_TRUE(test::writeFileBytes(notExecutable, "#!/bin/sh\n"));
    const std::pair<QString, QString> cases[] = {
        {fake.filePath("missing"), QStringLiteral("execve: No such file or directory")},
        {notExecutable, QStringLiteral("execve: Permission denied")},
        {fake.directory(), QStringLiteral("execve: Permission denied")},
        {QStringLiteral("vantorel-no-such-program"), QStringLiteral("execve: No such file or directory")},
    };
    for (const auto& [program, reason] : cases) {
        ChildProcess child(program, {}, ChildProcess::Input::pipe, 1024);
        child.start();
        child.write("ignored\n");
        EXPECT_FALSE(child.launchError()) << "reported inside start()";
        EXPECT_FALSE(child.hasExited()) << "ended before the failure was reported";
        ASSERT_TRUE(waitUntil([&] { return child.hasExited(); })) << program.toStdString();
        EXPECT_EQ(child.launchError().value_or(QString()), reason) << program.toStdString();
    }
}

TEST(ChildProcessTest, DestroyingARunningChildKillsItsGroupAndReapsItLater)
{
    auto child = shellChild(QStringLiteral("sleep 1000 & echo $!; wait"));
    child->start();
    ASSERT_TRUE(waitUntil([&] { return child->takeLine().has_value(); }));
    const qint64 pid = child->processId();
    ASSERT_GT(pid, 0);
    ASSERT_FALSE(child->hasExited());
    child.reset();
    EXPECT_TRUE(waitUntil([&] { return !QFile::exists(QStringLiteral("/proc/%1").arg(pid)); })) << "left a zombie";
}

// A killed child the loop has not reaped yet when the application ends is reaped and freed with the
// application, not left behind (the sanitizers call what is left a leak).
TEST(ChildProcessTest, AChildUnreapedWhenTheApplicationEndsEndsWithIt)
{
    auto child = shellChild(QStringLiteral("echo started; exec sleep 1000"));
    child->start();
    ASSERT_TRUE(waitUntil([&] { return child->takeLine().has_value(); }));
    const qint64 pid = child->processId();
    child.reset();
    // No loop turn has run since the kill: what the application holds is what its end frees.
    const QList<QProcess*> held = QCoreApplication::instance()->findChildren<QProcess*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(held.size(), 1);
    delete held.first();
    EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/%1").arg(pid))) << "left a zombie";
}

TEST(ChildProcessTest, KillReachesWhatTheChildStarted)
{
    for (const bool childExitsFirst : {false, true}) {
        auto child = shellChild(childExitsFirst ? QStringLiteral("sleep 1000 & echo $!")
                                                : QStringLiteral("sleep 1000 & echo $!; wait"));
        child->start();
        std::optional<QByteArray> line;
        ASSERT_TRUE(waitUntil([&] { return (line = child->takeLine()).has_value(); })) << childExitsFirst;
        const qint64 grandchild = line->toLongLong();
        ASSERT_GT(grandchild, 0);
        if (childExitsFirst) {
            // The grandchild holds standard output open; the exit alone ends the reading.
            ASSERT_TRUE(waitUntil([&] { return child->hasExited(); }));
            EXPECT_FALSE(isZombieOrGone(grandchild));
        }
        child->kill();
        EXPECT_TRUE(FakeCodexAppServer::processEnds(grandchild)) << childExitsFirst;
        EXPECT_TRUE(waitUntil([&] { return child->hasExited(); }));
        if (!childExitsFirst) {
            EXPECT_EQ(child->terminationStatus(), SIGKILL);
        }
    }
}

} // namespace
} // namespace vantorel
