#pragma once

#include "core/foundation/CancelToken.h"
#include "core/sources/BoundedProcessOutput.h"

#include <QString>
#include <QStringList>

#include <QCoroTask>

#include <memory>

namespace vantorel {

class Sleeper;

// Runs a program to completion as a child process with a time limit and a cap on its output,
// for short tools whose answer is their standard output.
class BoundedProcessRunner
{
public:
    static constexpr qsizetype maximumOutputBytes = 1'048'576;

    // Without a sleeper the time-out runs on a real timer.
    explicit BoundedProcessRunner(std::shared_ptr<Sleeper> sleeper = {});

    // Starts `executablePath` with `arguments` exactly as given (no shell), standard input
    // empty, standard error discarded, and returns its standard output and exit status once it
    // has exited. Throws BoundedProcessRunnerError: launchFailed when it cannot be started,
    // timedOut after `timeoutSeconds`, outputLimitExceeded past maximumOutputBytes of output,
    // outputReadFailed when the output cannot be read; CancellationError when `token` is
    // cancelled. Whenever it stops early it kills the child's whole process group, and it
    // returns or throws only after the child has been reaped. The runner may be destroyed while
    // this runs.
    QCoro::Task<BoundedProcessOutput> run(QString executablePath, QStringList arguments, double timeoutSeconds,
                                          CancelToken token = {}) const;

private:
    std::shared_ptr<Sleeper> m_sleeper;
};

} // namespace vantorel
