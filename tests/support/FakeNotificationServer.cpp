#include "support/FakeNotificationServer.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QThread>

#include <atomic>
#include <future>
#include <mutex>

namespace vantorel {

// What the server thread shares with the test's thread. Named, as FakeNotificationServer::Thread
// holds it: GCC rejects an anonymous type there when this file is part of a unity batch.
namespace fakeNotificationServerDetail {

struct Shared
{
    std::mutex mutex;
    QStringList capabilities{QStringLiteral("body")};
    std::optional<std::pair<QString, QString>> notifyError;
    QList<FakeNotificationServer::Call> calls;
    std::function<void(const FakeNotificationServer::Call&)> observer;
};

} // namespace fakeNotificationServerDetail

namespace {

const QString notificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString notificationsInterface = QStringLiteral("org.freedesktop.Notifications");

std::optional<FakeNotificationServer::Image> readImage(const QVariant& hint)
{
    if (hint.metaType() != QMetaType::fromType<QDBusArgument>())
        return std::nullopt;
    const auto argument = hint.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("(iiibiiay)"))
        return std::nullopt;
    FakeNotificationServer::Image image;
    argument.beginStructure();
    argument >> image.width >> image.height >> image.rowStride >> image.hasAlpha >> image.bitsPerSample
        >> image.channels >> image.data;
    argument.endStructure();
    return image;
}

class NotificationService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit NotificationService(std::shared_ptr<fakeNotificationServerDetail::Shared> shared)
        : m_shared(std::move(shared))
    {
    }

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout)
    {
        std::lock_guard lock(m_shared->mutex);
        const uint id = m_shared->notifyError ? 0 : uint(m_shared->calls.size() + 1);
        m_shared->calls.append({appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout,
                                readImage(hints.value(QStringLiteral("image-data"))), id});
        if (m_shared->observer)
            m_shared->observer(m_shared->calls.last());
        if (m_shared->notifyError) {
            sendErrorReply(m_shared->notifyError->first, m_shared->notifyError->second);
            return 0;
        }
        return id;
    }

    QStringList GetCapabilities()
    {
        std::lock_guard lock(m_shared->mutex);
        return m_shared->capabilities;
    }

private:
    std::shared_ptr<fakeNotificationServerDetail::Shared> m_shared;
};

} // namespace

class FakeNotificationServer::Thread : public QThread
{
public:
    Thread(QString serviceName, QString connectionName)
        : m_serviceName(std::move(serviceName))
        , m_connectionName(std::move(connectionName))
    {
    }

    std::shared_ptr<fakeNotificationServerDetail::Shared> shared =
        std::make_shared<fakeNotificationServerDetail::Shared>();
    std::promise<bool> ready;

protected:
    void run() override
    {
        bool serving = false;
        {
            QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName);
            NotificationService service(shared);
            serving = bus.isConnected()
                && bus.registerObject(notificationsPath, &service,
                                      QDBusConnection::ExportAllSlots)
                && bus.registerService(m_serviceName);
            ready.set_value(serving);
            if (serving)
                exec();
            bus.unregisterService(m_serviceName);
            bus.unregisterObject(notificationsPath);
        }
        QDBusConnection::disconnectFromBus(m_connectionName);
    }

private:
    QString m_serviceName;
    QString m_connectionName;
};

QString FakeNotificationServer::uniqueServiceName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("test.vantorel.Notifications.p") + QString::number(QCoreApplication::applicationPid())
        + QStringLiteral("_") + QString::number(++counter);
}

FakeNotificationServer::FakeNotificationServer(QString serviceName)
    : m_serviceName(std::move(serviceName))
    , m_connectionName(QStringLiteral("fake-notification-server-") + m_serviceName)
    , m_thread(std::make_unique<Thread>(m_serviceName, m_connectionName))
{
    auto started = m_thread->ready.get_future();
    m_thread->start();
    m_serving = started.get();
}

FakeNotificationServer::~FakeNotificationServer()
{
    m_thread->quit();
    m_thread->wait();
}

bool FakeNotificationServer::isServing() const
{
    return m_serving;
}

void FakeNotificationServer::setCapabilities(QStringList capabilities)
{
    std::lock_guard lock(m_thread->shared->mutex);
    m_thread->shared->capabilities = std::move(capabilities);
}

void FakeNotificationServer::failNotify(QString errorName, QString message)
{
    std::lock_guard lock(m_thread->shared->mutex);
    m_thread->shared->notifyError = std::pair(std::move(errorName), std::move(message));
}

void FakeNotificationServer::setObserver(std::function<void(const Call&)> observer)
{
    std::lock_guard lock(m_thread->shared->mutex);
    m_thread->shared->observer = std::move(observer);
}

QList<FakeNotificationServer::Call> FakeNotificationServer::calls() const
{
    std::lock_guard lock(m_thread->shared->mutex);
    return m_thread->shared->calls;
}

void FakeNotificationServer::invokeAction(uint id, const QString& actionKey) const
{
    auto signal = QDBusMessage::createSignal(notificationsPath, notificationsInterface, QStringLiteral("ActionInvoked"));
    signal << id << actionKey;
    QDBusConnection(m_connectionName).send(signal);
}

void FakeNotificationServer::closeNotification(uint id, uint reason) const
{
    auto signal = QDBusMessage::createSignal(notificationsPath, notificationsInterface,
                                             QStringLiteral("NotificationClosed"));
    signal << id << reason;
    QDBusConnection(m_connectionName).send(signal);
}

} // namespace vantorel

#include "FakeNotificationServer.moc"
