#pragma once

#include "app/platform/StatusItemBackend.h"

#include <QDBusConnection>
#include <QSystemTrayIcon>

#include <functional>
#include <optional>

class QDBusServiceWatcher;

namespace vantorel {

// The tray item through QSystemTrayIcon: a StatusNotifierItem when the session has a watcher,
// else an XEmbed icon. Host changes are followed through the watcher's bus name and, on X11,
// the platform's tray-window signal; there is no polling. Whether a tray is there is asked once
// per host change: Qt asks the host over the bus, with blocking round trips, on every call.
class SystemTrayStatusItemBackend final : public StatusItemBackend {
    Q_OBJECT

public:
    static inline const QString statusNotifierWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

    // `checkAvailability` asks whether a tray is there; Qt's answer when null.
    explicit SystemTrayStatusItemBackend(QDBusConnection sessionBus, std::function<bool()> checkAvailability = {},
                                         QObject* parent = nullptr);
    ~SystemTrayStatusItemBackend() override;

    bool isAvailable() const override;
    void setIcon(const QIcon& icon) override;
    void setToolTip(const QString& title, const QStringList& lines) override;
    void setVisible(bool visible) override;
    bool isVisible() const override;
    QRect anchorRectangle() const override;

private slots:
    void hostsChanged();

private:
    void followXEmbedTrayWindow();
    // Qt's own answer, without the bus connection Qt opens for each question.
    static std::function<bool()> qtAvailabilityCheck(QDBusConnection sessionBus, bool overTheBus);

    class ReadReportingIconEngine;
    void pictureRead();

    QSystemTrayIcon m_icon;
    bool m_pictureRead = false;
    // Whether Qt draws the item over the bus, as a StatusNotifierItem: it decided that once,
    // when the first tray icon was made, by whether the watcher had a host.
    bool m_overTheBus;
    QDBusServiceWatcher* m_watcher;
    std::function<bool()> m_checkAvailability;
    mutable std::optional<bool> m_available;
};

} // namespace vantorel
