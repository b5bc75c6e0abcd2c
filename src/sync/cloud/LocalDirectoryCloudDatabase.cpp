#include "sync/cloud/LocalDirectoryCloudDatabase.h"

#include "core/foundation/AppDiagnostics.h"
#include "core/foundation/UuidText.h"
#include "sync/cloud/CloudFetchRecordsOperation.h"
#include "sync/cloud/CloudKitError.h"
#include "sync/cloud/CloudModifyRecordsOperation.h"
#include "sync/cloud/LocalCloudRecordFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QUuid>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace vantorel {

namespace {

using Code = CloudKitError::Code;
using Stored = LocalCloudRecordFile;

const QString accountFileName = QStringLiteral("account");
const QString recordSuffix = QStringLiteral(".json");
const QString temporaryMarker = QStringLiteral(".tmp-");

std::exception_ptr ckError(Code code, CloudKitError::RetryAfter retryAfter = {})
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
        return CloudKitError(Code::quotaExceeded);
    case EACCES:
    case EPERM:
    case EROFS:
        return CloudKitError(Code::permissionFailure);
    default:
        return CloudKitError(Code::serviceUnavailable);
    }
}

bool isAccountName(const QByteArray& bytes)
{
    static const QRegularExpression pattern(QStringLiteral("\\A_[0-9a-f]{32}\\z"));
    return pattern.match(QString::fromLatin1(bytes)).hasMatch();
}

QString join(const QString& directory, const QString& name)
{
    return directory + QLatin1Char('/') + name;
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
    ~HandedOutAsset() { QDir(m_directory).removeRecursively(); }

private:
    QString m_directory;
};

struct Account
{
    CloudAccountStatus status = CloudAccountStatus::noAccount;
    QString name;
};

} // namespace

class LocalDirectoryCloudDatabase::Worker
{
public:
    Worker(QString root, Options options)
        : m_root(std::move(root))
        , m_options(std::move(options))
        , m_files(m_options.fault)
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

    void answerStatus(const StatusCompletion& completion)
    {
        const Account account = readAccount(true);
        completion(account.status, nullptr);
    }

    void answerUserRecordID(const UserRecordIDCompletion& completion)
    {
        const Account account = readAccount(false);
        if (account.status == CloudAccountStatus::couldNotDetermine)
            completion(std::nullopt, ckError(Code::serviceUnavailable));
        else if (account.status == CloudAccountStatus::available)
            completion(CloudRecordID{account.name}, nullptr);
        else
            completion(std::nullopt, nullptr);
    }

    void run(const std::shared_ptr<CloudDatabaseOperation>& operation)
    {
        std::exception_ptr result;
        try {
            if (operation->isCancelled())
                std::rethrow_exception(ckError(Code::operationCancelled));
            const Account account = readAccount(false);
            if (account.status == CloudAccountStatus::couldNotDetermine)
                std::rethrow_exception(ckError(Code::serviceUnavailable));
            if (account.status != CloudAccountStatus::available)
                std::rethrow_exception(ckError(Code::notAuthenticated));
            const QString folder = join(m_root, account.name);
            if (const auto fetch = std::dynamic_pointer_cast<CloudFetchRecordsOperation>(operation))
                this->fetch(*fetch, folder);
            else if (const auto modify = std::dynamic_pointer_cast<CloudModifyRecordsOperation>(operation))
                this->modify(*modify, folder);
            else
                std::rethrow_exception(ckError(Code::invalidArguments));
        } catch (const CloudKitError&) {
            result = std::current_exception();
        } catch (const LocalCloudFileError& failure) {
            result = std::make_exception_ptr(fileFailure(failure.errorNumber));
        } catch (...) {
            result = ckError(Code::serviceUnavailable);
        }
        operation->reportResult(result);
        if (operation->completionBlock)
            operation->completionBlock();
    }

private:
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
        const QString name = QLatin1Char('_') + QUuid::createUuid().toString(QUuid::Id128);
        m_files.write(join(staging, accountFileName), name.toLatin1());
        try {
            m_files.rename(staging, m_root);
        } catch (const LocalCloudFileError& failure) {
            // Another process made the folder first.
            if (failure.errorNumber != EEXIST && failure.errorNumber != ENOTEMPTY)
                throw;
        }
    }

    Account readAccount(bool createFolderIfMissing)
    {
        try {
            if (createFolderIfMissing && !QFileInfo::exists(m_root))
                createFolder();
            const auto bytes = m_files.read(join(m_root, accountFileName), 64);
            if (!bytes || !isAccountName(*bytes))
                return {CloudAccountStatus::noAccount, {}};
            return {CloudAccountStatus::available, QString::fromLatin1(*bytes)};
        } catch (const LocalCloudFileError& failure) {
            // A link, a directory or an oversized file in its place is an account of another form.
            const int error = failure.errorNumber;
            const bool otherForm = error == ELOOP || error == EINVAL || error == EFBIG;
            return {otherForm ? CloudAccountStatus::noAccount : CloudAccountStatus::couldNotDetermine, {}};
        }
    }

    LocalCloudFiles::Lock lockAccount(const QString& folder, const CloudDatabaseOperation& operation)
    {
        m_files.makeDirectory(folder);
        m_files.makeDirectory(join(folder, QStringLiteral("records")));
        m_files.makeDirectory(join(folder, QStringLiteral("assets")));
        auto lock = m_files.lock(join(folder, QStringLiteral("lock")), m_options.lockWaitSeconds,
                                 [&] { return operation.isCancelled() || m_stopping; });
        if (!lock) {
            if (operation.isCancelled())
                std::rethrow_exception(ckError(Code::operationCancelled));
            std::rethrow_exception(ckError(Code::requestRateLimited, 1.0));
        }
        return std::move(*lock);
    }

    static QString recordPath(const QString& folder, const QString& name)
    {
        return join(join(folder, QStringLiteral("records")), name + recordSuffix);
    }

    static QString assetPath(const QString& folder, const QUuid& asset)
    {
        return join(join(folder, QStringLiteral("assets")), uuidText(asset));
    }

    // A record file that cannot be read as a record of that name is moved aside and reads as no
    // record, so one damaged file never blocks the account for good.
    std::optional<Stored> load(const QString& folder, const QString& name)
    {
        const QString path = recordPath(folder, name);
        std::optional<QByteArray> bytes;
        try {
            bytes = m_files.read(path, Stored::maximumBytes);
        } catch (const LocalCloudFileError& failure) {
            if (failure.errorNumber != EFBIG && failure.errorNumber != EINVAL && failure.errorNumber != ELOOP)
                throw;
            moveAside(path);
            return std::nullopt;
        }
        if (!bytes)
            return std::nullopt;
        auto record = Stored::decode(*bytes);
        if (!record || record->recordName != name) {
            moveAside(path);
            return std::nullopt;
        }
        return record;
    }

    void moveAside(const QString& path)
    {
        const QString aside = path + QStringLiteral(".damaged-")
            + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'-"))
            + QUuid::createUuid().toString(QUuid::Id128).left(8);
        try {
            m_files.rename(path, aside);
            AppDiagnostics::log(QStringLiteral("cloud.record.damaged path=") + path + QStringLiteral(" movedTo=") + aside);
        } catch (const LocalCloudFileError& failure) {
            AppDiagnostics::log(QStringLiteral("cloud.record.damaged path=") + path + QStringLiteral(" moveFailed errno=")
                                + QString::number(failure.errorNumber));
        }
    }

    CloudAsset handOut(const QString& folder, const QUuid& asset)
    {
        const auto bytes = m_files.read(assetPath(folder, asset), maximumAssetBytes);
        if (!bytes)
            std::rethrow_exception(ckError(Code::assetFileNotFound));
        const QString directory
            = join(QDir::tempPath(), QStringLiteral("vantorel-cloud-fetch-") + uuidText(QUuid::createUuid()));
        m_files.makeDirectory(directory, true);
        auto keeper = std::make_shared<HandedOutAsset>(directory);
        const QString path = join(directory, uuidText(asset));
        m_files.write(path, *bytes);
        return CloudAsset{QUrl::fromLocalFile(path), std::move(keeper)};
    }

    CloudRecord toRecord(const Stored& stored, const CloudRecordID& id, const std::optional<QStringList>& keys,
                         const QString& folder)
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

    void fetch(const CloudFetchRecordsOperation& operation, const QString& folder)
    {
        CloudKitError::PartialErrors errors;
        const auto reportError = [&](const CloudRecordID& id, Code code) {
            errors.insert(id, ckError(code));
            operation.reportRecord(id, errors.value(id));
        };
        const auto lock = lockAccount(folder, operation);
        for (const CloudRecordID& id : operation.recordIDs) {
            if (!isValidRecordName(id.recordName) || id.zoneName != CloudRecordID::defaultZoneName) {
                reportError(id, Code::invalidArguments);
            } else if (const auto stored = load(folder, id.recordName)) {
                operation.reportRecord(id, toRecord(*stored, id, operation.desiredKeys, folder));
            } else {
                reportError(id, Code::unknownItem);
            }
        }
        if (!errors.isEmpty())
            throw CloudKitError(Code::partialFailure, {}, errors);
    }

    // Copies the caller's file in under a fresh name; `copied` collects it for removal on failure.
    QUuid copyIn(const CloudAsset& asset, const QString& folder, QList<QUuid>& copied)
    {
        const auto bytes = asset.fileURL.isLocalFile() ? m_files.read(asset.fileURL.toLocalFile(), maximumAssetBytes)
                                                       : std::nullopt;
        if (!bytes)
            std::rethrow_exception(ckError(Code::assetFileNotFound));
        const QUuid name = QUuid::createUuid();
        copied.append(name);
        m_files.write(assetPath(folder, name), *bytes);
        return name;
    }

    // The bytes the account holds once `next` replaces the record of its name.
    qint64 accountBytes(const QString& folder, const Stored& next)
    {
        const auto recordBytes = [&](const Stored& record) {
            qint64 bytes = record.encode().size();
            for (const QUuid& asset : record.assets())
                bytes += QFileInfo(assetPath(folder, asset)).size();
            return bytes;
        };
        qint64 total = recordBytes(next);
        for (const QString& file : m_files.list(join(folder, QStringLiteral("records")))) {
            const QString name = file.chopped(recordSuffix.size());
            if (file.endsWith(recordSuffix) && name != next.recordName) {
                if (const auto other = load(folder, name))
                    total += recordBytes(*other);
            }
        }
        return total;
    }

    // Removes asset files no record refers to, and temporaries that a crashed writer left.
    void sweep(const QString& folder)
    {
        const QString records = join(folder, QStringLiteral("records"));
        QList<QUuid> referenced;
        for (const QString& file : m_files.list(records)) {
            if (file.contains(temporaryMarker)) {
                m_files.remove(join(records, file));
            } else if (file.endsWith(recordSuffix)) {
                if (const auto record = load(folder, file.chopped(recordSuffix.size())))
                    referenced += record->assets();
            }
        }
        const QString assets = join(folder, QStringLiteral("assets"));
        for (const QString& file : m_files.list(assets)) {
            const auto asset = parseUuidStrict(file);
            if (!asset || !referenced.contains(*asset))
                m_files.remove(join(assets, file));
        }
    }

    void modify(const CloudModifyRecordsOperation& operation, const QString& folder)
    {
        if (!operation.recordIDsToDelete.isEmpty())
            std::rethrow_exception(ckError(Code::invalidArguments));
        CloudKitError::PartialErrors errors;
        for (const CloudRecord& record : operation.recordsToSave) {
            const CloudRecordID& id = record.recordID();
            if (!isValidRecordName(id.recordName) || id.zoneName != CloudRecordID::defaultZoneName)
                errors.insert(id, ckError(Code::invalidArguments));
        }
        const auto lock = errors.isEmpty() ? std::optional(lockAccount(folder, operation)) : std::nullopt;
        QList<std::optional<Stored>> stored;
        for (const CloudRecord& record : errors.isEmpty() ? operation.recordsToSave : QList<CloudRecord>{}) {
            stored.append(load(folder, record.recordID().recordName));
            const auto storedTag = stored.last() ? std::optional(stored.last()->changeTag) : std::nullopt;
            if (operation.savePolicy == CloudModifyRecordsOperation::SavePolicy::ifServerRecordUnchanged
                && record.recordChangeTag() != storedTag)
                errors.insert(record.recordID(), ckError(Code::serverRecordChanged));
        }
        if (!errors.isEmpty()) {
            for (auto it = errors.cbegin(); it != errors.cend(); ++it)
                operation.reportRecord(it.key(), it.value());
            throw CloudKitError(Code::partialFailure, {}, errors);
        }
        if (operation.isCancelled())
            std::rethrow_exception(ckError(Code::operationCancelled));

        QList<QUuid> copied;
        auto undo = qScopeGuard([&] {
            for (const QUuid& asset : copied)
                m_files.remove(assetPath(folder, asset));
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
                std::rethrow_exception(ckError(Code::quotaExceeded));
            QByteArray bytes;
            try {
                bytes = next.encode();
            } catch (...) {
                std::rethrow_exception(ckError(Code::invalidArguments));
            }
            m_files.write(recordPath(folder, next.recordName), bytes);
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
