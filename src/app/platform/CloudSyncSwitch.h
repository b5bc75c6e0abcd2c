#pragma once

#include <QObject>

namespace vantorel {

// What the background monitoring needs of the cloud sync: its switch, and a way to re-plan its
// work after the machine wakes from sleep.
class CloudSyncSwitch : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual bool enabled() const = 0;
    // When sync is on: drops the scheduled task and the published next upload time and plans
    // the work again. Does nothing when sync is off. Called once after each wake.
    virtual void resumeAfterWake() = 0;

signals:
    void enabledChanged(bool enabled);
};

} // namespace vantorel
