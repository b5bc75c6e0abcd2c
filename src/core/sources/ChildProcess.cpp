#include "core/sources/ChildProcess.h"

#include <QCoreApplication>
#include <QProcess>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace vantorel {

ChildProcess::ChildProcess(QString program, QStringList arguments, Input input, qsizetype outputLimit,
                           QProcessEnvironment environment)
    : m_process(new QProcess)
    , m_outputLimit(outputLimit)
{
    m_process->setProgram(std::move(program));
    m_process->setArguments(std::move(arguments));
    m_process->setProcessEnvironment(environment);
    m_process->setStandardErrorFile(QProcess::nullDevice());
    if (input == Input::closed)
        m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setReadChannel(QProcess::StandardOutput);
    // A group of its own: one kill(-pid) reaches the helpers a launcher script starts.
    m_process->setChildProcessModifier([] { ::setpgid(0, 0); });

    QObject::connect(m_process, &QProcess::readyReadStandardOutput, m_process, [this] { readOutput(); });
    QObject::connect(m_process, &QProcess::stateChanged, m_process, [this] { notify(); });
    QObject::connect(m_process, &QProcess::finished, m_process, [this](int exitCode, QProcess::ExitStatus) {
        readOutput();
        // On a crash exit QProcess reports the signal number as the exit code.
        m_terminationStatus = static_cast<std::int32_t>(exitCode);
        notify();
    });
    QObject::connect(m_process, &QProcess::errorOccurred, m_process, [this](QProcess::ProcessError error) {
        switch (error) {
        case QProcess::FailedToStart:
            m_launchError = m_process->errorString();
            break;
        case QProcess::WriteError:
            m_writeError = m_process->errorString();
            break;
        case QProcess::ReadError:
            m_readError = m_process->errorString();
            break;
        case QProcess::Crashed:
        case QProcess::Timedout:
        case QProcess::UnknownError:
            break;
        }
        notify();
    });
}

ChildProcess::~ChildProcess()
{
    for (const auto& waiter : m_waiters)
        waiter.cancel();
    QObject::disconnect(m_process, nullptr, nullptr, nullptr);
    kill();
    if (m_process->state() == QProcess::NotRunning) {
        delete m_process;
        return;
    }
    // QProcess's own destructor would wait for the child; let it reap the child first. Until then
    // the application holds it, so a child still unreaped when the application ends (a busy machine
    // slow to deliver the kill) is reaped and freed with it instead of left behind.
    QProcess* process = m_process;
    if (QCoreApplication* app = QCoreApplication::instance(); app && app->thread() == process->thread())
        process->setParent(app);
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process, [process] {
        if (process->state() == QProcess::NotRunning)
            process->deleteLater();
    });
}

void ChildProcess::start()
{
    m_process->start(QIODevice::ReadWrite);
    m_processId = m_process->processId();
    // Also from this side, so a kill that comes before the child ran its own setpgid still
    // reaches the group; fails harmlessly once the child has called exec.
    if (m_processId > 0)
        ::setpgid(static_cast<pid_t>(m_processId), static_cast<pid_t>(m_processId));
}

QCoro::Task<> ChildProcess::changed(CancelToken token)
{
    token.throwIfCancelled();
    if (m_changed) {
        m_changed = false;
        co_return;
    }
    PendingCompletion<> woken;
    m_waiters.push_back(woken);
    auto registration = token.onCancel([woken] { woken.cancel(); });
    co_await woken;
    m_changed = false;
}

bool ChildProcess::hasExited() const
{
    return m_process->state() == QProcess::NotRunning;
}

QByteArray ChildProcess::takeOutput()
{
    return std::exchange(m_output, QByteArray());
}

std::optional<QByteArray> ChildProcess::takeLine()
{
    const qsizetype end = m_output.indexOf('\n');
    if (end < 0)
        return std::nullopt;
    QByteArray line = m_output.left(end);
    m_output.remove(0, end + 1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

qsizetype ChildProcess::pendingLineLength() const
{
    return m_output.size() - (m_output.lastIndexOf('\n') + 1);
}

void ChildProcess::write(const QByteArray& bytes)
{
    if (m_process->write(bytes) != bytes.size() && !m_writeError)
        m_writeError = m_process->errorString();
}

void ChildProcess::closeInput()
{
    m_process->closeWriteChannel();
}

void ChildProcess::kill()
{
    if (m_processId <= 0 || m_groupEnded)
        return;
    // Helpers the child started stay in its group after the child itself has exited, so the
    // group is signalled whatever the child's state. While any member lives the group id cannot
    // be reused; once the child is reaped the group is signalled this one last time only.
    ::kill(-static_cast<pid_t>(m_processId), SIGKILL);
    if (m_process->state() == QProcess::NotRunning)
        m_groupEnded = true;
    else
        ::kill(static_cast<pid_t>(m_processId), SIGKILL);
}

QCoro::Task<> ChildProcess::terminate()
{
    kill();
    while (!hasExited())
        co_await changed(CancelToken());
}

void ChildProcess::readOutput()
{
    const QByteArray chunk = m_process->readAllStandardOutput();
    if (m_overflowed || chunk.isEmpty())
        return;
    if (m_output.size() + chunk.size() > m_outputLimit) {
        m_overflowed = true;
        kill();
    } else {
        m_output.append(chunk);
    }
    notify();
}

void ChildProcess::notify()
{
    m_changed = true;
    auto waiters = std::exchange(m_waiters, {});
    for (const auto& waiter : waiters)
        waiter.complete();
}

} // namespace vantorel
