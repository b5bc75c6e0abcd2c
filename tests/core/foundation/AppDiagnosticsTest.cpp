#include "core/foundation/AppDiagnostics.h"

#include <QCoreApplication>
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include <sys/inotify.h>
#include <unistd.h>

namespace vantorel {
namespace {

// 2026-03-01T08:15:00Z
const Date fixedTime = Date::fromUnixSeconds(1'772'352'900);

QByteArray expectedLine(const QString& message)
{
    return (QStringLiteral("2026-03-01T08:15:00Z pid=") + QString::number(QCoreApplication::applicationPid())
            + QLatin1Char(' ') + message + QLatin1Char('\n'))
        .toUtf8();
}

class AppDiagnosticsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        m_directory = m_root.filePath(QStringLiteral("state/Vantorel"));
        AppDiagnostics::setLogDirectoryForTesting(m_directory);
        AppDiagnostics::setClockForTesting([] { return fixedTime; });
    }

    void TearDown() override
    {
        AppDiagnostics::setLogDirectoryForTesting({});
        AppDiagnostics::setClockForTesting({});
    }

    QString logPath() const { return m_directory + QStringLiteral("/Vantorel.log"); }
    QString previousPath() const { return m_directory + QStringLiteral("/Vantorel.previous.log"); }

    QTemporaryDir m_root;
    QString m_directory;
};

TEST_F(AppDiagnosticsTest, WritesOneLinePerMessageToANewPrivateFile)
{
    ASSERT_FALSE(QFileInfo::exists(m_directory));
    const struct
    {
        QString message;
        QString written;
    } cases[] = {
        {QStringLiteral("app.start version=1.0 (7) bundle=/opt/vantorel"), QStringLiteral("app.start version=1.0 (7) bundle=/opt/vantorel")},
        // Line breaks are escaped, so a message cannot forge another line.
        {QStringLiteral("a\nb"), QStringLiteral("a\\nb")},
        {QStringLiteral("a\r\n2026-03-01T08:15:00Z pid=1 forged"), QStringLiteral("a\\r\\n2026-03-01T08:15:00Z pid=1 forged")},
        {QStringLiteral("\n"), QStringLiteral("\\n")},
        {QStringLiteral("end\r"), QStringLiteral("end\\r")},
        {QStringLiteral("日本語 ok"), QStringLiteral("日本語 ok")},
    };
    QByteArray expected;
    for (const auto& c : cases) {
        AppDiagnostics::log(c.message);
        expected += expectedLine(c.written);
    }
    AppDiagnostics::flush();

    const QByteArray written = test::readFileBytes(logPath());
    EXPECT_EQ(written, expected);
    EXPECT_EQ(written.count('\n'), qsizetype(std::size(cases)));
    EXPECT_EQ(test::fileMode(logPath()), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(AppDiagnosticsTest, RotatesBeforeALineOnlyOnceTheFileIsLargerThanTheLimit)
{
    const QByteArray next = expectedLine(QStringLiteral("next"));
    const QByteArray after = expectedLine(QStringLiteral("after"));
    ASSERT_TRUE(QDir().mkpath(m_directory));
    for (const qint64 size : {AppDiagnostics::maximumLogSize, AppDiagnostics::maximumLogSize + 1}) {
        SCOPED_TRACE(size);
        const QByteArray big = QByteArray(size - 1, 'x') + '\n';
        ASSERT_TRUE(test::writeFileBytes(logPath(), big));
        ASSERT_TRUE(test::writeFileBytes(previousPath(), "an older generation\n"));
        // The older generation is replaced by the rename alone, never deleted first.
        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(m_directory).constData(), IN_DELETE), 0);

        AppDiagnostics::log(QStringLiteral("next"));
        AppDiagnostics::log(QStringLiteral("after"));
        AppDiagnostics::flush();
        char events[4096];
        EXPECT_LT(::read(watch, events, sizeof events), 0);
        ::close(watch);

        // A file of exactly the limit takes one more line, which then pushes it over.
        if (size > AppDiagnostics::maximumLogSize) {
            EXPECT_EQ(test::readFileBytes(previousPath()), big);
            EXPECT_EQ(test::readFileBytes(logPath()), next + after);
        } else {
            EXPECT_EQ(test::readFileBytes(previousPath()), big + next);
            EXPECT_EQ(test::readFileBytes(logPath()), after);
        }
    }
}

TEST_F(AppDiagnosticsTest, AFirstLineAfterATornOneStartsOnALineOfItsOwn)
{
    ASSERT_TRUE(QDir().mkpath(m_directory));
    ASSERT_TRUE(test::writeFileBytes(logPath(), "whole\ntorn"));
    AppDiagnostics::log(QStringLiteral("first"));
    AppDiagnostics::log(QStringLiteral("second"));
    AppDiagnostics::flush();
    EXPECT_EQ(test::readFileBytes(logPath()), "whole\ntorn\n" + expectedLine(QStringLiteral("first")) + expectedLine(QStringLiteral("second")));
}

TEST_F(AppDiagnosticsTest, ARotationFileThatCannotBeReplacedKeepsAppending)
{
    ASSERT_TRUE(QDir().mkpath(previousPath() + QStringLiteral("/occupied")));
    const QByteArray big = QByteArray(AppDiagnostics::maximumLogSize, 'x') + '\n';
    ASSERT_TRUE(test::writeFileBytes(logPath(), big));

    AppDiagnostics::log(QStringLiteral("still written"));
    AppDiagnostics::flush();

    EXPECT_EQ(test::readFileBytes(logPath()), big + expectedLine(QStringLiteral("still written")));
    EXPECT_TRUE(QFileInfo(previousPath()).isDir());
}

TEST_F(AppDiagnosticsTest, ConcurrentCallersKeepLinesWholeAndInCallOrderAcrossARotation)
{
    constexpr int threads = 8;
    constexpr int linesPerThread = 400;
    // Close to the limit, so the file rotates while the threads are logging.
    ASSERT_TRUE(QDir().mkpath(m_directory));
    const QByteArray prefill = QByteArray(AppDiagnostics::maximumLogSize - 20'000, 'p') + '\n';
    ASSERT_TRUE(test::writeFileBytes(logPath(), prefill));

    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t] {
            for (int n = 0; n < linesPerThread; ++n) {
                // Lengths vary so that torn or merged lines would show.
                AppDiagnostics::log(QStringLiteral("test.line thread=%1 n=%2 pad=%3")
                                        .arg(t)
                                        .arg(n)
                                        .arg(QString((n * 7 + t) % 90, QLatin1Char('z'))));
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    AppDiagnostics::flush();

    const QByteArray previous = test::readFileBytes(previousPath());
    ASSERT_TRUE(previous.startsWith(prefill)) << "the file did not rotate during the run";
    const QByteArray all = previous.mid(prefill.size()) + test::readFileBytes(logPath());
    ASSERT_TRUE(all.endsWith('\n'));

    const QRegularExpression pattern(QStringLiteral("^2026-03-01T08:15:00Z pid=%1 test\\.line thread=(\\d) n=(\\d+) pad=(z*)$")
                                         .arg(QCoreApplication::applicationPid()));
    std::vector<int> nextExpected(threads, 0);
    const QList<QByteArray> lines = all.chopped(1).split('\n');
    ASSERT_EQ(lines.size(), threads * linesPerThread);
    for (const QByteArray& line : lines) {
        const auto match = pattern.match(QString::fromUtf8(line));
        ASSERT_TRUE(match.hasMatch()) << line.toStdString();
        const int t = match.captured(1).toInt();
        const int n = match.captured(2).toInt();
        ASSERT_EQ(n, nextExpected[t]) << "thread " << t << " out of order";
        EXPECT_EQ(match.capturedLength(3), (n * 7 + t) % 90);
        ++nextExpected[t];
    }
}

TEST(AppDiagnosticsVersion, ComesFromTheBuild)
{
    const auto versionAndBuild = AppDiagnostics::versionAndBuild();
    // The version is the project's dotted version, never the fallback.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(versionAndBuild.version).hasMatch())
        << versionAndBuild.version.toStdString();
    EXPECT_FALSE(versionAndBuild.build.isEmpty());
}

} // namespace
} // namespace vantorel
