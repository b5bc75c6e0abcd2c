#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <stdexcept>

namespace vantorel {

// A file call that failed, with its errno.
class LocalCloudFileError : public std::runtime_error
{
public:
    explicit LocalCloudFileError(int error)
        : std::runtime_error("file error")
        , errorNumber(error)
    {
    }
    int errorNumber;
};

// The file calls of the local-directory database, in one place so that tests can make any of them
// fail with an errno of their choice (they run as root, so permission bits refuse nothing).
// Every call throws LocalCloudFileError on failure. Blocking; for the database's worker thread.
class LocalCloudFiles
{
public:
    // Gets the call's name ("read", "write", "mkdir", "rename", "list", "lock") and
    // path; a non-zero result fails the call with that errno.
    using Fault = std::function<int(const QString& call, const QString& path)>;

    // An exclusive lock held until destroyed.
    class Lock
    {
    public:
        explicit Lock(int fd);
        Lock(Lock&& other) noexcept;
        Lock& operator=(Lock&&) = delete;
        ~Lock();

    private:
        int m_fd;
    };

    explicit LocalCloudFiles(Fault fault = {});

    // The whole file; nothing when it does not exist. A symbolic link or a non-regular file fails
    // (ELOOP, EINVAL), and so does a file over `maximumBytes` (EFBIG).
    std::optional<QByteArray> read(const QString& path, qint64 maximumBytes) const;
    // Replaces the file atomically with mode 0600: a temporary beside it, then a rename.
    void write(const QString& path, const QByteArray& bytes) const;
    // Mode 0700; an existing directory is fine unless `mustBeNew`.
    void makeDirectory(const QString& path, bool mustBeNew = false) const;
    void rename(const QString& from, const QString& to) const;
    // Clean-up: best effort, never fails, so it may run from scope guards.
    void remove(const QString& path) const noexcept;
    void removeTree(const QString& path) const noexcept;
    // Entry names, without "." and ".."; a missing directory has none.
    QStringList list(const QString& directory) const;
    // An exclusive flock on `path` (made 0600 if missing), waited for at most `seconds` while
    // `stop` stays false; nothing when it stays taken.
    std::optional<Lock> lock(const QString& path, double seconds, const std::function<bool()>& stop) const;

private:
    void check(const char* call, const QString& path) const;

    Fault m_fault;
};

} // namespace vantorel
