#pragma once

#include "core/model/AppSettings.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vantorel {

class CloudSyncSwitch;
class LogindManager;
class UPowerMonitor;

// Keeps the machine from idling into sleep while the user has asked for background monitoring
// and there is something to monitor, follows the settings, the cloud sync switch and the power
// source, and after a wake re-evaluates, lets the cloud sync re-plan and asks for one refresh.
// GUI thread only.
class MacBackgroundMonitoring final : public QObject
{
    Q_OBJECT

public:
    // On mains power: hold off idle sleep as well.
    static constexpr quint32 acPowerOptions = 0xFFFFFF;
    // On battery, or without power information: idle sleep stays allowed.
    static constexpr quint32 batteryOptions = 0xEFFFFF;
    static inline const QString activityReason = QStringLiteral("AI usage monitoring requested by the user");

    // Whatever beginActivity hands out; dropping the last copy releases what it holds.
    using ActivityToken = std::shared_ptr<void>;
    using BeginActivity = std::function<ActivityToken(quint32 options)>;
    using EndActivity = std::function<void(const ActivityToken&)>;

    // What the monitor needs of the application core, all held weakly by the caller's functions.
    struct Core
    {
        // Connects the callback to the core's change notification; returns the connection.
        std::function<QMetaObject::Connection(QObject* context, std::function<void()>)> subscribe;
        std::function<AppSettings()> settings;
        // Starts one refresh of everything that is scheduled (a running one is not doubled).
        std::function<void()> refreshScheduledItems;
    };

    // The default activity: on mains power an idle inhibitor of logind ("idle", "Vantorel", the
    // reason, "block"), held until the token is dropped; on battery nothing is held (idle sleep
    // stays allowed, and nothing here throttles a background process).
    static BeginActivity idleInhibitor(QPointer<LogindManager> logind);

    // `logind` gives the wake signal (and the default activity), `power` the power source; either
    // may be null (no wake handling; battery).
    MacBackgroundMonitoring(LogindManager* logind, UPowerMonitor* power, BeginActivity beginActivity = {},
                            EndActivity endActivity = {}, QObject* parent = nullptr);
    ~MacBackgroundMonitoring() override;

    // Sets up all observation once (a second call does nothing until stop()). The settings and
    // the switch are applied at once and again after every change.
    void observe(Core core, CloudSyncSwitch* cloud);

    // Begins, replaces or ends the activity as the settings, the switch and the power ask.
    void update(const AppSettings& settings, bool cloudEnabled, bool externalPower);

    // Drops all observation and ends the activity.
    void stop();

    // The options of the activity held, or none.
    std::optional<quint32> options() const { return m_options; }

private:
    bool hasExternalPower() const;
    void updateFromStoredState();
    void handleWake();
    void endHeldActivity();

    BeginActivity m_beginActivity;
    EndActivity m_endActivity;
    QPointer<LogindManager> m_logind;
    QPointer<UPowerMonitor> m_power;
    ActivityToken m_activity;
    std::optional<quint32> m_options;
    QList<QMetaObject::Connection> m_observations;
    Core m_core;
    QPointer<CloudSyncSwitch> m_cloud;
    AppSettings m_settings;
    bool m_cloudEnabled = false;
};

} // namespace vantorel
