#include "CloudTestSupport.h"
#include "../model/SyncModelFixtures.h"

#include "sync/cloud/CloudTemporaryAsset.h"
#include "sync/model/SyncCoding.h"
#include "support/QtPrinters.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace vantorel {
namespace {

using test::outcomeOf;
using Codec = CloudSnapshotCodec;
constexpr qsizetype limit = Codec::maximumPayloadBytes;

// A valid snapshot whose JSON is exactly `bytes` long: notification titles and bodies of
// four-byte emoji, topped up with ASCII.
UsageSyncSnapshot snapshotOfSize(qsizetype bytes)
{
    UsageSyncSnapshot snapshot = test::emptySnapshot();
    const QString emoji = QStringLiteral("😀");
    for (quint32 i = 0; i < UsageSyncSnapshot::maximumNotificationEntries; ++i)
        snapshot.notificationHistory.append({test::uuidNumber(i + 10), SyncProviderID::codex, QStringLiteral("c"),
                                             emoji.repeated(256), QString(), test::isoDate("2026-01-31T08:00:00Z")});
    qsizetype remaining = bytes - SyncCoding::encode(snapshot).size();
    for (auto& entry : snapshot.notificationHistory) {
        const qsizetype take = std::min<qsizetype>(remaining, 16'372);
        entry.body = emoji.repeated(take / 4) + QString(take % 4, u'a');
        remaining -= take;
    }
    return snapshot;
}

CloudRecord liveRecord(const CloudSnapshotMetadata& meta, const QUrl& asset = QUrl::fromLocalFile("/nonexistent"))
{
    return Codec::record(CloudSnapshotPayload{{}, meta}, asset, std::nullopt);
}

const CloudSnapshotMetadata sampleMetadata{test::hostA, 7, QString(64, u'a'), 100};

TEST(CloudSnapshotCodec, SizeLimitHoldsAtEveryCheck)
{
    for (const qsizetype size : {limit, limit + 1}) {
        const std::string expected = size == limit ? "ok" : "invalidData";
        SCOPED_TRACE(size);
        const UsageSyncSnapshot snapshot = snapshotOfSize(size);
        ASSERT_EQ(SyncCoding::encode(snapshot).size(), size);
        EXPECT_EQ(outcomeOf([&] { Codec::encode(snapshot); }), expected);
        EXPECT_EQ(outcomeOf([&] { CloudTemporaryAsset(QByteArray(size, 'x')).remove(); }), expected);
        CloudSnapshotMetadata meta = sampleMetadata;
        meta.byteCount = size;
        EXPECT_EQ(outcomeOf([&] { Codec::metadata(liveRecord(meta)); }), expected);
        const QByteArray data = SyncCoding::encode(snapshot);
        meta = {snapshot.hostID, snapshot.revision, Codec::digest(data), size};
        EXPECT_EQ(outcomeOf([&] { Codec::decode(data, meta); }), expected);
    }
    // The largest payload survives the whole way through a file and back.
    const CloudSnapshotPayload payload = Codec::encode(snapshotOfSize(limit));
    const CloudTemporaryAsset asset(payload.data);
    const auto decoded = Codec::decode(Codec::record(payload, asset.url(), std::nullopt), CancelToken());
    asset.remove();
    EXPECT_EQ(decoded, SyncCoding::decode<UsageSyncSnapshot>(payload.data));
}

TEST(CloudSnapshotCodec, MetadataIsStrict)
{
    using Value = std::optional<CloudRecordValue>;
    const auto text = [](const char* value) { return Value(QString::fromLatin1(value)); };
    const std::vector<std::pair<QString, Value>> tombstone{{"isDeleted", std::int64_t{1}}, {"hostID", {}},
        {"revision", {}}, {"digest", {}}, {"byteCount", {}}, {"payload", {}}};
    const struct
    {
        const char* key;
        Value value;
        std::string expected;
    } rows[] = {
        {"schemaVersion", std::int64_t{2}, "usage.unsupportedVersion"},
        {"schemaVersion", text("1"), "invalidData"},
        {"schemaVersion", true, "invalidData"},
        {"schemaVersion", 1.0, "ok"},
        {"schemaVersion", 1.5, "invalidData"},
        {"schemaVersion", {}, "invalidData"},
        {"isDeleted", std::int64_t{2}, "invalidData"},
        {"hostID", text("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"), "ok"},
        {"revision", text("0"), "ok"},
        {"revision", text("18446744073709551615"), "ok"},
        {"revision", text(""), "invalidData"},
        {"revision", text("00"), "invalidData"},
        {"revision", text("007"), "invalidData"},
        {"revision", text("+1"), "invalidData"},
        {"revision", text("-0"), "invalidData"},
        {"revision", text(" 1"), "invalidData"},
        {"revision", text("100000000000000000000"), "invalidData"},
        {"digest", QString(64, u'A'), "invalidData"},
        {"digest", QString(63, u'a'), "invalidData"},
        {"digest", QString(65, u'a'), "invalidData"},
        {"byteCount", std::int64_t{0}, "invalidData"},
        {"byteCount", std::int64_t{1}, "ok"},
        {"byteCount", std::int64_t{limit}, "ok"},
        {"byteCount", std::int64_t{limit + 1}, "invalidData"},
        // After the tombstone's own changes: nothing, or one leftover.
        {"schemaVersion", std::int64_t{1}, "tombstone"},
        {"digest", text("x"), "tombstone invalidData"},
    };
    for (const auto& row : rows) {
        const bool isTombstone = row.expected.starts_with("tombstone");
        CloudRecord record = liveRecord(sampleMetadata);
        for (const auto& [key, value] : isTombstone ? tombstone : decltype(tombstone){})
            record.setValue(key, value);
        record.setValue(row.key, row.value);
        std::optional<CloudSnapshotMetadata> read;
        std::string outcome = outcomeOf([&] { read = Codec::metadata(record); });
        if (outcome == "ok" && !read)
            outcome = "tombstone";
        else if (isTombstone)
            outcome = "tombstone " + outcome;
        EXPECT_EQ(outcome, row.expected) << row.key;
    }
    EXPECT_EQ(*liveRecord(sampleMetadata).value("hostID"), CloudRecordValue(test::hostA.toString(QUuid::WithoutBraces)));
    EXPECT_EQ(outcomeOf([] { Codec::metadata(CloudRecord("Other", Codec::recordID())); }), "invalidData");
}

TEST(CloudSnapshotCodec, ShouldSave)
{
    const auto meta = [](QUuid host, std::uint64_t revision, char digit, std::int64_t bytes) {
        return CloudSnapshotMetadata{host, revision, QString(64, QChar::fromLatin1(digit)), bytes};
    };
    const struct
    {
        std::optional<CloudSnapshotMetadata> stored;
        CloudSnapshotMetadata next;
        std::string expected;
    } rows[] = {
        {std::nullopt, meta(test::hostA, 0, 'a', 1), "true"},
        {meta(test::hostA, 4, 'a', 9), meta(test::hostA, 5, 'b', 8), "true"},
        {meta(test::hostA, 5, 'a', 9), meta(test::hostA, 5, 'a', 9), "false"},
        {meta(test::hostA, 5, 'a', 9), meta(test::hostA, 5, 'b', 9), "usage.olderSnapshot"},
        {meta(test::hostA, 5, 'a', 9), meta(test::hostA, 5, 'a', 8), "usage.olderSnapshot"},
        {meta(test::hostA, 5, 'a', 9), meta(test::hostA, 4, 'a', 9), "usage.olderSnapshot"},
        {meta(test::hostA, 0, 'a', 9), meta(test::hostB, 18'446'744'073'709'551'615ULL, 'a', 9), "anotherMac"},
        {meta(test::hostA, 5, 'a', 9), meta(test::hostB, 4, 'a', 9), "anotherMac"},
    };
    for (const auto& row : rows) {
        bool save = false;
        const std::string outcome = outcomeOf([&] { save = Codec::shouldSave(row.next, row.stored); });
        EXPECT_EQ(outcome == "ok" ? (save ? "true" : "false") : outcome, row.expected);
    }
}

TEST(CloudSnapshotCodec, TombstoneClearsUnfetchedKeysAndLeavesTheFetchedRecordAlone)
{
    CloudRecord fetched(Codec::recordType, Codec::recordID());
    fetched.setValue("schemaVersion", std::int64_t{1});
    fetched.setValue("isDeleted", std::int64_t{0});
    fetched.setValue("hostID", QStringLiteral("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
    fetched.setValue("extra", true);
    fetched.clearChangedKeys();
    const CloudRecord before = fetched;

    const CloudRecord tombstone = Codec::tombstone(fetched);
    EXPECT_EQ(tombstone.allKeys(), QStringList({"isDeleted", "schemaVersion"}));
    EXPECT_EQ(tombstone.changedKeys(), QStringList({"byteCount", "digest", "extra", "hostID", "isDeleted", "payload",
                                                    "revision", "schemaVersion"}));
    EXPECT_FALSE(Codec::metadata(tombstone));
    EXPECT_EQ(fetched, before);
    EXPECT_EQ(outcomeOf([] { Codec::tombstone(CloudRecord(Codec::recordType, {"other"})); }), "invalidData");
}

TEST(CloudSnapshotCodec, PayloadMustMatchItsMetadata)
{
    // The digest is SHA-256 over exactly the bytes the sync coder writes.
    EXPECT_EQ(Codec::digest("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Codec::digest({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Codec::digest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    const UsageSyncSnapshot snapshot = test::fullSnapshot();
    const CloudSnapshotPayload payload = Codec::encode(snapshot);
    EXPECT_EQ(payload.data, SyncCoding::encode(snapshot));
    EXPECT_EQ(payload.metadata.digest, Codec::digest(payload.data));

    QByteArray flipped = payload.data;
    flipped[10] = static_cast<char>(flipped[10] ^ 0x01);
    EXPECT_EQ(outcomeOf([&] { Codec::decode(flipped, payload.metadata); }), "invalidData");

    UsageSyncSnapshot other = test::emptySnapshot();
    const QByteArray otherData = SyncCoding::encode(other);
    const CloudSnapshotMetadata claimed{other.hostID, other.revision + 1, Codec::digest(otherData), otherData.size()};
    EXPECT_EQ(outcomeOf([&] { Codec::decode(otherData, claimed); }), "invalidData");
}

TEST(CloudSnapshotCodec, PayloadFilesAreRegularPrivateFilesOfTheStatedSize)
{
    QTemporaryDir dir;
    const QByteArray data = Codec::encode(test::emptySnapshot()).data;
    const CloudSnapshotMetadata meta = Codec::encode(test::emptySnapshot()).metadata;
    const QString good = dir.filePath("good");
    ASSERT_TRUE(test::writeFileBytes(good, data));
    ASSERT_TRUE(QFile::link(good, dir.filePath("link")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("directory"));
    ASSERT_TRUE(test::writeFileBytes(dir.filePath("short"), data.chopped(1)));
    ASSERT_TRUE(test::writeFileBytes(dir.filePath("long"), data + ' '));
    for (const char* name : {"good", "link", "fifo", "directory", "short", "long", "missing"}) {
        const CloudRecord record = liveRecord(meta, QUrl::fromLocalFile(dir.filePath(name)));
        EXPECT_EQ(outcomeOf([&] { Codec::decode(record, CancelToken()); }),
                  std::string(name) == "good" ? "ok" : "invalidData")
            << name;
    }
    CancelToken cancelled;
    cancelled.cancel();
    EXPECT_EQ(outcomeOf([&] { Codec::decode(liveRecord(meta, QUrl::fromLocalFile(good)), cancelled); }), "cancelled");

    // The payload file the store attaches: private, and gone without a trace.
    QTemporaryDir temp;
    const QByteArray savedTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", temp.path().toUtf8());
    const CloudTemporaryAsset asset("payload");
    const QString file = asset.url().toLocalFile();
    EXPECT_EQ(test::readFileBytes(file), "payload");
    EXPECT_EQ(test::fileMode(file), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QString directory = QFileInfo(file).path();
    EXPECT_EQ(test::fileMode(directory), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    asset.remove();
    EXPECT_TRUE(QDir(temp.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

    const QString plainFile = temp.filePath("not-a-directory");
    ASSERT_TRUE(test::writeFileBytes(plainFile, "x"));
    qputenv("TMPDIR", plainFile.toUtf8());
    EXPECT_EQ(outcomeOf([] { CloudTemporaryAsset("payload"); }), "unavailable");
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"not-a-directory"});
    if (savedTemp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", savedTemp);
}

} // namespace
} // namespace vantorel
