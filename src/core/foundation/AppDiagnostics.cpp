#include "core/foundation/AppDiagnostics.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#ifndef VANTOREL_VERSION
#define VANTOREL_VERSION ""
#endif
#ifndef VANTOREL_BUILD
#define VANTOREL_BUILD ""
#endif

namespace vantorel {

namespace {

namespace fs = std::filesystem;

// Constant-initialised and trivially destructible, so it can be read even while static objects
// are being torn down at exit.
std::atomic<bool> writerGone{false};

QString defaultLogDirectory()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return base + QStringLiteral("/Vantorel");
}

struct LogPaths
{
    fs::path directory;
    fs::path log;
    fs::path previous;

    static LogPaths in(const QString& directory)
    {
        const fs::path dir(QFile::encodeName(directory).toStdString());
        return {dir, dir / "Vantorel.log", dir / "Vantorel.previous.log"};
    }
};

void rotateIfNeeded(const LogPaths& paths)
{
    std::error_code error;
    const std::uintmax_t size = fs::file_size(paths.log, error);
    if (error || size <= static_cast<std::uintmax_t>(AppDiagnostics::maximumLogSize)) {
        return;
    }
    // rename(2) replaces the older generation in one step, so a kill at any moment keeps one of
    // them; if it fails the line goes to the big file.
    fs::rename(paths.log, paths.previous, error);
}

// A process killed in the middle of an append can leave a last line without its line feed; the
// first line a new process writes then starts on a line of its own.
bool endsInsideALine(int fd)
{
    const off_t end = ::lseek(fd, 0, SEEK_END);
    char last = '\n';
    return end > 0 && ::pread(fd, &last, 1, end - 1) == 1 && last != '\n';
}

// Returns the errno of a failed open or write; 0 when the line is on disk.
int append(const LogPaths& paths, Date time, const QString& message, bool firstInFile)
{
    std::error_code error;
    fs::create_directories(paths.directory, error);
    rotateIfNeeded(paths);

    QByteArray line = (time.iso8601() + QStringLiteral(" pid=") + QString::number(::getpid())
                             + QLatin1Char(' ') + AppDiagnostics::escapedMessage(message)
                             + QLatin1Char('\n'))
                                .toUtf8();

    const int fd = ::open(paths.log.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errno;
    }
    if (firstInFile && endsInsideALine(fd)) {
        line.prepend('\n');
    }
    const char* data = line.constData();
    qsizetype left = line.size();
    int failure = 0;
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            failure = written < 0 ? errno : ENOSPC;
            break;
        }
        data += written;
        left -= written;
    }
    ::close(fd);
    return failure;
}

// One thread that owns every append, so lines never interleave and rotation never races an
// append. It sleeps on a condition variable while the queue is empty.
class Writer
{
public:
    Writer()
        : m_directory(defaultLogDirectory())
        , m_paths(LogPaths::in(m_directory))
        , m_thread([this] { run(); })
    {
    }

    ~Writer()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        m_thread.join();
        writerGone = true;
    }

    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void enqueue(const QString& message)
    {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(message);
            ++m_queued;
        }
        m_wake.notify_one();
    }

    void flush()
    {
        std::unique_lock lock(m_mutex);
        const std::uint64_t target = m_queued;
        m_idle.wait(lock, [&] { return m_written >= target; });
    }

    QString directory()
    {
        std::lock_guard lock(m_mutex);
        return m_directory;
    }

    void setDirectory(const QString& directory)
    {
        flush();
        std::lock_guard lock(m_mutex);
        m_directory = directory.isEmpty() ? defaultLogDirectory() : directory;
        m_paths = LogPaths::in(m_directory);
        m_appended = false;
    }

    void setClock(std::function<Date()> now)
    {
        flush();
        std::lock_guard lock(m_mutex);
        m_now = std::move(now);
    }

    QString failure()
    {
        std::lock_guard lock(m_mutex);
        return m_failure;
    }

    void setFailureObserver(std::function<void()> observer)
    {
        std::lock_guard lock(m_observerMutex);
        m_failureObserver = std::move(observer);
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty()) {
                return;
            }
            const QString message = std::move(m_queue.front());
            m_queue.pop_front();
            const LogPaths paths = m_paths;
            const std::function<Date()> now = m_now;
            const bool first = !std::exchange(m_appended, true);
            lock.unlock();
            // The time is the moment of writing, not of the call.
            const int error = append(paths, now ? now() : Date::now(), message, first);
            lock.lock();
            const QString failure = error == 0 ? QString() : qt_error_string(error);
            const bool changed = failure != m_failure;
            const bool startsFailing = !failure.isEmpty() && m_failure.isEmpty();
            m_failure = failure;
            if (changed) {
                lock.unlock();
                failureChanged(paths, failure, startsFailing);
                lock.lock();
            }
            ++m_written;
            m_idle.notify_all();
        }
    }

    // Said on standard error once when lines start to be lost, not for every lost line.
    void failureChanged(const LogPaths& paths, const QString& failure, bool startsFailing)
    {
        if (startsFailing) {
            const QByteArray text = "vantorel: the diagnostics log could not be written to " + QByteArray(paths.log.c_str())
                + ": " + failure.toUtf8() + '\n';
            std::fputs(text.constData(), stderr);
        }
        std::lock_guard lock(m_observerMutex);
        if (m_failureObserver) {
            m_failureObserver();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<QString> m_queue;
    std::uint64_t m_queued = 0;
    std::uint64_t m_written = 0;
    bool m_stopping = false;
    QString m_directory;
    LogPaths m_paths;
    bool m_appended = false;
    std::function<Date()> m_now;
    QString m_failure;
    std::mutex m_observerMutex;
    std::function<void()> m_failureObserver;
    std::thread m_thread; // last: starts once everything above exists
};

Writer& writer()
{
    static Writer instance;
    return instance;
}

QString orUnknown(const char* value)
{
    const QString text = QString::fromUtf8(value);
    return text.isEmpty() ? QStringLiteral("unknown") : text;
}

} // namespace

void AppDiagnostics::log(const QString& message)
{
    if (writerGone) {
        return;
    }
    try {
        writer().enqueue(message);
    } catch (...) {
        // Logging never fails visibly; a line that cannot be queued is lost.
    }
}

AppDiagnostics::VersionAndBuild AppDiagnostics::versionAndBuild()
{
    return {orUnknown(VANTOREL_VERSION), orUnknown(VANTOREL_BUILD)};
}

QString AppDiagnostics::logFilePath()
{
    return writer().directory() + QStringLiteral("/Vantorel.log");
}

QString AppDiagnostics::previousLogFilePath()
{
    return writer().directory() + QStringLiteral("/Vantorel.previous.log");
}

void AppDiagnostics::flush()
{
    if (!writerGone) {
        writer().flush();
    }
}

QString AppDiagnostics::writeFailure()
{
    return writerGone ? QString() : writer().failure();
}

void AppDiagnostics::setWriteFailureObserver(std::function<void()> observer)
{
    if (!writerGone) {
        writer().setFailureObserver(std::move(observer));
    }
}

void AppDiagnostics::setLogDirectoryForTesting(const QString& directory)
{
    writer().setDirectory(directory);
}

void AppDiagnostics::setClockForTesting(std::function<Date()> now)
{
    writer().setClock(std::move(now));
}

QString AppDiagnostics::escapedMessage(const QString& message)
{
    if (!message.contains(QLatin1Char('\n')) && !message.contains(QLatin1Char('\r'))) {
        return message;
    }
    QString escaped = message;
    escaped.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    escaped.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return escaped;
}

} // namespace vantorel
