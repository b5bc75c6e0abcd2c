#pragma once

#include "core/foundation/CancelToken.h"
#include "core/foundation/PendingCompletion.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <QCoroTask>

#include <cstdint>
#include <optional>
#include <vector>

class QProcess;

namespace vantorel {

// A child process driven from the event loop, in a process group of its own so that killing it
// also kills whatever it started. Started directly (no shell); standard error goes to the null
// device. Standard output is buffered here up to `outputLimit` unread bytes; more marks the
// output as overflowed and kills the group at once, so a chatty child cannot fill memory.
// Nothing here blocks the calling thread. Main-thread (or one event-loop thread) use.
class ChildProcess
{
public:
    enum class Input { closed, pipe };

    ChildProcess(QString program, QStringList arguments, Input input, qsizetype outputLimit,
                 QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());
    // Kills the group (and the child if it still runs). The process object then lives on, unowned, until
    // the child is reaped, so no zombie stays behind and the destructor never waits.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Launches; the outcome (running, or launchError()) arrives later through changed().
    void start();

    // Resumes after the next change: output, exit, a failure. Throws CancellationError when
    // `token` is cancelled first. Changes that happened since the last call count at once.
    QCoro::Task<> changed(CancelToken token);

    // The reason the program could not be started.
    const std::optional<QString>& launchError() const { return m_launchError; }
    const std::optional<QString>& writeError() const { return m_writeError; }
    const std::optional<QString>& readError() const { return m_readError; }
    bool outputOverflowed() const { return m_overflowed; }
    // The child has exited (or was never started) and has been reaped.
    bool hasExited() const;
    // Exit code, or the number of the signal that ended it.
    std::int32_t terminationStatus() const { return m_terminationStatus; }
    qint64 processId() const { return m_processId; }

    // Every unread output byte.
    QByteArray takeOutput();
    // The next complete line without its "\n" (and a "\r" before it), if one has arrived.
    std::optional<QByteArray> takeLine();
    // Unread bytes after the last complete line.
    qsizetype pendingLineLength() const;

    // Queues bytes for standard input (Input::pipe only); write failures arrive as writeError().
    void write(const QByteArray& bytes);
    void closeInput();

    // SIGKILL to the whole group, also when the child has already exited: helpers it started
    // may still run.
    void kill();
    // Kills the group and resumes once the child has been reaped. Never throws.
    QCoro::Task<> terminate();

private:
    void readOutput();
    void notify();

    QProcess* m_process;
    QByteArray m_output;
    qsizetype m_outputLimit;
    std::optional<QString> m_launchError;
    std::optional<QString> m_writeError;
    std::optional<QString> m_readError;
    bool m_overflowed = false;
    bool m_changed = false;
    bool m_groupEnded = false;
    std::int32_t m_terminationStatus = 0;
    qint64 m_processId = 0;
    std::vector<PendingCompletion<>> m_waiters;
};

} // namespace vantorel
