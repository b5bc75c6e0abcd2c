#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace vantorel {

// Keeps one interface's properties of one D-Bus object current without blocking: subscribes to
// PropertiesChanged, then reads every property once (GetAll); invalidated properties are read
// again. Answers arrive in the bus's order, so a change seen before the first read is never
// overwritten by an older value.
class DBusPropertyWatch final : public QObject
{
    Q_OBJECT

public:
    static constexpr int callTimeoutMs = 5000;

    DBusPropertyWatch(QDBusConnection bus, QString service, QString path, QString interface,
                      QObject* parent = nullptr);

    void start();

signals:
    // The properties that arrived: all of them after a read, the changed ones after a signal.
    void propertiesChanged(const QVariantMap& properties);
    // The first read failed (no such service or object).
    void unavailable();

private slots:
    void handlePropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    void readAll(bool first);

    QDBusConnection m_bus;
    QString m_service;
    QString m_path;
    QString m_interface;
};

} // namespace vantorel
