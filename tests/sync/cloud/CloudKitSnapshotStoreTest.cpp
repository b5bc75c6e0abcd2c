#include "CloudTestSupport.h"
#include "../model/SyncModelFixtures.h"

#include "core/foundation/AppDiagnostics.h"
#include "core/foundation/Json.h"
#include "sync/cloud/CloudAccountChangeNotifier.h"
#include "sync/cloud/CloudFetchRecordsOperation.h"
#include "sync/cloud/CloudKitDatabaseClient.h"
#include "sync/cloud/CloudKitErrorMapper.h"
#include "sync/cloud/CloudKitSnapshotStore.h"
#include "sync/cloud/CloudTemporaryAsset.h"
#include "sync/cloud/LocalCloudRecordFile.h"
#include "sync/cloud/LocalDirectoryCloudDatabase.h"
#include "support/FakeCloudContainer.h"
#include "support/ManualSleeper.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantorel {
namespace {

using test::finish;
using test::hostA;
using test::hostB;
using test::nameOf;

UsageSyncSnapshot snapshot(QUuid host, quint64 revision, int minutesLater = 0)
{
    UsageSyncSnapshot s = test::emptySnapshot();
    s.hostID = host;
    s.revision = revision;
    s.generatedAt = s.generatedAt + minutesLater * 60.0;
    return s;
}

QCoro::Task<QString> fetched(CloudSnapshotStoring& store, QString account)
{
    const auto found = co_await store.fetchSnapshot(std::move(account), {});
    co_return found ? QString::number(found->revision) : QStringLiteral("none");
}

class CloudStoreOnDiskTest : public testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("TMPDIR", temp.path().toUtf8());
        open({});
        account = *waitForOutcome(store->accountIdentifier({})).value;
    }
    void TearDown() override { qputenv("TMPDIR", savedTemp); }

    // Notes the database's account reads, its locks, its pauses and the payload copies it hands
    // out; a pause runs `duringPause` instead of waiting.
    void open(LocalDirectoryCloudDatabase::Options options)
    {
        store.reset();
        options.fault = [this, fault = options.fault](const QString& call, const QString& path) {
            if (call == "lock")
                events.append("lock");
            else if (call == "read" && path.endsWith("/account"))
                events.append("account");
            else if (call == "mkdir" && path.contains("cloud-fetch"))
                events.append("copy");
            return fault ? fault(call, path) : 0;
        };
        options.pause = [this](double seconds) {
            events.append("pause " + QString::number(seconds));
            if (duringPause)
                duringPause();
        };
        const auto database = std::make_shared<LocalDirectoryCloudDatabase>(root, options);
        notifier = std::make_unique<CloudAccountChangeNotifier>(root);
        store = std::make_unique<CloudKitSnapshotStore>(std::make_shared<CloudKitDatabaseClient>(database, sleeper),
                                                        notifier.get());
    }

    std::string save(QUuid host, quint64 revision, int minutesLater = 0, const QString& as = {})
    {
        return finish(store->saveSnapshot(snapshot(host, revision, minutesLater), as.isEmpty() ? account : as, {}));
    }
    QString folder() const { return root + QLatin1Char('/') + account; }
    QString recordFile() const { return folder() + QStringLiteral("/records/latest-usage-snapshot.json"); }
    Json storedRecord() const { return json::parse(test::readFileBytes(recordFile())).value_or(Json::object()); }
    QStringList entries(const QString& directory) const
    {
        return QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    const QByteArray savedTemp = qgetenv("TMPDIR");
    QTemporaryDir dir;
    QTemporaryDir temp;
    const QString root = dir.filePath("cloud");
    ManualSleeper sleeper;
    QStringList events;
    std::function<void()> duringPause;
    std::unique_ptr<CloudAccountChangeNotifier> notifier;
    std::unique_ptr<CloudKitSnapshotStore> store;
    QString account;
};

TEST_F(CloudStoreOnDiskTest, RecordRules)
{
    const struct
    {
        const char* action;
        QUuid host;
        quint64 revision;
        std::string expected;
        const char* record; // "written", "same" or "tombstone"
    } steps[] = {
        {"save", hostA, 7, "ok", "written"},
        {"save", hostA, 7, "ok", "same"},
        {"save", hostA, 5, "usage.olderSnapshot", "same"},
        {"saveLater", hostA, 7, "usage.olderSnapshot", "same"},
        {"fetch", {}, 0, "7", "same"},
        {"save", hostB, 9, "anotherMac", "same"},
        {"delete", hostB, 0, "anotherMac", "same"},
        {"delete", hostA, 0, "ok", "tombstone"},
        {"delete", hostA, 0, "ok", "same"},
        {"fetch", {}, 0, "none", "same"},
        {"save", hostB, 1, "ok", "written"},
    };
    const QString plainFile = temp.filePath("plain");
    ASSERT_TRUE(test::writeFileBytes(plainFile, "x"));
    for (const auto& step : steps) {
        const Json before = storedRecord();
        const std::string action = step.action;
        // Where nothing may be written, no payload file may be made either.
        if (std::string(step.record) == "same" && action != "fetch")
            qputenv("TMPDIR", plainFile.toUtf8());
        const std::string outcome = action == "fetch" ? nameOf(waitForOutcome(fetched(*store, account)))
            : action == "delete"                      ? finish(store->deleteSnapshot(step.host, account, {}))
                                                      : save(step.host, step.revision, action == "saveLater" ? 1 : 0);
        qputenv("TMPDIR", temp.path().toUtf8());
        EXPECT_EQ(outcome, step.expected) << action << ' ' << step.revision;
        const Json after = storedRecord();
        EXPECT_EQ(after.value("changeTag", "") != before.value("changeTag", ""), std::string(step.record) != "same")
            << action;
        if (std::string(step.record) == "tombstone") {
            EXPECT_EQ(after["fields"].dump(), R"({"isDeleted":{"integer":1},"schemaVersion":{"integer":1}})");
        }
    }
    EXPECT_EQ(entries(folder() + "/assets").size(), 1);
    EXPECT_TRUE(entries(temp.path()) == QStringList{"plain"});
}

TEST_F(CloudStoreOnDiskTest, RepeatedFetchReadsOnlyMetadataUntilANewerRevision)
{
    ASSERT_EQ(save(hostA, 7), "ok");
    const auto fetchedAgain = [&](const char* revision, const QStringList& expected) {
        events.clear();
        EXPECT_EQ(nameOf(waitForOutcome(fetched(*store, account))), revision);
        EXPECT_EQ(events.filter(QRegularExpression("lock|copy")), expected);
    };
    fetchedAgain("7", {"lock", "lock", "copy"});
    fetchedAgain("7", {"lock"});
    ASSERT_EQ(save(hostA, 8), "ok");
    fetchedAgain("8", {"lock", "lock", "copy"});

    events.clear();
    EXPECT_EQ(nameOf(waitForOutcome(fetched(*store, QString()))), "accountChanged");
    EXPECT_EQ(finish(store->saveSnapshot(snapshot(hostA, 9), QString(), {})), "accountChanged");
    EXPECT_EQ(events, QStringList());
}

TEST_F(CloudStoreOnDiskTest, AccountChangeEndsASaveWaitingOnTheLockAndSigningOutIsNotSignedIn)
{
    // The database's second lock (the save's) finds the lock taken by another holder.
    std::atomic<int> lockCalls = 0;
    std::atomic<int> heldLock = -1;
    LocalDirectoryCloudDatabase::Options options;
    options.lockWaitSeconds = 60;
    options.fault = [&](const QString& call, const QString& path) {
        if (call == "lock" && ++lockCalls == 2) {
            heldLock = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
            ::flock(heldLock, LOCK_EX);
        }
        return 0;
    };
    open(options);
    QSignalSpy changes(notifier.get(), &CloudAccountChangeNotifier::accountChanged);
    const auto saving = startTask(test::named(store->saveSnapshot(snapshot(hostA, 7), account, {})));
    while (lockCalls < 2)
        QCoreApplication::processEvents();
    LocalCloudFiles().write(root + "/account", "_" + QByteArray(32, 'b'));
    ASSERT_TRUE(changes.wait(10'000));
    drainEvents();
    EXPECT_EQ(nameOf(*saving), "accountChanged");
    EXPECT_EQ(entries(temp.path()), QStringList());
    ::close(heldLock);

    ASSERT_TRUE(QFile::remove(root + "/account"));
    ASSERT_TRUE(changes.wait(10'000));
    EXPECT_EQ(nameOf(waitForOutcome(store->accountIdentifier({}))), "notSignedIn");
    EXPECT_EQ(changes.size(), 2);
}

TEST_F(CloudStoreOnDiskTest, FileSystemFailures)
{
    const struct
    {
        int injected;
        std::optional<qint64> quota;
        std::string expected;
    } rows[] = {
        {EROFS, std::nullopt, "restricted"},
        {EACCES, std::nullopt, "restricted"},
        {ENOSPC, std::nullopt, "quotaExceeded"},
        {EIO, std::nullopt, "unavailable"},
        {0, 100, "quotaExceeded"},
        {0, 1'000'000, "ok"},
    };
    for (const auto& row : rows) {
        LocalDirectoryCloudDatabase::Options options;
        options.byteQuota = row.quota;
        options.fault = [&](const QString& call, const QString&) { return call == "write" ? row.injected : 0; };
        open(options);
        EXPECT_EQ(save(hostA, 7), row.expected) << row.injected;
    }

    // A damaged record file is moved aside, and the next save writes a fresh one.
    ASSERT_TRUE(test::writeFileBytes(recordFile(), "{not json"));
    EXPECT_EQ(save(hostA, 3), "ok");
    EXPECT_EQ(entries(folder() + "/records").filter(".damaged-").size(), 1);

    // A record name that could leave the records folder is refused.
    std::promise<std::exception_ptr> reported;
    LocalDirectoryCloudDatabase database(root);
    auto fetch = std::make_shared<CloudFetchRecordsOperation>(QList{CloudRecordID{"../x"}});
    fetch->perRecordResultBlock = [&](const CloudRecordID&, const CloudRecordOutcome& outcome) {
        reported.set_value(std::get<std::exception_ptr>(outcome));
    };
    database.add(fetch);
    EXPECT_EQ(test::errorName(CloudKitErrorMapper::map(reported.get_future().get())), "invalidConfiguration");
}

// Links and entries of the wrong kind inside the root fail fetches and saves with an error that
// names them, and nothing they point to is read, written, renamed or removed.
TEST_F(CloudStoreOnDiskTest, PlantedEntriesAreReportedByNameAndNeverFollowed)
{
    ASSERT_EQ(save(hostA, 1), "ok");
    QTemporaryDir outside;
    const QStringList outsideFiles{"keep", "latest-usage-snapshot.json", "x.tmp-1"};
    const struct
    {
        const char* entry; // inside the account folder; empty for the folder itself
        const char* kind;
    } rows[] = {
        {"assets", "link"}, {"records", "link"}, {"lock", "link"}, {"lock", "folder"},
        {"records", "file"}, {"assets", "file"}, {"", "link"},
    };
    for (const auto& row : rows) {
        const std::string kind = row.kind;
        const QString entry = QString(row.entry).isEmpty() ? folder() : folder() + '/' + row.entry;
        ASSERT_TRUE(QDir(folder()).removeRecursively());
        ASSERT_TRUE(QDir().mkpath(QFileInfo(entry).path()));
        for (const QString& name : outsideFiles)
            ASSERT_TRUE(test::writeFileBytes(outside.filePath(name), "outside"));
        const bool planted = kind == "link" ? QFile::link(outside.path(), entry)
            : kind == "folder"              ? QDir().mkpath(entry)
                                            : test::writeFileBytes(entry, "x");
        ASSERT_TRUE(planted);

        const std::string expected = "damaged(" + entry.toStdString() + ")";
        EXPECT_EQ(save(hostA, 2), expected) << row.entry << ' ' << kind;
        EXPECT_EQ(nameOf(waitForOutcome(fetched(*store, account))), expected) << row.entry << ' ' << kind;
        EXPECT_EQ(entries(outside.path()), outsideFiles) << row.entry << ' ' << kind;
        for (const QString& name : outsideFiles)
            EXPECT_EQ(test::readFileBytes(outside.filePath(name)), "outside") << row.entry << ' ' << kind;
        // The folder must not be removed through a link.
        if (kind != "folder") {
            ASSERT_TRUE(QFile::remove(entry));
        }
    }
    const QString path = folder() + "/records";
    const QString message = CloudSyncError::damagedLocalEntry(path).message();
    EXPECT_TRUE(message.contains(path));
    EXPECT_NE(message, CloudSyncError(CloudSyncError::Code::unavailable).message());
}

// An account file that names no account is moved aside and reported, never read as signed out
// or as another account, and a fresh account takes its place for the next call; a link or a
// folder in its place is reported and left alone.
TEST_F(CloudStoreOnDiskTest, AnAccountFileThatNamesNoAccountIsReportedAndReplaced)
{
    const QTemporaryDir logs;
    AppDiagnostics::setLogDirectoryForTesting(logs.path());
    const auto restoreLog = qScopeGuard([] { AppDiagnostics::setLogDirectoryForTesting({}); });
    // These file changes are not the account changes the store reacts to here.
    notifier.reset();
    const QString accountFile = root + "/account";
    QTemporaryDir outside;
    ASSERT_TRUE(test::writeFileBytes(outside.filePath("account"), "_" + QByteArray(32, 'c')));
    const struct
    {
        const char* planted;
        bool movedAside;
    } rows[] = {{"garbage", true}, {"oversized", true}, {"link", false}, {"folder", false}};
    int movedAside = 0;
    for (const auto& row : rows) {
        const std::string planted = row.planted;
        const bool made = planted == "garbage" ? test::writeFileBytes(accountFile, "not an account")
            : planted == "oversized" ? test::writeFileBytes(accountFile, account.toLatin1() + QByteArray(100, '0'))
            : planted == "link"      ? QFile::link(outside.filePath("account"), accountFile)
                                     : QDir().mkpath(accountFile);
        ASSERT_TRUE(made) << planted;
        const std::string expected = "damaged(" + accountFile.toStdString() + ")";
        EXPECT_EQ(nameOf(waitForOutcome(store->accountIdentifier({}))), expected) << planted;
        // Moved aside and kept, the damaged file gives way to a fresh account, as on first use:
        // a caller holding the old account sees it change, and the folder is not signed out.
        EXPECT_EQ(save(hostA, 1), row.movedAside ? "accountChanged" : expected) << planted;
        if (row.movedAside) {
            const auto fresh = waitForOutcome(store->accountIdentifier({})).value;
            ASSERT_TRUE(fresh) << planted;
            EXPECT_NE(*fresh, account) << planted;
            EXPECT_EQ(test::readFileBytes(accountFile), fresh->toLatin1()) << planted;
            EXPECT_EQ(save(hostA, 1, 0, *fresh), "ok") << planted;
        }
        movedAside += row.movedAside ? 1 : 0;
        EXPECT_EQ(entries(root).filter("account.damaged-").size(), movedAside) << planted;
        QFile::remove(accountFile);
        QDir().rmdir(accountFile);
    }
    EXPECT_EQ(test::readFileBytes(outside.filePath("account")), "_" + QByteArray(32, 'c'));
    // Removing the file still signs out.
    EXPECT_EQ(nameOf(waitForOutcome(store->accountIdentifier({}))), "notSignedIn");
    EXPECT_FALSE(QFile::exists(accountFile));
    AppDiagnostics::flush();
    const QByteArray created = "cloud.account.created path=" + accountFile.toUtf8();
    EXPECT_EQ(test::readFileBytes(logs.filePath("Vantorel.log")).count(created), movedAside);
}

// Another process rewriting the account file in place shows it empty or half-written for a
// moment: only a file that is, under the root folder's lock and after a pause, still the same
// file with the same bytes is replaced; a file still changing reads as undetermined for now.
TEST_F(CloudStoreOnDiskTest, OnlyLastingDamageReplacesTheAccount)
{
    notifier.reset();
    const QString accountFile = root + "/account";
    const auto inode = [&] {
        struct stat status{};
        return ::stat(QFile::encodeName(accountFile).constData(), &status) == 0 ? status.st_ino : ino_t(0);
    };
    const auto movedAside = [&] { return entries(root).filter("account.damaged-").size(); };
    const ino_t original = inode();
    bool rootLockedDuringPause = false;

    // A copy over the file in place, caught between its truncation and its write.
    ASSERT_TRUE(test::writeFileBytes(accountFile, {}));
    duringPause = [&] {
        const int probe = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        rootLockedDuringPause = ::flock(probe, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(probe);
        test::writeFileBytes(accountFile, account.toLatin1());
    };
    EXPECT_EQ(nameOf(waitForOutcome(store->accountIdentifier({}))), account.toStdString());
    EXPECT_TRUE(rootLockedDuringPause);
    EXPECT_TRUE(events.contains("pause " + QString::number(LocalDirectoryCloudDatabase::damagedAccountRecheckSeconds)));
    EXPECT_EQ(inode(), original);
    EXPECT_EQ(save(hostA, 1), "ok");

    // Still being written when read again: nothing is replaced until it stays as it is.
    ASSERT_TRUE(test::writeFileBytes(accountFile, account.toLatin1().left(10)));
    duringPause = [&] { test::writeFileBytes(accountFile, account.toLatin1().left(20)); };
    EXPECT_EQ(nameOf(waitForOutcome(store->accountIdentifier({}))), "unavailable");
    EXPECT_EQ(movedAside(), 0);
    duringPause = nullptr;
    const std::string damaged = "damaged(" + accountFile.toStdString() + ")";
    EXPECT_EQ(nameOf(waitForOutcome(store->accountIdentifier({}))), damaged);
    EXPECT_EQ(movedAside(), 1);

    // The name comes to hold another file, with the same bytes, just before the rename.
    ASSERT_TRUE(test::writeFileBytes(accountFile, "not an account"));
    std::atomic<bool> swapped = false;
    LocalDirectoryCloudDatabase::Options options;
    options.fault = [&](const QString& call, const QString& path) {
        if (call == "rename" && path == accountFile && !swapped.exchange(true))
            LocalCloudFiles().write(accountFile, "not an account");
        return 0;
    };
    open(options);
    notifier.reset();
    const ino_t planted = inode();
    EXPECT_EQ(nameOf(waitForOutcome(store->accountIdentifier({}))), "unavailable");
    EXPECT_TRUE(swapped);
    EXPECT_NE(inode(), planted);
    EXPECT_EQ(movedAside(), 1);

    // Another database replacing it holds the lock: this one waits, then leaves it alone.
    options.fault = {};
    options.lockWaitSeconds = 0;
    open(options);
    notifier.reset();
    const int holder = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    EXPECT_EQ(nameOf(waitForOutcome(store->accountIdentifier({}))), "unavailable");
    ::close(holder);
    EXPECT_EQ(movedAside(), 1);
    EXPECT_EQ(nameOf(waitForOutcome(store->accountIdentifier({}))), damaged);
    EXPECT_EQ(movedAside(), 2);
}

// A rewrite in place is no account change, however the watch catches it; a real one still is.
TEST_F(CloudStoreOnDiskTest, AnAccountFileCaughtMidRewriteIsNoAccountChange)
{
    QSignalSpy changes(notifier.get(), &CloudAccountChangeNotifier::accountChanged);
    const QString accountFile = root + "/account";
    for (const QByteArray& passing : {QByteArray(), account.toLatin1().left(7), QByteArray("x")}) {
        // The write itself queues the watch's event, so the next turn reads this content.
        ASSERT_TRUE(test::writeFileBytes(accountFile, passing));
        QCoreApplication::processEvents();
        ASSERT_TRUE(test::writeFileBytes(accountFile, account.toLatin1()));
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(changes.size(), 0);
    LocalCloudFiles().write(accountFile, "_" + QByteArray(32, 'e'));
    ASSERT_TRUE(changes.wait(10'000));
    drainEvents();
    EXPECT_EQ(changes.size(), 1);
}

// Payload files of a save live in the database's own scratch folder; the next start removes the
// scratch folders nobody holds (a killed save's), keeps a live one and never follows a link.
TEST_F(CloudStoreOnDiskTest, ScratchFilesStayInTheRootAndLeftoversGoAtTheNextStart)
{
    const QString scratch = root + "/tmp";
    ASSERT_TRUE(QDir().mkpath(scratch + "/dead/vantorel-cloud-1"));
    ASSERT_TRUE(QDir().mkpath(scratch + "/live/vantorel-cloud-2"));
    ASSERT_TRUE(test::writeFileBytes(scratch + "/dead/vantorel-cloud-1/snapshot.json", QByteArray(1000, 'x')));
    ASSERT_TRUE(test::writeFileBytes(scratch + "/live/vantorel-cloud-2/snapshot.json", "y"));
    const int live = ::open(QFile::encodeName(scratch + "/live").constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    QTemporaryDir outside;
    ASSERT_TRUE(test::writeFileBytes(outside.filePath("keep"), "outside"));
    ASSERT_TRUE(QFile::link(outside.path(), scratch + "/link"));

    open({});
    EXPECT_EQ(nameOf(waitForOutcome(store->accountIdentifier({}))), account.toStdString());
    const QStringList left = entries(scratch);
    EXPECT_EQ(left.size(), 2);
    EXPECT_TRUE(left.contains("live"));
    EXPECT_TRUE(QFile::exists(scratch + "/live/vantorel-cloud-2/snapshot.json"));
    EXPECT_EQ(entries(outside.path()), QStringList{"keep"});
    ::close(live);

    // The system's temporary folder is not even usable, and the save still goes through.
    const QString plainFile = temp.filePath("plain");
    ASSERT_TRUE(test::writeFileBytes(plainFile, "x"));
    qputenv("TMPDIR", plainFile.toUtf8());
    EXPECT_EQ(save(hostA, 3), "ok");
    qputenv("TMPDIR", temp.path().toUtf8());
    const QStringList own = entries(scratch).filter(QRegularExpression("^[0-9A-F-]{36}$"));
    ASSERT_EQ(own.size(), 1);
    EXPECT_EQ(entries(scratch + '/' + own.first()), QStringList());
}

// Another Mac: a second process on the same folder.
class CloudPeer
{
public:
    CloudPeer(const QString& root, const QStringList& arguments)
    {
        m_process.start(QStringLiteral(VANTOREL_CLOUD_PEER), QStringList{arguments.first(), root} + arguments.mid(1));
    }
    ~CloudPeer()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(30'000);
    }
    // Its printed outcomes, once it has ended.
    QStringList outcomes()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(60'000);
        return QString::fromUtf8(m_process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }
    QByteArray firstLine()
    {
        while (!m_process.canReadLine() && m_process.waitForReadyRead(30'000)) {
        }
        return m_process.readLine().trimmed();
    }

private:
    QProcess m_process;
};

TEST_F(CloudStoreOnDiskTest, AnotherProcessIntegration)
{
    EXPECT_EQ(CloudPeer(root, {"save", hostB.toString(), "4", "1"}).outcomes(), QStringList{"ok"});
    EXPECT_EQ(save(hostA, 7), "anotherMac");
    ASSERT_TRUE(QFile::remove(recordFile()));

    // A save by the other process between our fetch and our save wins; ours is refused.
    ManualSleeper clientSleeper;
    CloudKitDatabaseClient client(std::make_shared<LocalDirectoryCloudDatabase>(root), clientSleeper);
    const auto fetchedRecord = waitForOutcome(client.fetchRecord(CloudSnapshotCodec::metadataKeys(), {}));
    ASSERT_TRUE(fetchedRecord.value && !*fetchedRecord.value);
    EXPECT_EQ(CloudPeer(root, {"save", hostA.toString(), "8", "1"}).outcomes(), QStringList{"ok"});
    const CloudSnapshotPayload payload = CloudSnapshotCodec::encode(snapshot(hostA, 9));
    const CloudTemporaryAsset asset(payload.data);
    const auto ours = waitForOutcome(client.saveRecord(CloudSnapshotCodec::record(payload, asset.url(), std::nullopt), {}));
    asset.remove();
    const auto item = CloudKitErrorMapper::itemError(ours.error);
    EXPECT_EQ(item ? item->code() : CloudKitError::Code{}, CloudKitError::Code::serverRecordChanged);
    EXPECT_EQ(test::errorName(CloudKitErrorMapper::map(ours.error)), "usage.olderSnapshot");

    // Fifty saves of one host from each process at once.
    LocalDirectoryCloudDatabase::Options options;
    open(options);
    CloudPeer racing(root, {"save", hostA.toString(), "10", "50"});
    QStringList outcomes;
    for (quint64 revision = 10; revision < 60; ++revision)
        outcomes.append(QString::fromStdString(save(hostA, revision, 1)));
    outcomes += racing.outcomes();
    EXPECT_EQ(outcomes.size(), 100);
    for (const QString& outcome : outcomes)
        EXPECT_TRUE(outcome == "ok" || outcome == "usage.olderSnapshot" || outcome == "retryLater(1)") << outcome.toStdString();
    EXPECT_TRUE(LocalCloudRecordFile::decode(test::readFileBytes(recordFile())));
    EXPECT_EQ(entries(folder() + "/records"), QStringList{"latest-usage-snapshot.json"});
    EXPECT_EQ(entries(folder() + "/assets").size(), 1);
    EXPECT_EQ(entries(temp.path()), QStringList());

    // While the other process holds the lock, a save is told to come back in a second.
    options.lockWaitSeconds = 0.05;
    open(options);
    CloudPeer holder(root, {"hold"});
    ASSERT_EQ(holder.firstLine(), "locked");
    EXPECT_EQ(save(hostA, 100), "retryLater(1)");
}

// The store against a container that answers only when told.
class CloudStoreRaceTest : public testing::Test
{
protected:
    void SetUp() override
    {
        cloud->onRequest = [this] {
            if (cloud->statusRequests.size() > statusAnswered) {
                ++statusAnswered;
                cloud->answerStatus(CloudAccountStatus::available);
            }
            if (cloud->identityRequests.size() > identityAnswered) {
                ++identityAnswered;
                cloud->answerIdentity(CloudRecordID{"_user"});
            }
        };
    }

    std::shared_ptr<FakeCloudContainer> cloud = std::make_shared<FakeCloudContainer>();
    qsizetype statusAnswered = 0;
    qsizetype identityAnswered = 0;
    ManualSleeper sleeper;
    CloudKitSnapshotStore store{std::make_shared<CloudKitDatabaseClient>(cloud, sleeper), nullptr};
};

TEST_F(CloudStoreRaceTest, CancelAndNewerOperationsWinOverLateAnswers)
{
    const CloudSnapshotPayload payload = CloudSnapshotCodec::encode(snapshot(hostA, 7));
    const CloudRecord record = CloudSnapshotCodec::record(payload, QUrl(), std::nullopt);
    const auto answer = [&] {
        drainEvents();
        cloud->report(CloudSnapshotCodec::recordID(), record);
        cloud->finish(nullptr);
        drainEvents();
    };
    const auto fetch = startTask(fetched(store, "_user"));
    answer();
    ASSERT_EQ(cloud->operations.size(), 2); // the metadata, then the payload
    store.cancel();
    answer();
    EXPECT_EQ(nameOf(*fetch), "cancelled");
    // Nothing was cached: the next fetch reads the payload again.
    const auto again = startTask(fetched(store, "_user"));
    answer();
    EXPECT_EQ(cloud->operations.size(), 4);

    const auto saving = startTask(test::named(store.saveSnapshot(snapshot(hostA, 8), "_user", {})));
    drainEvents();
    const auto account = startTask(store.accountIdentifier({}));
    drainEvents();
    EXPECT_EQ(nameOf(*saving), "cancelled");
    EXPECT_EQ(nameOf(*account), "_user");
}

} // namespace
} // namespace vantorel
