#include "sync/cloud/LocalCloudFiles.h"

#include "core/foundation/UuidText.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QUuid>

#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace vantorel {

namespace {

// Polling the lock is bounded by the wait and only happens while another process holds it.
constexpr auto lockRetryInterval = std::chrono::milliseconds(10);
// Nested folders deeper than this are left in place by removeTree rather than holding a
// descriptor per level.
constexpr int maximumRemovalDepth = 16;

QByteArray native(const QString& name)
{
    return QFile::encodeName(name);
}

[[noreturn]] void fail(int error)
{
    throw LocalCloudFileError(error);
}

void closeQuietly(int fd)
{
    ::close(fd);
}

LocalCloudFiles::FileStamp stampOf(const struct stat& status)
{
    return {quint64(status.st_dev), quint64(status.st_ino), qint64(status.st_size),
            qint64(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
}

// Takes an exclusive flock on `fd`, polling while another holder keeps it.
bool waitForFlock(int fd, double seconds, const std::function<bool()>& stop)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            fail(errno);
        if (std::chrono::steady_clock::now() >= deadline || (stop && stop()))
            return false;
        std::this_thread::sleep_for(lockRetryInterval);
    }
}

void removeTreeAt(int parent, const QByteArray& name, int depth) noexcept
{
    if (::unlinkat(parent, name.constData(), 0) == 0 || (errno != EISDIR && errno != EPERM))
        return;
    if (depth >= maximumRemovalDepth)
        return;
    const int fd = ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    if (DIR* dir = ::fdopendir(fd)) {
        QList<QByteArray> names;
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray child(entry->d_name);
            if (child != "." && child != "..")
                names.append(child);
        }
        for (const QByteArray& child : names)
            removeTreeAt(::dirfd(dir), child, depth + 1);
        ::closedir(dir);
    } else {
        closeQuietly(fd);
    }
    ::unlinkat(parent, name.constData(), AT_REMOVEDIR);
}

} // namespace

LocalCloudFiles::Lock::Lock(int fd)
    : m_fd(fd)
{
}

LocalCloudFiles::Lock::Lock(Lock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
{
}

LocalCloudFiles::Lock::~Lock()
{
    if (m_fd >= 0)
        closeQuietly(m_fd);
}

LocalCloudFiles::Directory::Directory(int fd, QString path)
    : m_fd(fd)
    , m_path(std::move(path))
{
}

LocalCloudFiles::Directory::Directory(Directory&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_path(std::move(other.m_path))
{
}

LocalCloudFiles::Directory& LocalCloudFiles::Directory::operator=(Directory&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            closeQuietly(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

LocalCloudFiles::Directory::~Directory()
{
    if (m_fd >= 0)
        closeQuietly(m_fd);
}

QString LocalCloudFiles::Directory::pathOf(const QString& name) const
{
    return m_path + QLatin1Char('/') + name;
}

LocalCloudFiles::LocalCloudFiles(Fault fault)
    : m_fault(std::move(fault))
{
}

void LocalCloudFiles::check(const char* call, const QString& path) const
{
    if (!m_fault)
        return;
    if (const int error = m_fault(QString::fromLatin1(call), path))
        fail(error);
}

std::optional<LocalCloudFiles::Directory> LocalCloudFiles::openDirectory(const QString& path) const
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        fail(errno);
    }
    return Directory(fd, path);
}

std::optional<LocalCloudFiles::Directory> LocalCloudFiles::subdirectory(const Directory& parent, const QString& name,
                                                                        bool create) const
{
    if (create)
        makeDirectory(parent, name);
    const int fd = ::openat(parent.fd(), native(name).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT && !create)
            return std::nullopt;
        fail(errno);
    }
    return Directory(fd, parent.pathOf(name));
}

std::optional<QByteArray> LocalCloudFiles::read(const Directory& directory, const QString& name,
                                                qint64 maximumBytes) const
{
    std::optional<FileContent> content = readContent(directory, name, maximumBytes);
    if (!content)
        return std::nullopt;
    if (!content->bytes)
        fail(EFBIG);
    return std::move(content->bytes);
}

std::optional<LocalCloudFiles::FileContent> LocalCloudFiles::readContent(const Directory& directory,
                                                                         const QString& name,
                                                                         qint64 maximumBytes) const
{
    check("read", directory.pathOf(name));
    const int fd = ::openat(directory.fd(), native(name).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        fail(errno);
    }
    const auto closer = qScopeGuard([fd] { closeQuietly(fd); });
    struct stat status{};
    if (::fstat(fd, &status) != 0)
        fail(errno);
    if (!S_ISREG(status.st_mode))
        fail(EINVAL);
    FileContent content{std::nullopt, stampOf(status)};
    if (status.st_size > maximumBytes)
        return content;
    QByteArray bytes;
    char buffer[65'536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail(errno);
        if (got == 0)
            break;
        if (bytes.size() + got > maximumBytes)
            return content;
        bytes.append(buffer, got);
    }
    content.bytes = std::move(bytes);
    return content;
}

void LocalCloudFiles::write(const Directory& directory, const QString& name, const QByteArray& bytes) const
{
    check("write", directory.pathOf(name));
    const QByteArray target = native(name);
    const QByteArray temporary = native(name + QStringLiteral(".tmp-") + uuidText(QUuid::createUuid()));
    const int fd = ::openat(directory.fd(), temporary.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        fail(errno);
    auto discard = qScopeGuard([&] {
        closeQuietly(fd);
        ::unlinkat(directory.fd(), temporary.constData(), 0);
    });
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            fail(errno);
        written += put;
    }
    if (::fsync(fd) != 0
        || ::renameat(directory.fd(), temporary.constData(), directory.fd(), target.constData()) != 0)
        fail(errno);
    discard.dismiss();
    closeQuietly(fd);
}

void LocalCloudFiles::makeDirectory(const Directory& directory, const QString& name, bool mustBeNew) const
{
    check("mkdir", directory.pathOf(name));
    if (::mkdirat(directory.fd(), native(name).constData(), 0700) != 0 && (mustBeNew || errno != EEXIST))
        fail(errno);
}

void LocalCloudFiles::rename(const Directory& directory, const QString& from, const QString& to) const
{
    check("rename", directory.pathOf(from));
    if (::renameat(directory.fd(), native(from).constData(), directory.fd(), native(to).constData()) != 0)
        fail(errno);
}

bool LocalCloudFiles::renameIfUnchanged(const Directory& directory, const QString& from, const QString& to,
                                        const FileStamp& stamp) const
{
    check("rename", directory.pathOf(from));
    struct stat status{};
    if (::fstatat(directory.fd(), native(from).constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return false;
        fail(errno);
    }
    if (!S_ISREG(status.st_mode) || stampOf(status) != stamp)
        return false;
    if (::renameat(directory.fd(), native(from).constData(), directory.fd(), native(to).constData()) != 0)
        fail(errno);
    return true;
}

void LocalCloudFiles::remove(const Directory& directory, const QString& name) const noexcept
{
    ::unlinkat(directory.fd(), native(name).constData(), 0);
}

void LocalCloudFiles::removeTree(const Directory& directory, const QString& name) const noexcept
{
    removeTreeAt(directory.fd(), native(name), 0);
}

QStringList LocalCloudFiles::list(const Directory& directory) const
{
    check("list", directory.path());
    // A descriptor of its own: closedir closes it.
    const int fd = ::openat(directory.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fail(errno);
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        closeQuietly(fd);
        fail(error);
    }
    const auto closer = qScopeGuard([dir] { ::closedir(dir); });
    QStringList names;
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            names.append(name);
    }
    return names;
}

qint64 LocalCloudFiles::fileSize(const Directory& directory, const QString& name) const noexcept
{
    struct stat status{};
    if (::fstatat(directory.fd(), native(name).constData(), &status, AT_SYMLINK_NOFOLLOW) != 0
        || !S_ISREG(status.st_mode))
        return 0;
    return status.st_size;
}

std::optional<LocalCloudFiles::Lock> LocalCloudFiles::lock(const Directory& directory, const QString& name,
                                                           double seconds, const std::function<bool()>& stop) const
{
    check("lock", directory.pathOf(name));
    const int fd = ::openat(directory.fd(), native(name).constData(),
                            O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        fail(errno);
    Lock held(fd);
    struct stat status{};
    if (::fstat(fd, &status) != 0)
        fail(errno);
    if (!S_ISREG(status.st_mode))
        fail(EINVAL);
    if (!waitForFlock(fd, seconds, stop))
        return std::nullopt;
    return held;
}

bool LocalCloudFiles::tryLock(const Directory& directory) const noexcept
{
    return ::flock(directory.fd(), LOCK_EX | LOCK_NB) == 0;
}

std::optional<LocalCloudFiles::Lock> LocalCloudFiles::lockFolder(const Directory& directory, double seconds,
                                                                 const std::function<bool()>& stop) const
{
    check("lock", directory.path());
    const int fd = ::openat(directory.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fail(errno);
    Lock held(fd);
    if (!waitForFlock(fd, seconds, stop))
        return std::nullopt;
    return held;
}

LocalCloudFiles::Directory LocalCloudFiles::parentOf(const QString& path) const
{
    const QString parent = QFileInfo(path).path();
    auto directory = openDirectory(parent);
    if (!directory)
        fail(ENOENT);
    return std::move(*directory);
}

std::optional<QByteArray> LocalCloudFiles::read(const QString& path, qint64 maximumBytes) const
{
    check("read", path);
    std::optional<Directory> parent;
    try {
        parent.emplace(parentOf(path));
    } catch (const LocalCloudFileError& failure) {
        if (failure.errorNumber == ENOENT)
            return std::nullopt;
        throw;
    }
    return LocalCloudFiles().read(*parent, QFileInfo(path).fileName(), maximumBytes);
}

void LocalCloudFiles::write(const QString& path, const QByteArray& bytes) const
{
    check("write", path);
    LocalCloudFiles().write(parentOf(path), QFileInfo(path).fileName(), bytes);
}

void LocalCloudFiles::makeDirectory(const QString& path, bool mustBeNew) const
{
    check("mkdir", path);
    LocalCloudFiles().makeDirectory(parentOf(path), QFileInfo(path).fileName(), mustBeNew);
}

void LocalCloudFiles::rename(const QString& from, const QString& to) const
{
    check("rename", from);
    if (::rename(native(from).constData(), native(to).constData()) != 0)
        fail(errno);
}

void LocalCloudFiles::removeTree(const QString& path) const noexcept
{
    try {
        removeTree(parentOf(path), QFileInfo(path).fileName());
    } catch (const LocalCloudFileError&) {
    }
}

std::optional<LocalCloudFiles::Lock> LocalCloudFiles::lock(const QString& path, double seconds,
                                                           const std::function<bool()>& stop) const
{
    check("lock", path);
    return LocalCloudFiles().lock(parentOf(path), QFileInfo(path).fileName(), seconds, stop);
}

} // namespace vantorel
