#include "app/platform/ClaudeCodeCredentialFileReader.h"
#include "app/platform/ClaudeCodeTokenStore.h"
#include "app/platform/ClaudeCodeTokenStoreError.h"
#include "support/DrainEvents.h"
#include "support/ManualSleeper.h"
#include "support/TaskOutcome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <sys/stat.h>

namespace vantorel {
namespace {

using TokenStoreCode = ClaudeCodeTokenStoreError::Code;

constexpr qint64 limit = ClaudeCodeCredentialFileReader::maximumCredentialBytes;

class ClaudeCodeCredentialFileReaderTest : public ::testing::Test
{
protected:
    QTemporaryDir directory;

    QString write(const QString& name, const QByteArray& contents)
    {
        const QString path = directory.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return path;
    }
};

TEST(ClaudeCodeCredentialPathTest, FollowsClaudeConfigDirOrTheHomeFolder)
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("HOME"), QStringLiteral("/home/ada"));
    for (const auto& [configDir, path] : {std::pair{"", "/home/ada/.claude/.credentials.json"},
                                          std::pair{"/srv/claude/", "/srv/claude/.credentials.json"}}) {
        environment.insert(QStringLiteral("CLAUDE_CONFIG_DIR"), QString::fromUtf8(configDir));
        EXPECT_EQ(ClaudeCodeCredentialFileReader::credentialPath(environment), QString::fromUtf8(path));
    }
}

TEST_F(ClaudeCodeCredentialFileReaderTest, ReadsOnlyRegularFilesUpToTheLimit)
{
    ASSERT_TRUE(directory.isValid());
    struct Row
    {
        const char* name;
        qint64 size;
        bool readable;
    };
    for (const Row row : {Row{"empty", 0, true}, Row{"exactly the limit", limit, true},
                          Row{"one byte over", limit + 1, false}}) {
        SCOPED_TRACE(row.name);
        const QByteArray contents(row.size, 'x');
        const auto read = ClaudeCodeCredentialFileReader::readBoundedFile(write(QString::fromLatin1(row.name), contents));
        EXPECT_EQ(read.has_value(), row.readable);
        if (read) {
            EXPECT_EQ(*read, contents);
        }
    }

    EXPECT_EQ(ClaudeCodeCredentialFileReader::readBoundedFile(directory.filePath(QStringLiteral("absent"))), std::nullopt);
    EXPECT_EQ(ClaudeCodeCredentialFileReader::readBoundedFile(directory.path()), std::nullopt);
    EXPECT_EQ(ClaudeCodeCredentialFileReader::readBoundedFile(QString()), std::nullopt);
    // A FIFO would block a plain open until a writer appears.
    const QString fifo = directory.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(ClaudeCodeCredentialFileReader::readBoundedFile(fifo), std::nullopt);
}

TEST_F(ClaudeCodeCredentialFileReaderTest, StoreReadsTheFileWithoutChangingItAndMapsUnreadableFiles)
{
    const QByteArray document = R"({"claudeAiOauth":{"accessToken":"sk-ant-oat01-x","expiresAt":4102444800000,)"
                                R"("subscriptionType":"max"}})"
                                "\n";
    const QString path = write(QStringLiteral(".credentials.json"), document);
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    const QDateTime modified = QFileInfo(path).lastModified();

    auto reader = std::make_shared<ClaudeCodeCredentialFileReader>(path);
    ClaudeCodeTokenStore store(reader);
    // The file is read on a worker thread; its answer arrives through this thread's event loop.
    const auto outcome = waitForOutcome(store.readTokenInfo(true));
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->accessToken, QStringLiteral("sk-ant-oat01-x"));
    EXPECT_EQ(outcome.value->subscriptionType, QStringLiteral("max"));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), document);
    EXPECT_EQ(QFileInfo(path).lastModified(), modified);
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther),
              QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(QDir(directory.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral(".credentials.json")});

    const QStringList unreadableFiles{directory.filePath(QStringLiteral("absent.json")),
                                      write(QStringLiteral("huge.json"), QByteArray(2 * limit, ' '))};
    for (const QString& unreadable : unreadableFiles) {
        ClaudeCodeCredentialFileReader missing(unreadable);
        EXPECT_EQ(waitForOutcome(missing.readCredential(CancelToken())).errorAs<ClaudeCodeTokenStoreError>(),
                  ClaudeCodeTokenStoreError(TokenStoreCode::keychainReadFailed))
            << unreadable.toStdString();
    }
}

// A read that stays in the kernel until the test lets it go.
struct StuckRead
{
    std::mutex mutex;
    std::condition_variable released;
    bool free = false;

    void release()
    {
        std::lock_guard lock(mutex);
        free = true;
        released.notify_all();
    }
};

TEST_F(ClaudeCodeCredentialFileReaderTest, ReadThatOutlastsTheTimeOutIsATimedOutKeychainAndCancelStopsWaiting)
{
    auto stuck = std::make_shared<StuckRead>();
    const auto load = [stuck](const QString&) -> std::optional<QByteArray> {
        std::unique_lock lock(stuck->mutex);
        stuck->released.wait(lock, [&] { return stuck->free; });
        return QByteArray("{}");
    };
    auto sleeper = std::make_shared<ManualSleeper>();
    ClaudeCodeCredentialFileReader reader(QStringLiteral("/unused"), 8.0, sleeper, load);

    auto timedOut = startTask(reader.readCredential(CancelToken()));
    sleeper->advance(7.999);
    EXPECT_FALSE(timedOut->finished);
    sleeper->advance(0.001);
    drainEvents();
    ASSERT_TRUE(timedOut->finished);
    EXPECT_EQ(timedOut->errorAs<ClaudeCodeTokenStoreError>(), ClaudeCodeTokenStoreError(TokenStoreCode::keychainTimedOut));

    CancelToken token;
    auto cancelled = startTask(reader.readCredential(token));
    token.cancel();
    drainEvents();
    ASSERT_TRUE(cancelled->finished);
    EXPECT_TRUE(cancelled->cancelled());
    EXPECT_EQ(sleeper->pendingCount(), 0);
    stuck->release();
}

} // namespace
} // namespace vantorel
