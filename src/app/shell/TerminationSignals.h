#pragma once

#include <QObject>

class QSocketNotifier;

namespace vantorel {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the GUI thread: the handler only writes the
// signal number into a pipe whose read end the event loop watches. SIGHUP comes when the terminal
// or the session that started the process goes; its default action would end the process without
// writing anything out. One instance per process.
class TerminationSignals final : public QObject
{
    Q_OBJECT

public:
    // Catches the signals from now on (idempotent): one that arrives before an instance watches
    // waits in the pipe and is reported on the instance's first turn, instead of ending the
    // process before it could write anything out. Call first in main.
    static void catchEarly();

    // Catches the signals if catchEarly() has not.
    explicit TerminationSignals(QObject* parent = nullptr);
    // Gives the signals their default action back.
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace vantorel
