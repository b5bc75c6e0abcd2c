#include "app/platform/MacBackgroundMonitoring.h"

#include "app/platform/CloudSyncSwitch.h"
#include "app/platform/LogindManager.h"
#include "app/platform/UPowerMonitor.h"

#include <QCoreApplication>

namespace vantorel {

MacBackgroundMonitoring::BeginActivity MacBackgroundMonitoring::idleInhibitor(QPointer<LogindManager> logind)
{
    return [logind](quint32 options) -> ActivityToken {
        if (options != acPowerOptions || !logind)
            return std::make_shared<int>(0);
        return logind->inhibit(QStringLiteral("idle"), QStringLiteral("Vantorel"), activityReason,
                               QStringLiteral("block"));
    };
}

MacBackgroundMonitoring::MacBackgroundMonitoring(LogindManager* logind, UPowerMonitor* power,
                                                 BeginActivity beginActivity, EndActivity endActivity,
                                                 QObject* parent)
    : QObject(parent)
    , m_beginActivity(beginActivity ? std::move(beginActivity) : idleInhibitor(logind))
    , m_endActivity(endActivity ? std::move(endActivity) : [](const ActivityToken&) {})
    , m_logind(logind)
    , m_power(power)
{
}

MacBackgroundMonitoring::~MacBackgroundMonitoring()
{
    endHeldActivity();
}

void MacBackgroundMonitoring::observe(Core core, CloudSyncSwitch* cloud)
{
    if (!m_observations.isEmpty())
        return;
    m_core = std::move(core);
    m_cloud = cloud;

    const auto apply = [this] {
        if (m_core.settings)
            update(m_core.settings(), m_cloud && m_cloud->enabled(), hasExternalPower());
    };
    if (m_core.subscribe)
        m_observations.append(m_core.subscribe(this, apply));
    if (cloud)
        m_observations.append(connect(cloud, &CloudSyncSwitch::enabledChanged, this, apply));
    if (m_power)
        m_observations.append(connect(m_power, &UPowerMonitor::powerSourceChanged, this,
                                      &MacBackgroundMonitoring::updateFromStoredState));
    if (m_logind)
        m_observations.append(connect(m_logind, &LogindManager::resumedFromSleep, this,
                                      &MacBackgroundMonitoring::handleWake));
    if (auto* application = QCoreApplication::instance())
        m_observations.append(connect(application, &QCoreApplication::aboutToQuit, this, &MacBackgroundMonitoring::stop));
    apply();
}

void MacBackgroundMonitoring::update(const AppSettings& settings, bool cloudEnabled, bool externalPower)
{
    m_settings = settings;
    m_cloudEnabled = cloudEnabled;
    const bool providerActive = settings.codexEnabled
        || (settings.claudeEnabled && (settings.claudeUsageAutoRefreshEnabled || settings.claudeStatusEnabled));
    const bool wanted = settings.backgroundMonitoringEnabled && (providerActive || cloudEnabled);
    const quint32 wantedOptions = externalPower ? acPowerOptions : batteryOptions;
    if (wanted ? m_options == wantedOptions : !m_options)
        return;

    endHeldActivity();
    if (!wanted)
        return;
    m_options = wantedOptions;
    m_activity = m_beginActivity(wantedOptions);
}

void MacBackgroundMonitoring::stop()
{
    for (const auto& connection : std::as_const(m_observations))
        disconnect(connection);
    m_observations.clear();
    m_core = {};
    m_cloud = nullptr;
    endHeldActivity();
}

bool MacBackgroundMonitoring::hasExternalPower() const
{
    return m_power && m_power->hasExternalPower();
}

void MacBackgroundMonitoring::updateFromStoredState()
{
    update(m_settings, m_cloudEnabled, hasExternalPower());
}

void MacBackgroundMonitoring::handleWake()
{
    updateFromStoredState();
    if (m_cloud)
        m_cloud->resumeAfterWake();
    if (m_core.refreshScheduledItems)
        m_core.refreshScheduledItems();
}

void MacBackgroundMonitoring::endHeldActivity()
{
    if (m_options)
        m_endActivity(m_activity);
    m_activity.reset();
    m_options.reset();
}

} // namespace vantorel
