#include "app/platform/UPowerMonitor.h"

#include "app/platform/DBusPropertyWatch.h"

namespace vantorel {

UPowerMonitor::UPowerMonitor(QDBusConnection bus, QString serviceName, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_serviceName(std::move(serviceName))
{
}

void UPowerMonitor::start()
{
    auto* watch = new DBusPropertyWatch(m_bus, m_serviceName, objectPath, interfaceName, this);
    connect(watch, &DBusPropertyWatch::propertiesChanged, this, [this](const QVariantMap& properties) {
        const auto onBattery = properties.constFind(QStringLiteral("OnBattery"));
        if (onBattery == properties.constEnd() || onBattery->metaType() != QMetaType::fromType<bool>())
            return;
        const bool changed = m_onBattery != onBattery->toBool();
        m_onBattery = onBattery->toBool();
        if (changed)
            emit powerSourceChanged();
    });
    watch->start();
}

} // namespace vantorel
