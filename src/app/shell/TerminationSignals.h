#pragma once

#include <QObject>

class QSocketNotifier;

namespace vantorel {

// Turns SIGTERM and SIGINT into a Qt signal on the GUI thread: the handler only writes the
// signal number into a pipe whose read end the event loop watches. One instance per process.
class TerminationSignals final : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace vantorel
