#include "support/FakeCodexAppServer.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vantorel {

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

// A zombie counts as ended: it no longer runs, only its parent has yet to reap it.
bool endedNow(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close < 0 || text.mid(close + 2, 1) == "Z" || text.mid(close + 2, 1) == "X";
}

} // namespace

FakeCodexAppServer::FakeCodexAppServer(const QStringList& scenario, const QString& name)
    : m_executablePath(m_dir.filePath(name))
{
    const QString script = QStringLiteral(VANTOREL_TEST_SOURCE_DIR "/support/fake_codex_app_server.py");
    writeFile(m_dir.filePath(QStringLiteral("scenario")), scenario.join(QLatin1Char('\n')).toUtf8() + '\n');
    writeFile(m_executablePath, QStringLiteral("#!/bin/sh\nexec python3 '%1' '%2' '%3' \"$@\"\n")
                                    .arg(script, m_dir.filePath(QStringLiteral("scenario")),
                                         m_dir.filePath(QStringLiteral("log")))
                                    .toUtf8());
    QFile::setPermissions(m_executablePath, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QStringList FakeCodexAppServer::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

std::optional<qint64> FakeCodexAppServer::pidFrom(const QString& name) const
{
    QFile file(filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const qint64 pid = file.readAll().trimmed().toLongLong(&ok);
    return ok && pid > 0 ? std::optional(pid) : std::nullopt;
}

QString FakeCodexAppServer::makeFifo(const QString& name) const
{
    const QString path = filePath(name);
    ::mkfifo(QFile::encodeName(path).constData(), 0600);
    return path;
}

std::optional<qint64> FakeCodexAppServer::awaitPid(const QString& fifoPath) const
{
    // Non-blocking open succeeds before the writer comes; poll then waits for its bytes.
    const int fd = ::open(QFile::encodeName(fifoPath).constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    QByteArray text;
    pollfd entry{fd, POLLIN, 0};
    while (::poll(&entry, 1, 10'000) == 1) {
        char buffer[64];
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count <= 0)
            break;
        text.append(buffer, count);
    }
    ::close(fd);
    bool ok = false;
    const qint64 pid = text.trimmed().toLongLong(&ok);
    return ok && pid > 0 ? std::optional(pid) : std::nullopt;
}

bool FakeCodexAppServer::processEnds(qint64 pid)
{
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
    if (fd < 0)
        return errno == ESRCH || endedNow(pid);
    pollfd entry{fd, POLLIN, 0};
    // Generous: the bound is only reached when the process survives, and a loaded machine can take
    // seconds to deliver the kill and mark the process ended.
    const int ready = ::poll(&entry, 1, 30'000);
    ::close(fd);
    return ready == 1 || endedNow(pid);
}

} // namespace vantorel
