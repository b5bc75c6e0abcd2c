#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <optional>

namespace vantorel {

// The power source as UPower reports it (OnBattery), kept current by its change signal.
class UPowerMonitor final : public QObject
{
    Q_OBJECT

public:
    static inline const QString standardServiceName = QStringLiteral("org.freedesktop.UPower");
    static inline const QString objectPath = QStringLiteral("/org/freedesktop/UPower");
    static inline const QString interfaceName = QStringLiteral("org.freedesktop.UPower");

    explicit UPowerMonitor(QDBusConnection bus, QString serviceName = standardServiceName, QObject* parent = nullptr);

    void start();

    // True only when UPower has said the machine is not on battery; no answer (yet), or no
    // UPower at all, counts as battery.
    bool hasExternalPower() const { return m_onBattery == false; }

signals:
    void powerSourceChanged();

private:
    QDBusConnection m_bus;
    QString m_serviceName;
    std::optional<bool> m_onBattery;
};

} // namespace vantorel
