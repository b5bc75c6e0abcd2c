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
//
// Calls on a name inside an open Directory never follow a symbolic link in that name's place, so
// a link planted inside the database cannot send a read, a write or a removal elsewhere. The path
// forms open the path's parent folder as it is (links in it followed) and act on the last name.
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

    // An open folder; closed when destroyed.
    class Directory
    {
    public:
        Directory(int fd, QString path);
        Directory(Directory&& other) noexcept;
        Directory& operator=(Directory&& other) noexcept;
        ~Directory();

        int fd() const { return m_fd; }
        const QString& path() const { return m_path; }
        QString pathOf(const QString& name) const;

    private:
        int m_fd;
        QString m_path;
    };

    // What tells one file and its last write from another: equal stamps mean the same file, not
    // written since (to the file system's time resolution).
    struct FileStamp
    {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNanoseconds = 0;
        bool operator==(const FileStamp&) const = default;
    };

    // A regular file as one read found it.
    struct FileContent
    {
        // The whole file; nothing when it is over the bound read.
        std::optional<QByteArray> bytes;
        FileStamp stamp;
        bool operator==(const FileContent&) const = default;
    };

    explicit LocalCloudFiles(Fault fault = {});

    // The folder at `path`, links on the way followed; nothing when it does not exist.
    std::optional<Directory> openDirectory(const QString& path) const;
    // The folder `name` in `parent`, made (mode 0700) first when missing and `create`; nothing
    // when it is missing otherwise. A link or a file in its place fails (ELOOP, ENOTDIR).
    std::optional<Directory> subdirectory(const Directory& parent, const QString& name, bool create) const;

    // The whole file; nothing when it does not exist. A symbolic link or a non-regular file fails
    // (ELOOP, EINVAL), and so does a file over `maximumBytes` (EFBIG).
    std::optional<QByteArray> read(const Directory& directory, const QString& name, qint64 maximumBytes) const;
    // As read, with the stamp of the file read (taken from the open file); a file over
    // `maximumBytes` is no failure here, its content holds no bytes.
    std::optional<FileContent> readContent(const Directory& directory, const QString& name,
                                           qint64 maximumBytes) const;
    // Replaces the file atomically with mode 0600: a temporary beside it, then a rename.
    void write(const Directory& directory, const QString& name, const QByteArray& bytes) const;
    // Mode 0700; an existing entry is fine unless `mustBeNew`.
    void makeDirectory(const Directory& directory, const QString& name, bool mustBeNew = false) const;
    void rename(const Directory& directory, const QString& from, const QString& to) const;
    // Renames `from` only while that name still holds the file `stamp` was taken of, unwritten
    // since; false, with nothing renamed, when it holds another file or none.
    bool renameIfUnchanged(const Directory& directory, const QString& from, const QString& to,
                           const FileStamp& stamp) const;
    // Clean-up: best effort, never fails, so it may run from scope guards. A link is removed
    // itself, never what it points to.
    void remove(const Directory& directory, const QString& name) const noexcept;
    void removeTree(const Directory& directory, const QString& name) const noexcept;
    // Entry names, without "." and "..".
    QStringList list(const Directory& directory) const;
    // Bytes of a regular file; 0 when it is missing or of another kind.
    qint64 fileSize(const Directory& directory, const QString& name) const noexcept;
    // An exclusive flock on the file `name` (made 0600 if missing), waited for at most `seconds`
    // while `stop` stays false; nothing when it stays taken. A link fails with ELOOP, a folder
    // with EISDIR, another kind of file with EINVAL.
    std::optional<Lock> lock(const Directory& directory, const QString& name, double seconds,
                             const std::function<bool()>& stop) const;
    // An exclusive flock on the folder itself, held while `directory` stays open; false when
    // another holder has it.
    bool tryLock(const Directory& directory) const noexcept;
    // An exclusive flock on the folder itself through a descriptor of its own, held until the
    // lock is destroyed; waited for as lock() does.
    std::optional<Lock> lockFolder(const Directory& directory, double seconds, const std::function<bool()>& stop) const;

    std::optional<QByteArray> read(const QString& path, qint64 maximumBytes) const;
    void write(const QString& path, const QByteArray& bytes) const;
    void makeDirectory(const QString& path, bool mustBeNew = false) const;
    // Within one folder or across folders of the same file system.
    void rename(const QString& from, const QString& to) const;
    void removeTree(const QString& path) const noexcept;
    std::optional<Lock> lock(const QString& path, double seconds, const std::function<bool()>& stop) const;

private:
    void check(const char* call, const QString& path) const;
    // The parent folder of `path`, opened as it is.
    Directory parentOf(const QString& path) const;

    Fault m_fault;
};

} // namespace vantorel
