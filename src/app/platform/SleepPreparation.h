#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

namespace vantorel {

class InhibitorLock;
class LogindManager;

// Writes out what must not be lost before the machine sleeps, for a machine that never wakes
// again: holds a logind delay lock on sleep, so that logind waits for the write-out when it
// announces sleep; releases the lock once the write-out has returned, and takes one again after
// the wake. Without the lock (logind refused it) the write-out still runs, racing the sleep.
// GUI thread only.
class SleepPreparation final : public QObject
{
    Q_OBJECT

public:
    static inline const QString who = QStringLiteral("Vantorel");
    static inline const QString why = QStringLiteral("Saving settings before sleep");

    // `writeOut` runs on this thread and returns once its work is on disk.
    SleepPreparation(LogindManager* logind, std::function<void()> writeOut, QObject* parent = nullptr);
    ~SleepPreparation() override;

private:
    void takeLock();
    void prepareForSleep();

    QPointer<LogindManager> m_logind;
    std::function<void()> m_writeOut;
    std::shared_ptr<InhibitorLock> m_lock;
};

} // namespace vantorel
