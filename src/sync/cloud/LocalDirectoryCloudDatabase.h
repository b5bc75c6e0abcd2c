#pragma once

#include "sync/cloud/CloudContainer.h"
#include "sync/cloud/LocalCloudFiles.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vantorel {

// The per-user stand-in for the cloud's private database: a folder that holds the account and,
// per account, the records, their assets and a lock file.
//
//     <root>/account                          the user record name, "_" + 32 lower-case hex
//     <root>/<account>/records/<name>.json    one record with its fields and change tag
//     <root>/<account>/assets/<UUID>          asset files the records refer to
//     <root>/<account>/lock                   flock held around each read-compare-write
//     <root>/tmp/<UUID>/                      one database's scratch files, flock held on the
//                                             folder while it lives; removed by the next start
//                                             once nobody holds it
//
// No symbolic link inside the root is followed: a link, or a file where a folder of this layout
// belongs (or a folder where a file belongs), fails the operation with a damaged-entry error that
// names it. An account file that does not hold an account name is moved aside, reported, and
// replaced by a fresh account once the damage lasts: read again under a lock on the root folder
// after a short pause, it must still be the same file with the same bytes. The account is made
// together with the folder, on the first account call; removing the file signs out. Another
// process on the same folder plays another Mac: every operation takes the lock, and a save under
// ifServerRecordUnchanged is refused when the stored change tag moved. All work runs on one
// worker thread, which also delivers the answers; constructing touches no file.
class LocalDirectoryCloudDatabase final : public CloudContainer
{
public:
    static constexpr double defaultLockWaitSeconds = 2;
    // Account files larger than this are damaged.
    static constexpr qint64 maximumAccountBytes = 64;
    // Asset files larger than this are refused.
    static constexpr qint64 maximumAssetBytes = 16 * 1'048'576;
    // How long a damaged account file must stay as it was before it is replaced: another process
    // rewriting it in place shows it empty or half-written for a moment.
    static constexpr double damagedAccountRecheckSeconds = 0.5;

    // Blocks the worker thread for the seconds given.
    using Pause = std::function<void(double seconds)>;

    struct Options
    {
        double lockWaitSeconds = defaultLockWaitSeconds;
        // Bytes of records and assets one account may hold.
        std::optional<qint64> byteQuota;
        LocalCloudFiles::Fault fault;
        // Empty: a real wait, cut short when the database goes.
        Pause pause;
    };

    explicit LocalDirectoryCloudDatabase(QString root);
    LocalDirectoryCloudDatabase(QString root, Options options);
    // Waits for the operation in progress, if any; queued ones are dropped unanswered.
    ~LocalDirectoryCloudDatabase() override;

    // $XDG_DATA_HOME/Vantorel/cloud
    static QString defaultRoot();
    // Whether the bytes of an account file name an account: "_" + 32 lower-case hex digits.
    static bool isAccountName(const QByteArray& bytes);
    // Whether `name` may name a record: [A-Za-z0-9._-], 1 to 255 characters.
    static bool isValidRecordName(const QString& name);

    void accountStatus(StatusCompletion completion) override;
    void fetchUserRecordID(UserRecordIDCompletion completion) override;
    void add(std::shared_ptr<CloudDatabaseOperation> operation) override;
    // This database's scratch folder in the root; it exists once an account call has found the
    // root.
    QString temporaryDirectory() const override;

private:
    class Worker;
    std::unique_ptr<Worker> m_worker;
};

} // namespace vantorel
