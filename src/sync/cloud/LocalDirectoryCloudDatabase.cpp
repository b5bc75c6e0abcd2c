#include "sync/cloud/LocalDirectoryCloudDatabase.h"

#include "core/foundation/AppDiagnostics.h"
#include "core/foundation/UuidText.h"
#include "sync/cloud/CloudFetchRecordsOperation.h"
#include "sync/cloud/CloudKitError.h"
#include "sync/cloud/CloudModifyRecordsOperation.h"
#include "sync/cloud/CloudSyncError.h"
#include "sync/cloud/LocalCloudRecordFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QUuid>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace vantorel {

namespace {

using CloudKitCode = CloudKitError::Code;
using Directory = LocalCloudFiles::Directory;
using FileContent = LocalCloudFiles::FileContent;
using Stored = LocalCloudRecordFile;

const QString accountFileName = QStringLiteral("account");
const QString recordsFolderName = QStringLiteral("records");
const QString assetsFolderName = QStringLiteral("assets");
const QString lockFileName = QStringLiteral("lock");
const QString scratchFolderName = QStringLiteral("tmp");
const QString recordSuffix = QStringLiteral(".json");
const QString temporaryMarker = QStringLiteral(".tmp-");
// Attempts at making this instance's scratch folder while another process clears leftovers.
constexpr int scratchAttempts = 3;

std::exception_ptr ckError(CloudKitCode code, CloudKitError::RetryAfter retryAfter = {})
{
    return std::make_exception_ptr(CloudKitError(code, std::move(retryAfter)));
}

// Out of space counts as the quota, refused access as a permission failure, and everything else
// as the service being unavailable, with no hint of when to retry.
CloudKitError fileFailure(int errorNumber)
{
    switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
        return CloudKitError(CloudKitCode::quotaExceeded);
    case EACCES:
    case EPERM:
    case EROFS:
        return CloudKitError(CloudKitCode::permissionFailure);
    default:
        return CloudKitError(CloudKitCode::serviceUnavailable);
    }
}

// A link, or an entry of the wrong kind, where the layout wants a folder or a file.
bool isWrongKind(int errorNumber)
{
    return errorNumber == ELOOP || errorNumber == ENOTDIR || errorNumber == EISDIR || errorNumber == EINVAL;
}

[[noreturn]] void failDamaged(const QString& path)
{
    AppDiagnostics::log(QStringLiteral("cloud.folder.damaged path=") + path);
    throw CloudSyncError::damagedLocalEntry(path);
}

// A private copy of an asset handed out with a fetched record; it goes with the last copy of
// that record.
class HandedOutAsset
{
public:
    explicit HandedOutAsset(QString directory)
        : m_directory(std::move(directory))
    {
    }
    HandedOutAsset(const HandedOutAsset&) = delete;
    HandedOutAsset& operator=(const HandedOutAsset&) = delete;
    ~HandedOutAsset() { LocalCloudFiles().removeTree(m_directory); }

private:
    QString m_directory;
};

struct Account
{
    CloudAccountStatus status = CloudAccountStatus::noAccount;
    QString name;
    std::optional<Directory> root;
};

// An account's folders, opened without following links.
struct AccountFolder
{
    Directory folder;
    Directory records;
    Directory assets;
};

} // namespace

class LocalDirectoryCloudDatabase::Worker
{
public:
    Worker(QString root, Options options)
        : m_root(std::move(root))
        , m_options(std::move(options))
        , m_files(m_options.fault)
        , m_scratchName(uuidText(QUuid::createUuid()))
    {
    }

    ~Worker()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    void post(std::function<void()> work)
    {
        std::lock_guard lock(m_mutex);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { loop(); });
        m_queue.push_back(std::move(work));
        m_wake.notify_one();
    }

    QString scratchPath() const { return join(join(m_root, scratchFolderName), m_scratchName); }

    void answerStatus(const StatusCompletion& completion)
    {
        try {
            const Account account = readAccount(true);
            completion(account.status, nullptr);
        } catch (const CloudSyncError&) {
            completion(CloudAccountStatus::couldNotDetermine, std::current_exception());
        }
    }

    void answerUserRecordID(const UserRecordIDCompletion& completion)
    {
        try {
            const Account account = readAccount(false);
            if (account.status == CloudAccountStatus::couldNotDetermine)
                completion(std::nullopt, ckError(CloudKitCode::serviceUnavailable));
            else if (account.status == CloudAccountStatus::available)
                completion(CloudRecordID{account.name}, nullptr);
            else
                completion(std::nullopt, nullptr);
        } catch (const CloudSyncError&) {
            completion(std::nullopt, std::current_exception());
        }
    }

    void run(const std::shared_ptr<CloudDatabaseOperation>& operation)
    {
        std::exception_ptr result;
        try {
            if (operation->isCancelled())
                std::rethrow_exception(ckError(CloudKitCode::operationCancelled));
            const Account account = readAccount(false);
            if (account.status == CloudAccountStatus::couldNotDetermine)
                std::rethrow_exception(ckError(CloudKitCode::serviceUnavailable));
            if (account.status != CloudAccountStatus::available)
                std::rethrow_exception(ckError(CloudKitCode::notAuthenticated));
            const AccountFolder folder = openAccount(*account.root, account.name);
            if (const auto fetch = std::dynamic_pointer_cast<CloudFetchRecordsOperation>(operation))
                this->fetch(*fetch, folder);
            else if (const auto modify = std::dynamic_pointer_cast<CloudModifyRecordsOperation>(operation))
                this->modify(*modify, folder);
            else
                std::rethrow_exception(ckError(CloudKitCode::invalidArguments));
        } catch (const CloudKitError&) {
            result = std::current_exception();
        } catch (const CloudSyncError&) {
            result = std::current_exception();
        } catch (const LocalCloudFileError& failure) {
            result = std::make_exception_ptr(fileFailure(failure.errorNumber));
        } catch (...) {
            result = ckError(CloudKitCode::serviceUnavailable);
        }
        operation->reportResult(result);
        if (operation->completionBlock)
            operation->completionBlock();
    }

private:
    static QString join(const QString& directory, const QString& name)
    {
        return directory + QLatin1Char('/') + name;
    }

    void loop()
    {
        for (;;) {
            std::function<void()> work;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
                if (m_stopping)
                    return;
                work = std::move(m_queue.front());
                m_queue.pop_front();
            }
            work();
        }
    }

    // The folder and its account appear together, through a rename, so another process never
    // sees a folder without its account.
    void createFolder()
    {
        QDir().mkpath(QFileInfo(m_root).path());
        const QString staging = m_root + QStringLiteral(".new-") + uuidText(QUuid::createUuid());
        m_files.makeDirectory(staging, true);
        const auto discard = qScopeGuard([&] { m_files.removeTree(staging); });
        m_files.write(join(staging, accountFileName), freshAccountName());
        try {
            m_files.rename(staging, m_root);
        } catch (const LocalCloudFileError& failure) {
            // Another process made the folder first.
            if (failure.errorNumber != EEXIST && failure.errorNumber != ENOTEMPTY)
                throw;
        }
    }

    // The account file must hold an account name and nothing else. One that does not is moved
    // aside and reported, never taken for a signed-out or another account; a link or a folder
    // in its place is only reported.
    Account readAccount(bool createFolderIfMissing)
    {
        Account account;
        std::optional<FileContent> content;
        try {
            if (createFolderIfMissing && !QFileInfo::exists(m_root))
                createFolder();
            account.root = m_files.openDirectory(m_root);
            if (!account.root)
                return account;
            start(*account.root);
            content = readAccountFile(*account.root);
            if (content && !namesAccount(*content))
                content = recheckDamagedAccount(*account.root, *content);
        } catch (const LocalCloudFileError& failure) {
            if (account.root && isWrongKind(failure.errorNumber))
                failDamaged(account.root->pathOf(accountFileName));
            account.status = CloudAccountStatus::couldNotDetermine;
            return account;
        }
        if (!content)
            return account;
        // Still changing: the next call reads it again.
        if (!namesAccount(*content)) {
            account.status = CloudAccountStatus::couldNotDetermine;
            return account;
        }
        account.status = CloudAccountStatus::available;
        account.name = QString::fromLatin1(*content->bytes);
        return account;
    }

    std::optional<FileContent> readAccountFile(const Directory& root) const
    {
        return m_files.readContent(root, accountFileName, LocalDirectoryCloudDatabase::maximumAccountBytes);
    }

    static bool namesAccount(const FileContent& content)
    {
        return content.bytes && LocalDirectoryCloudDatabase::isAccountName(*content.bytes);
    }

    // Damage is replaced only once it lasts: another process rewriting the file in place (cp, an
    // editor, a file-sync tool) shows it empty or half-written for a moment, and replacing that
    // would sign a valid account out. Under the root folder's lock, which other databases replacing
    // it take too, the file is read again after a pause; it is replaced only when it is still the
    // same file with the same bytes, and otherwise what it holds now is the answer. Throws the
    // damage once the file is replaced.
    std::optional<FileContent> recheckDamagedAccount(const Directory& root, const FileContent& damaged)
    {
        const auto lock = m_files.lockFolder(root, m_options.lockWaitSeconds, [this] { return m_stopping.load(); });
        // Another database is at it: the damage read stands for now, which names no account.
        if (!lock)
            return damaged;
        pause(LocalDirectoryCloudDatabase::damagedAccountRecheckSeconds);
        std::optional<FileContent> again = readAccountFile(root);
        if (again == damaged && !m_stopping)
            replaceDamagedAccount(root, damaged.stamp);
        return again;
    }

    void pause(double seconds)
    {
        if (m_options.pause) {
            m_options.pause(seconds);
            return;
        }
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return m_stopping.load(); });
    }

    static QByteArray freshAccountName()
    {
        return (QLatin1Char('_') + QUuid::createUuid().toString(QUuid::Id128)).toLatin1();
    }

    // Moving a damaged account file aside would otherwise sign the folder out for good (a missing
    // file is a sign-out): a fresh account takes its place at once, as on first use, so the next
    // call, in this process or after a restart, reads it and callers holding the old account see
    // an account change. This call still reports the damage. Returns, replacing nothing, when
    // the file is no longer the one `damaged` was taken of.
    void replaceDamagedAccount(const Directory& root, const LocalCloudFiles::FileStamp& damaged)
    {
        const QString path = root.pathOf(accountFileName);
        const MoveAside moved = moveAside(root, accountFileName, damaged);
        if (moved == MoveAside::changedMeanwhile)
            return;
        if (moved == MoveAside::moved) {
            try {
                m_files.write(root, accountFileName, freshAccountName());
                AppDiagnostics::log(QStringLiteral("cloud.account.created path=") + path);
            } catch (const LocalCloudFileError& failure) {
                AppDiagnostics::log(QStringLiteral("cloud.account.createFailed errno=")
                                    + QString::number(failure.errorNumber));
            }
        }
        failDamaged(path);
    }

    // A folder of the layout; a link or a file in its place fails the operation, naming it.
    Directory layoutFolder(const Directory& parent, const QString& name)
    {
        try {
            return std::move(*m_files.subdirectory(parent, name, true));
        } catch (const LocalCloudFileError& failure) {
            if (isWrongKind(failure.errorNumber))
                failDamaged(parent.pathOf(name));
            throw;
        }
    }

    // Once per database, when the root exists: makes this instance's scratch folder, locked for
    // as long as the database lives, and removes those of instances that ended without clearing
    // theirs (a lock nobody holds). Payload files of a save and fetched asset copies go there,
    // on the same file system as the records.
    void start(const Directory& root)
    {
        if (m_scratch)
            return;
        std::optional<Directory> scratchParent;
        try {
            scratchParent = m_files.subdirectory(root, scratchFolderName, true);
        } catch (const LocalCloudFileError& failure) {
            if (isWrongKind(failure.errorNumber))
                failDamaged(root.pathOf(scratchFolderName));
            AppDiagnostics::log(QStringLiteral("cloud.scratch.failed errno=") + QString::number(failure.errorNumber));
            return;
        }
        try {
            for (const QString& name : m_files.list(*scratchParent)) {
                if (name == m_scratchName)
                    continue;
                const auto leftover = openQuietly(*scratchParent, name);
                if (!leftover || m_files.tryLock(*leftover)) {
                    m_files.removeTree(*scratchParent, name);
                    AppDiagnostics::log(QStringLiteral("cloud.scratch.removed path=") + scratchParent->pathOf(name));
                }
            }
            for (int attempt = 0; attempt < scratchAttempts && !m_scratch; ++attempt) {
                m_files.makeDirectory(*scratchParent, m_scratchName);
                auto scratch = openQuietly(*scratchParent, m_scratchName);
                // Another process clearing leftovers may have taken or removed it meanwhile.
                if (scratch && m_files.tryLock(*scratch) && stillLinked(*scratchParent, *scratch))
                    m_scratch.emplace(std::move(*scratch));
            }
        } catch (const LocalCloudFileError& failure) {
            AppDiagnostics::log(QStringLiteral("cloud.scratch.failed errno=") + QString::number(failure.errorNumber));
        }
    }

    std::optional<Directory> openQuietly(const Directory& parent, const QString& name) const
    {
        try {
            return m_files.subdirectory(parent, name, false);
        } catch (const LocalCloudFileError&) {
            return std::nullopt;
        }
    }

    bool stillLinked(const Directory& parent, const Directory& folder) const
    {
        struct stat opened{};
        struct stat named{};
        return ::fstat(folder.fd(), &opened) == 0
            && ::fstatat(parent.fd(), QFile::encodeName(m_scratchName).constData(), &named, AT_SYMLINK_NOFOLLOW) == 0
            && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
    }

    AccountFolder openAccount(const Directory& root, const QString& name)
    {
        Directory folder = layoutFolder(root, name);
        Directory records = layoutFolder(folder, recordsFolderName);
        Directory assets = layoutFolder(folder, assetsFolderName);
        return AccountFolder{std::move(folder), std::move(records), std::move(assets)};
    }

    LocalCloudFiles::Lock lockAccount(const AccountFolder& folder, const CloudDatabaseOperation& operation)
    {
        auto lock = [&] {
            try {
                return m_files.lock(folder.folder, lockFileName, m_options.lockWaitSeconds,
                                    [&] { return operation.isCancelled() || m_stopping; });
            } catch (const LocalCloudFileError& failure) {
                if (isWrongKind(failure.errorNumber))
                    failDamaged(folder.folder.pathOf(lockFileName));
                throw;
            }
        }();
        if (!lock) {
            if (operation.isCancelled())
                std::rethrow_exception(ckError(CloudKitCode::operationCancelled));
            std::rethrow_exception(ckError(CloudKitCode::requestRateLimited, 1.0));
        }
        return std::move(*lock);
    }

    // A record file that cannot be read as a record of that name is moved aside and reads as no
    // record, so one damaged file never blocks the account for good.
    std::optional<Stored> load(const AccountFolder& folder, const QString& name)
    {
        const QString file = name + recordSuffix;
        std::optional<QByteArray> bytes;
        try {
            bytes = m_files.read(folder.records, file, Stored::maximumBytes);
        } catch (const LocalCloudFileError& failure) {
            if (failure.errorNumber != EFBIG && failure.errorNumber != EINVAL && failure.errorNumber != ELOOP)
                throw;
            moveAside(folder.records, file);
            return std::nullopt;
        }
        if (!bytes)
            return std::nullopt;
        auto record = Stored::decode(*bytes);
        if (!record || record->recordName != name) {
            moveAside(folder.records, file);
            return std::nullopt;
        }
        return record;
    }

    enum class MoveAside { moved, changedMeanwhile, failed };

    // Renames the entry itself (a link stays a link) to "<name>.damaged-<time>-<random>"; with
    // `unchangedSince`, only while the name still holds that file, unwritten.
    MoveAside moveAside(const Directory& directory, const QString& name,
                        const std::optional<LocalCloudFiles::FileStamp>& unchangedSince = std::nullopt)
    {
        const QString aside = name + QStringLiteral(".damaged-")
            + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'-"))
            + QUuid::createUuid().toString(QUuid::Id128).left(8);
        const QString path = directory.pathOf(name);
        try {
            if (!unchangedSince)
                m_files.rename(directory, name, aside);
            else if (!m_files.renameIfUnchanged(directory, name, aside, *unchangedSince))
                return MoveAside::changedMeanwhile;
            AppDiagnostics::log(QStringLiteral("cloud.record.damaged path=") + path + QStringLiteral(" movedTo=")
                                + directory.pathOf(aside));
            return MoveAside::moved;
        } catch (const LocalCloudFileError& failure) {
            AppDiagnostics::log(QStringLiteral("cloud.record.damaged path=") + path + QStringLiteral(" moveFailed errno=")
                                + QString::number(failure.errorNumber));
            return MoveAside::failed;
        }
    }

    CloudAsset handOut(const AccountFolder& folder, const QUuid& asset)
    {
        const auto bytes = m_files.read(folder.assets, uuidText(asset), maximumAssetBytes);
        if (!bytes)
            std::rethrow_exception(ckError(CloudKitCode::assetFileNotFound));
        if (!m_scratch)
            std::rethrow_exception(ckError(CloudKitCode::serviceUnavailable));
        const QString name = QStringLiteral("vantorel-cloud-fetch-") + uuidText(QUuid::createUuid());
        m_files.makeDirectory(*m_scratch, name, true);
        auto keeper = std::make_shared<HandedOutAsset>(m_scratch->pathOf(name));
        const auto copy = m_files.subdirectory(*m_scratch, name, false);
        if (!copy)
            std::rethrow_exception(ckError(CloudKitCode::serviceUnavailable));
        m_files.write(*copy, uuidText(asset), *bytes);
        return CloudAsset{QUrl::fromLocalFile(copy->pathOf(uuidText(asset))), std::move(keeper)};
    }

    CloudRecord toRecord(const Stored& stored, const CloudRecordID& id, const std::optional<QStringList>& keys,
                         const AccountFolder& folder)
    {
        CloudRecord record(stored.recordType, id);
        for (auto it = stored.fields.cbegin(); it != stored.fields.cend(); ++it) {
            if (keys && !keys->contains(it.key()))
                continue;
            std::visit(
                [&](const auto& value) {
                    if constexpr (std::is_same_v<std::decay_t<decltype(value)>, QUuid>)
                        record.setValue(it.key(), handOut(folder, value));
                    else
                        record.setValue(it.key(), value);
                },
                it.value());
        }
        record.setRecordChangeTag(stored.changeTag);
        record.clearChangedKeys();
        return record;
    }

    void fetch(const CloudFetchRecordsOperation& operation, const AccountFolder& folder)
    {
        CloudKitError::PartialErrors errors;
        const auto reportError = [&](const CloudRecordID& id, CloudKitCode code) {
            errors.insert(id, ckError(code));
            operation.reportRecord(id, errors.value(id));
        };
        const auto lock = lockAccount(folder, operation);
        for (const CloudRecordID& id : operation.recordIDs) {
            if (!isValidRecordName(id.recordName) || id.zoneName != CloudRecordID::defaultZoneName) {
                reportError(id, CloudKitCode::invalidArguments);
            } else if (const auto stored = load(folder, id.recordName)) {
                operation.reportRecord(id, toRecord(*stored, id, operation.desiredKeys, folder));
            } else {
                reportError(id, CloudKitCode::unknownItem);
            }
        }
        if (!errors.isEmpty())
            throw CloudKitError(CloudKitCode::partialFailure, {}, errors);
    }

    // Copies the caller's file in under a fresh name; `copied` collects it for removal on failure.
    QUuid copyIn(const CloudAsset& asset, const AccountFolder& folder, QList<QUuid>& copied)
    {
        const auto bytes = asset.fileURL.isLocalFile() ? m_files.read(asset.fileURL.toLocalFile(), maximumAssetBytes)
                                                       : std::nullopt;
        if (!bytes)
            std::rethrow_exception(ckError(CloudKitCode::assetFileNotFound));
        const QUuid name = QUuid::createUuid();
        copied.append(name);
        m_files.write(folder.assets, uuidText(name), *bytes);
        return name;
    }

    // The bytes the account holds once `next` replaces the record of its name.
    qint64 accountBytes(const AccountFolder& folder, const Stored& next)
    {
        const auto recordBytes = [&](const Stored& record) {
            qint64 bytes = record.encode().size();
            for (const QUuid& asset : record.assets())
                bytes += m_files.fileSize(folder.assets, uuidText(asset));
            return bytes;
        };
        qint64 total = recordBytes(next);
        for (const QString& file : m_files.list(folder.records)) {
            const QString name = file.chopped(recordSuffix.size());
            if (file.endsWith(recordSuffix) && name != next.recordName) {
                if (const auto other = load(folder, name))
                    total += recordBytes(*other);
            }
        }
        return total;
    }

    // Removes asset files no record refers to, and temporaries that a crashed writer left.
    void sweep(const AccountFolder& folder)
    {
        QList<QUuid> referenced;
        for (const QString& file : m_files.list(folder.records)) {
            if (file.contains(temporaryMarker)) {
                m_files.remove(folder.records, file);
            } else if (file.endsWith(recordSuffix)) {
                if (const auto record = load(folder, file.chopped(recordSuffix.size())))
                    referenced += record->assets();
            }
        }
        for (const QString& file : m_files.list(folder.assets)) {
            const auto asset = parseUuidStrict(file);
            if (!asset || !referenced.contains(*asset))
                m_files.remove(folder.assets, file);
        }
    }

    void modify(const CloudModifyRecordsOperation& operation, const AccountFolder& folder)
    {
        if (!operation.recordIDsToDelete.isEmpty())
            std::rethrow_exception(ckError(CloudKitCode::invalidArguments));
        CloudKitError::PartialErrors errors;
        for (const CloudRecord& record : operation.recordsToSave) {
            const CloudRecordID& id = record.recordID();
            if (!isValidRecordName(id.recordName) || id.zoneName != CloudRecordID::defaultZoneName)
                errors.insert(id, ckError(CloudKitCode::invalidArguments));
        }
        const auto lock = errors.isEmpty() ? std::optional(lockAccount(folder, operation)) : std::nullopt;
        QList<std::optional<Stored>> stored;
        for (const CloudRecord& record : errors.isEmpty() ? operation.recordsToSave : QList<CloudRecord>{}) {
            stored.append(load(folder, record.recordID().recordName));
            const auto storedTag = stored.last() ? std::optional(stored.last()->changeTag) : std::nullopt;
            if (operation.savePolicy == CloudModifyRecordsOperation::SavePolicy::ifServerRecordUnchanged
                && record.recordChangeTag() != storedTag)
                errors.insert(record.recordID(), ckError(CloudKitCode::serverRecordChanged));
        }
        if (!errors.isEmpty()) {
            for (auto it = errors.cbegin(); it != errors.cend(); ++it)
                operation.reportRecord(it.key(), it.value());
            throw CloudKitError(CloudKitCode::partialFailure, {}, errors);
        }
        if (operation.isCancelled())
            std::rethrow_exception(ckError(CloudKitCode::operationCancelled));

        QList<QUuid> copied;
        auto undo = qScopeGuard([&] {
            for (const QUuid& asset : copied)
                m_files.remove(folder.assets, uuidText(asset));
        });
        QList<Stored> written;
        for (qsizetype i = 0; i < operation.recordsToSave.size(); ++i) {
            const CloudRecord& record = operation.recordsToSave[i];
            Stored next = stored[i].value_or(Stored{{}, record.recordID().recordName, {}, {}});
            next.recordType = record.recordType();
            next.changeTag = uuidText(QUuid::createUuid());
            for (const QString& key : record.changedKeys()) {
                const CloudRecordValue* value = record.value(key);
                if (!value) {
                    next.fields.remove(key);
                    continue;
                }
                std::visit(
                    [&](const auto& v) {
                        if constexpr (std::is_same_v<std::decay_t<decltype(v)>, CloudAsset>)
                            next.fields.insert(key, copyIn(v, folder, copied));
                        else
                            next.fields.insert(key, v);
                    },
                    *value);
            }
            if (m_options.byteQuota && accountBytes(folder, next) > *m_options.byteQuota)
                std::rethrow_exception(ckError(CloudKitCode::quotaExceeded));
            QByteArray bytes;
            try {
                bytes = next.encode();
            } catch (...) {
                std::rethrow_exception(ckError(CloudKitCode::invalidArguments));
            }
            m_files.write(folder.records, next.recordName + recordSuffix, bytes);
            written.append(next);
        }
        undo.dismiss();
        sweep(folder);
        for (qsizetype i = 0; i < written.size(); ++i) {
            CloudRecord saved = operation.recordsToSave[i];
            saved.setRecordChangeTag(written[i].changeTag);
            saved.clearChangedKeys();
            operation.reportRecord(saved.recordID(), saved);
        }
    }

    const QString m_root;
    const Options m_options;
    const LocalCloudFiles m_files;
    const QString m_scratchName;
    // This instance's scratch folder, locked while open; worker thread only.
    std::optional<Directory> m_scratch;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

LocalDirectoryCloudDatabase::LocalDirectoryCloudDatabase(QString root)
    : LocalDirectoryCloudDatabase(std::move(root), Options())
{
}

LocalDirectoryCloudDatabase::LocalDirectoryCloudDatabase(QString root, Options options)
    : m_worker(std::make_unique<Worker>(std::move(root), std::move(options)))
{
}

LocalDirectoryCloudDatabase::~LocalDirectoryCloudDatabase() = default;

QString LocalDirectoryCloudDatabase::defaultRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Vantorel/cloud");
}

bool LocalDirectoryCloudDatabase::isAccountName(const QByteArray& bytes)
{
    static const QRegularExpression pattern(QStringLiteral("\\A_[0-9a-f]{32}\\z"));
    return pattern.match(QString::fromLatin1(bytes)).hasMatch();
}

QString LocalDirectoryCloudDatabase::temporaryDirectory() const
{
    return m_worker->scratchPath();
}

bool LocalDirectoryCloudDatabase::isValidRecordName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("\\A[A-Za-z0-9._-]{1,255}\\z"));
    return pattern.match(name).hasMatch();
}

void LocalDirectoryCloudDatabase::accountStatus(StatusCompletion completion)
{
    m_worker->post([worker = m_worker.get(), completion = std::move(completion)] { worker->answerStatus(completion); });
}

void LocalDirectoryCloudDatabase::fetchUserRecordID(UserRecordIDCompletion completion)
{
    m_worker->post(
        [worker = m_worker.get(), completion = std::move(completion)] { worker->answerUserRecordID(completion); });
}

void LocalDirectoryCloudDatabase::add(std::shared_ptr<CloudDatabaseOperation> operation)
{
    m_worker->post([worker = m_worker.get(), operation = std::move(operation)] { worker->run(operation); });
}

} // namespace vantorel
