#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <optional>

namespace vantorel {

// Whether the desktop's screen saver (org.freedesktop.ScreenSaver on the session bus) is active,
// which covers a locked screen and a blanked display alike. Kept current by ActiveChanged.
class ScreenSaverMonitor final : public QObject
{
    Q_OBJECT

public:
    static inline const QString standardServiceName = QStringLiteral("org.freedesktop.ScreenSaver");
    static inline const QString objectPath = QStringLiteral("/org/freedesktop/ScreenSaver");
    static inline const QString interfaceName = QStringLiteral("org.freedesktop.ScreenSaver");
    static constexpr int callTimeoutMs = 5000;

    explicit ScreenSaverMonitor(QDBusConnection bus, QString serviceName = standardServiceName,
                                QObject* parent = nullptr);

    void start();

    // Unknown until the first answer. A desktop without the service, or one that does not answer
    // GetActive, reads as inactive: the session's own lock state still covers locking there.
    std::optional<bool> isActive() const { return m_active; }

signals:
    void stateChanged();
    // The screen saver went away (ActiveChanged(false)).
    void deactivated();

private slots:
    void handleActiveChanged(bool active);

private:
    QDBusConnection m_bus;
    QString m_serviceName;
    std::optional<bool> m_active;
};

} // namespace vantorel
