#pragma once

#include "app/platform/StatusItemBackend.h"

#include <QDBusConnection>
#include <QSystemTrayIcon>

class QDBusServiceWatcher;

namespace vantorel {

// The tray item through QSystemTrayIcon: a StatusNotifierItem when the session has a watcher,
// else an XEmbed icon. Host changes are followed through the watcher's bus name and, on X11,
// the platform's tray-window signal; there is no polling.
class SystemTrayStatusItemBackend final : public StatusItemBackend {
    Q_OBJECT

public:
    static inline const QString statusNotifierWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

    explicit SystemTrayStatusItemBackend(QDBusConnection sessionBus, QObject* parent = nullptr);
    ~SystemTrayStatusItemBackend() override;

    bool isAvailable() const override;
    void setIcon(const QIcon& icon) override;
    void setToolTip(const QString& toolTip) override;
    void setVisible(bool visible) override;
    bool isVisible() const override;
    QRect anchorRectangle() const override;

private:
    void followXEmbedTrayWindow();

    QSystemTrayIcon m_icon;
    QDBusServiceWatcher* m_watcher;
};

} // namespace vantorel
