#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

namespace vantorel {

// A freedesktop notification server on the session bus, served from a thread of its own with a
// connection of its own, so that calls from the test's thread really cross the bus and a
// blocking caller cannot deadlock it. Each server takes a fresh well-known name by default, so
// tests running side by side in one bus session never see each other's server.
class FakeNotificationServer
{
public:
    // The `image-data` hint as it arrived.
    struct Image
    {
        int width = 0;
        int height = 0;
        int rowStride = 0;
        bool hasAlpha = false;
        int bitsPerSample = 0;
        int channels = 0;
        QByteArray data;
    };

    struct Call
    {
        QString appName;
        uint replacesId = 0;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout = 0;
        // Read from the hints when `image-data` has the signature (iiibiiay).
        std::optional<Image> image;
        // The id Notify answered.
        uint id = 0;
    };

    // A name no other server in this process or any other uses.
    static QString uniqueServiceName();

    // Starts serving and returns once the name is owned (check isServing()).
    explicit FakeNotificationServer(QString serviceName = uniqueServiceName());
    // Releases the name and stops the thread.
    ~FakeNotificationServer();

    const QString& serviceName() const { return m_serviceName; }
    bool isServing() const;

    // What GetCapabilities answers (default: "body").
    void setCapabilities(QStringList capabilities);
    // Later Notify calls answer this D-Bus error.
    void failNotify(QString errorName, QString message);

    QList<Call> calls() const;
    // Emits ActionInvoked or NotificationClosed from the server's connection, as a desktop does
    // when the user clicks or dismisses a notification; the ids need not be ones it gave.
    void invokeAction(uint id, const QString& actionKey) const;
    void closeNotification(uint id, uint reason) const;
    // Called on the server's thread with each Notify call, after it is recorded.
    void setObserver(std::function<void(const Call&)> observer);

private:
    class Thread;
    QString m_serviceName;
    QString m_connectionName;
    std::unique_ptr<Thread> m_thread;
    bool m_serving = false;
};

} // namespace vantorel
