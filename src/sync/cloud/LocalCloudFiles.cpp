#include "sync/cloud/LocalCloudFiles.h"

#include "core/foundation/UuidText.h"

#include <QDir>
#include <QFile>
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

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

[[noreturn]] void fail(int error)
{
    throw LocalCloudFileError(error);
}

void closeQuietly(int fd)
{
    ::close(fd);
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

std::optional<QByteArray> LocalCloudFiles::read(const QString& path, qint64 maximumBytes) const
{
    check("read", path);
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
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
    if (status.st_size > maximumBytes)
        fail(EFBIG);
    QByteArray bytes;
    char buffer[65'536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail(errno);
        if (got == 0)
            return bytes;
        if (bytes.size() + got > maximumBytes)
            fail(EFBIG);
        bytes.append(buffer, got);
    }
}

void LocalCloudFiles::write(const QString& path, const QByteArray& bytes) const
{
    check("write", path);
    const QString temporary = path + QStringLiteral(".tmp-") + uuidText(QUuid::createUuid());
    const int fd = ::open(native(temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        fail(errno);
    auto discard = qScopeGuard([&] {
        closeQuietly(fd);
        ::unlink(native(temporary).constData());
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
    if (::fsync(fd) != 0 || ::rename(native(temporary).constData(), native(path).constData()) != 0)
        fail(errno);
    discard.dismiss();
    closeQuietly(fd);
}

void LocalCloudFiles::makeDirectory(const QString& path, bool mustBeNew) const
{
    check("mkdir", path);
    if (::mkdir(native(path).constData(), 0700) != 0 && (mustBeNew || errno != EEXIST))
        fail(errno);
}

void LocalCloudFiles::rename(const QString& from, const QString& to) const
{
    check("rename", from);
    if (::rename(native(from).constData(), native(to).constData()) != 0)
        fail(errno);
}

void LocalCloudFiles::remove(const QString& path) const noexcept
{
    ::unlink(native(path).constData());
}

void LocalCloudFiles::removeTree(const QString& path) const noexcept
{
    QDir(path).removeRecursively();
}

QStringList LocalCloudFiles::list(const QString& directory) const
{
    check("list", directory);
    DIR* dir = ::opendir(native(directory).constData());
    if (!dir) {
        if (errno == ENOENT)
            return {};
        fail(errno);
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

std::optional<LocalCloudFiles::Lock> LocalCloudFiles::lock(const QString& path, double seconds,
                                                           const std::function<bool()>& stop) const
{
    check("lock", path);
    const int fd = ::open(native(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        fail(errno);
    Lock held(fd);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return held;
        if (errno != EWOULDBLOCK && errno != EINTR)
            fail(errno);
        if (std::chrono::steady_clock::now() >= deadline || (stop && stop()))
            return std::nullopt;
        std::this_thread::sleep_for(lockRetryInterval);
    }
}

} // namespace vantorel
