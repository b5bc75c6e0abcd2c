#include "app/platform/ClaudeCodeCredentialFileReader.h"

#include "app/platform/ClaudeCodeTokenStoreError.h"
#include "core/foundation/PendingCompletion.h"
#include "core/foundation/Timeout.h"
#include "core/foundation/TimerSleeper.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <functional>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vantorel {

namespace {

using Contents = std::optional<QByteArray>;

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

// A detached thread rather than a pool: a read stuck in the kernel must not hold up shutdown,
// which waits for pool threads.
QCoro::Task<Contents> loadOnWorkerThread(ClaudeCodeCredentialFileReader::FileLoader load, QString path,
                                         CancelToken token)
{
    PendingCompletion<Contents> loaded;
    // On a time-out or cancellation this coroutine ends at once; a thread stuck in the kernel
    // finishes on its own later and its answer is dropped.
    const auto registration = token.onCancel([loaded] { loaded.cancel(); });
    std::thread([loaded, load = std::move(load), path = std::move(path)] {
        try {
            loaded.complete(load(path));
        } catch (...) {
            loaded.fail(std::current_exception());
        }
    }).detach();
    co_return co_await loaded;
}

} // namespace

QString ClaudeCodeCredentialFileReader::credentialPath(const QProcessEnvironment& environment)
{
    const QString configDirectory = environment.value(QStringLiteral("CLAUDE_CONFIG_DIR"));
    if (!configDirectory.isEmpty())
        return QDir(configDirectory).filePath(QStringLiteral(".credentials.json"));
    QString home = environment.value(QStringLiteral("HOME"));
    if (home.isEmpty())
        home = QDir::homePath();
    return QDir(home).filePath(QStringLiteral(".claude/.credentials.json"));
}

std::optional<QByteArray> ClaudeCodeCredentialFileReader::readBoundedFile(const QString& path)
{
    const QByteArray nativePath = QFile::encodeName(path);
    if (nativePath.isEmpty())
        return std::nullopt;
    // Non-blocking so that a FIFO planted at the path cannot hold the open.
    const FileDescriptor file(::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0)
        return std::nullopt;
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > maximumCredentialBytes)
        return std::nullopt;

    // Read in pieces until the end, so a file that grew after fstat is still caught by the limit.
    QByteArray contents;
    contents.reserve(qsizetype(status.st_size));
    char buffer[16 * 1024];
    while (true) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            return contents;
        if (contents.size() + count > maximumCredentialBytes)
            return std::nullopt;
        contents.append(buffer, qsizetype(count));
    }
}

ClaudeCodeCredentialFileReader::ClaudeCodeCredentialFileReader(QString path, double timeoutSeconds,
                                                               std::shared_ptr<Sleeper> sleeper, FileLoader load)
    : m_path(path.isEmpty() ? credentialPath(QProcessEnvironment::systemEnvironment()) : std::move(path))
    , m_timeoutSeconds(timeoutSeconds)
    , m_sleeper(sleeper ? std::move(sleeper) : std::make_shared<TimerSleeper>())
    , m_load(load ? std::move(load) : FileLoader(readBoundedFile))
{
}

QCoro::Task<QByteArray> ClaudeCodeCredentialFileReader::readCredential(CancelToken token)
{
    using Code = ClaudeCodeTokenStoreError::Code;
    token.throwIfCancelled();
    // Copies: the reader may be gone when the read ends.
    const auto sleeper = m_sleeper;
    auto load = m_load;
    auto path = m_path;
    const double timeoutSeconds = m_timeoutSeconds;
    // Named, as g++ 12 destroys a lambda prvalue handed to a coroutine twice; a std::function,
    // as GCC rejects a lambda's type in this frame when the file is part of a unity batch.
    const std::function<QCoro::Task<Contents>(CancelToken)> work = [load, path](CancelToken inner) {
        return loadOnWorkerThread(load, path, inner);
    };
    Contents contents;
    try {
        contents = co_await withTimeout(*sleeper, timeoutSeconds, token, work);
    } catch (const TimeoutError&) {
        throw ClaudeCodeTokenStoreError(Code::keychainTimedOut);
    } catch (const CancellationError&) {
        throw;
    } catch (...) {
        throw ClaudeCodeTokenStoreError(Code::keychainReadFailed);
    }
    if (!contents)
        throw ClaudeCodeTokenStoreError(Code::keychainReadFailed);
    co_return *std::move(contents);
}

} // namespace vantorel
