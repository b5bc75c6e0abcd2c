#include "sync/cloud/CloudSnapshotCodec.h"

#include "core/foundation/UuidText.h"
#include "sync/cloud/CloudSyncError.h"
#include "sync/model/SyncCoding.h"
#include "sync/model/SyncDigest.h"

#include <QFile>
#include <QLocale>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantorel {

namespace {

const QString schemaVersionKey = QStringLiteral("schemaVersion");
const QString isDeletedKey = QStringLiteral("isDeleted");
const QString hostIDKey = QStringLiteral("hostID");
const QString revisionKey = QStringLiteral("revision");
const QString digestKey = QStringLiteral("digest");
const QString byteCountKey = QStringLiteral("byteCount");

[[noreturn]] void invalidData()
{
    throw CloudSyncError(CloudSyncError::Code::invalidData);
}

bool isDigits(QStringView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// A number field: an integer, or a floating number whose text form is one (3.0 reads as 3, 2.5
// and 1e+20 fail). Booleans, texts and other kinds fail.
std::int64_t integer(const CloudRecordValue* value)
{
    QString text;
    if (const auto* whole = value ? std::get_if<std::int64_t>(value) : nullptr)
        text = QString::number(*whole);
    else if (const auto* real = value ? std::get_if<double>(value) : nullptr)
        text = QString::number(*real, 'g', QLocale::FloatingPointShortest);
    else
        invalidData();
    const QStringView digits = text.startsWith(u'+') || text.startsWith(u'-') ? QStringView(text).mid(1) : text;
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    if (!isDigits(digits) || !ok)
        invalidData();
    return number;
}

const QString* text(const CloudRecord& record, const QString& key)
{
    const CloudRecordValue* value = record.value(key);
    return value ? std::get_if<QString>(value) : nullptr;
}

void checkIdentity(const CloudRecord& record)
{
    if (record.recordType() != CloudSnapshotCodec::recordType || record.recordID() != CloudSnapshotCodec::recordID())
        invalidData();
}

CloudRecord copy(const std::optional<CloudRecord>& record)
{
    if (!record)
        return CloudRecord(CloudSnapshotCodec::recordType, CloudSnapshotCodec::recordID());
    checkIdentity(*record);
    return record->copy();
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { ::close(m_fd); }
    int get() const { return m_fd; }

private:
    int m_fd;
};

qsizetype readSome(int fd, char* into, qsizetype count)
{
    ssize_t got;
    do {
        got = ::read(fd, into, static_cast<size_t>(count));
    } while (got < 0 && errno == EINTR);
    return got;
}

// Refuses links, FIFOs and anything but a regular file of exactly `byteCount` bytes, and proves
// the end with a one-byte probe, since the file may grow while it is read.
QByteArray readAsset(const QUrl& url, std::int64_t byteCount, const CancelToken& token)
{
    if (!url.isLocalFile() || byteCount < 1 || byteCount > CloudSnapshotCodec::maximumPayloadBytes)
        invalidData();
    const QByteArray path = QFile::encodeName(url.toLocalFile());
    if (path.isEmpty())
        invalidData();
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        invalidData();
    const FileDescriptor file(fd);
    struct stat status{};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size != byteCount)
        invalidData();
    QByteArray data(static_cast<qsizetype>(byteCount), Qt::Uninitialized);
    qsizetype collected = 0;
    while (collected < byteCount) {
        token.throwIfCancelled();
        const qsizetype got = readSome(file.get(), data.data() + collected,
                                       std::min<qsizetype>(byteCount - collected, CloudSnapshotCodec::readChunkBytes));
        if (got <= 0)
            invalidData();
        collected += got;
    }
    char probe;
    if (readSome(file.get(), &probe, 1) != 0)
        invalidData();
    return data;
}

} // namespace

const CloudRecordID& CloudSnapshotCodec::recordID()
{
    static const CloudRecordID id{QStringLiteral("latest-usage-snapshot")};
    return id;
}

const QStringList& CloudSnapshotCodec::metadataKeys()
{
    static const QStringList keys{schemaVersionKey, isDeletedKey, hostIDKey, revisionKey, digestKey, byteCountKey};
    return keys;
}

QString CloudSnapshotCodec::digest(const QByteArray& data)
{
    return QString::fromLatin1(SyncDigest::sha256(data).toHex());
}

CloudSnapshotPayload CloudSnapshotCodec::encode(const UsageSyncSnapshot& snapshot)
{
    snapshot.validate();
    QByteArray data;
    try {
        data = SyncCoding::encode(snapshot);
    } catch (...) {
        invalidData();
    }
    if (data.isEmpty() || data.size() > maximumPayloadBytes)
        invalidData();
    CloudSnapshotMetadata metadata{snapshot.hostID, snapshot.revision, digest(data), data.size()};
    return CloudSnapshotPayload{std::move(data), std::move(metadata)};
}

std::optional<CloudSnapshotMetadata> CloudSnapshotCodec::metadata(const CloudRecord& record)
{
    checkIdentity(record);
    if (integer(record.value(schemaVersionKey)) != UsageSyncSnapshot::currentSchemaVersion)
        throw UsageSyncError(UsageSyncError::Code::unsupportedVersion);
    const std::int64_t isDeleted = integer(record.value(isDeletedKey));
    if (isDeleted == 1) {
        for (const QString& key : {hostIDKey, revisionKey, digestKey, byteCountKey, payloadKey}) {
            if (record.value(key))
                invalidData();
        }
        return std::nullopt;
    }
    if (isDeleted != 0)
        invalidData();

    const QString* host = text(record, hostIDKey);
    const auto hostID = host && host->toUtf8().size() == 36 ? parseUuidStrict(*host) : std::nullopt;
    if (!hostID)
        invalidData();

    const QString* revisionText = text(record, revisionKey);
    if (!revisionText || revisionText->toUtf8().size() > 20 || !isDigits(*revisionText))
        invalidData();
    bool ok = false;
    const std::uint64_t revision = revisionText->toULongLong(&ok);
    if (!ok || QString::number(revision) != *revisionText)
        invalidData();

    const QString* digestText = text(record, digestKey);
    const auto isLowerHex = [](QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); };
    if (!digestText || digestText->size() != 64 || !std::all_of(digestText->begin(), digestText->end(), isLowerHex))
        invalidData();

    const std::int64_t byteCount = integer(record.value(byteCountKey));
    if (byteCount < 1 || byteCount > maximumPayloadBytes)
        invalidData();
    return CloudSnapshotMetadata{*hostID, revision, *digestText, byteCount};
}

std::optional<UsageSyncSnapshot> CloudSnapshotCodec::decode(const CloudRecord& record, const CancelToken& token)
{
    const auto meta = metadata(record);
    if (!meta)
        return std::nullopt;
    const CloudRecordValue* payload = record.value(payloadKey);
    const auto* asset = payload ? std::get_if<CloudAsset>(payload) : nullptr;
    if (!asset || asset->fileURL.isEmpty())
        invalidData();
    return decode(readAsset(asset->fileURL, meta->byteCount, token), *meta);
}

UsageSyncSnapshot CloudSnapshotCodec::decode(const QByteArray& data, const CloudSnapshotMetadata& metadata)
{
    if (data.isEmpty() || data.size() > maximumPayloadBytes || data.size() != metadata.byteCount
        || digest(data) != metadata.digest)
        invalidData();
    UsageSyncSnapshot snapshot;
    try {
        snapshot = SyncCoding::decode<UsageSyncSnapshot>(data);
    } catch (...) {
        invalidData();
    }
    snapshot.validate();
    if (snapshot.hostID != metadata.hostID || snapshot.revision != metadata.revision)
        invalidData();
    return snapshot;
}

bool CloudSnapshotCodec::shouldSave(const CloudSnapshotMetadata& next, const std::optional<CloudSnapshotMetadata>& stored)
{
    if (!stored)
        return true;
    if (next.hostID != stored->hostID)
        throw CloudSyncError(CloudSyncError::Code::anotherMac);
    if (next.revision > stored->revision)
        return true;
    if (next.revision == stored->revision && next.digest == stored->digest && next.byteCount == stored->byteCount)
        return false;
    throw UsageSyncError(UsageSyncError::Code::olderSnapshot);
}

CloudRecord CloudSnapshotCodec::record(const CloudSnapshotPayload& payload, const QUrl& assetURL,
                                       const std::optional<CloudRecord>& replacing)
{
    CloudRecord record = copy(replacing);
    for (const QString& key : record.allKeys())
        record.setValue(key, std::nullopt);
    const CloudSnapshotMetadata& meta = payload.metadata;
    record.setValue(schemaVersionKey, std::int64_t{UsageSyncSnapshot::currentSchemaVersion});
    record.setValue(isDeletedKey, std::int64_t{0});
    record.setValue(hostIDKey, uuidText(meta.hostID).toLower());
    record.setValue(revisionKey, QString::number(meta.revision));
    record.setValue(digestKey, meta.digest);
    record.setValue(byteCountKey, meta.byteCount);
    record.setValue(payloadKey, CloudAsset{assetURL});
    return record;
}

CloudRecord CloudSnapshotCodec::tombstone(const CloudRecord& replacing)
{
    CloudRecord record = copy(replacing);
    QStringList keys = record.allKeys() + metadataKeys();
    keys.append(payloadKey);
    keys.removeDuplicates();
    for (const QString& key : keys)
        record.setValue(key, std::nullopt);
    record.setValue(schemaVersionKey, std::int64_t{UsageSyncSnapshot::currentSchemaVersion});
    record.setValue(isDeletedKey, std::int64_t{1});
    return record;
}

} // namespace vantorel
