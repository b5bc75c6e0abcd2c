#include "support/FakeDesktopSession.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QThread>
#include <QVariantMap>

#include <atomic>
#include <future>
#include <mutex>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace vantorel {

namespace {

const QString managerPath = QStringLiteral("/org/freedesktop/login1");
const QString userPath = QStringLiteral("/org/freedesktop/login1/user/self");
const QString sessionPath = QStringLiteral("/org/freedesktop/login1/session/_1");
const QString upowerPath = QStringLiteral("/org/freedesktop/UPower");
const QString screenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

} // namespace

struct FakeDesktopSession::State
{
    mutable std::mutex mutex;
    // Properties by object path.
    QMap<QString, QVariantMap> properties;
    bool hasDisplaySession = true;
    bool screenSaverActive = false;
    bool screenSaverAnswers = true;
    QList<InhibitCall> inhibitCalls;
    QList<int> inhibitReadEnds;
    QString connectionName;

    ~State()
    {
        for (int fd : std::as_const(inhibitReadEnds))
            ::close(fd);
    }

    // Runs on the serving thread.
    bool handle(const QDBusMessage& message, const QDBusConnection& connection)
    {
        std::unique_lock lock(mutex);
        const QString& member = message.member();
        const QVariantList arguments = message.arguments();
        QDBusMessage reply = message.createReply();
        if (message.interface() == propertiesInterface && member == QLatin1String("GetAll")) {
            reply << properties.value(message.path());
        } else if (message.interface() == propertiesInterface && member == QLatin1String("Get")) {
            if (message.path() != userPath)
                return false;
            // The user's Display property, "(so)": session id and path.
            QDBusArgument display;
            display.beginStructure();
            display << (hasDisplaySession ? QStringLiteral("1") : QString())
                    << QDBusObjectPath(hasDisplaySession ? sessionPath : QStringLiteral("/"));
            display.endStructure();
            reply << QVariant::fromValue(QDBusVariant(QVariant::fromValue(display)));
        } else if (member == QLatin1String("Inhibit") && arguments.size() == 4) {
            int ends[2];
            if (::pipe2(ends, O_CLOEXEC) != 0)
                return false;
            inhibitCalls.append({arguments[0].toString(), arguments[1].toString(), arguments[2].toString(),
                                 arguments[3].toString()});
            inhibitReadEnds.append(ends[0]);
            QDBusUnixFileDescriptor descriptor;
            descriptor.giveFileDescriptor(ends[1]);
            reply << QVariant::fromValue(descriptor);
        } else if (member == QLatin1String("GetActive")) {
            reply = screenSaverAnswers ? reply << screenSaverActive
                                       : message.createErrorReply(QDBusError::NotSupported, QStringLiteral("no"));
        } else {
            return false;
        }
        lock.unlock();
        return connection.send(reply);
    }
};

namespace {

class Service final : public QDBusVirtualObject
{
public:
    explicit Service(FakeDesktopSession::State* state)
        : m_state(state)
    {
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        return m_state->handle(message, connection);
    }

private:
    FakeDesktopSession::State* m_state;
};

// Serves from its own thread with its own connection, so calls from the test's thread really
// cross the bus.
class ServingThread final : public QThread
{
public:
    ServingThread(FakeDesktopSession::State* state, QStringList names)
        : m_state(state)
        , m_names(std::move(names))
    {
    }
    std::promise<bool> ready;

protected:
    void run() override
    {
        const QString connectionName = m_state->connectionName;
        {
            QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
            Service service(m_state);
            bool serving = bus.isConnected() && bus.registerVirtualObject(QStringLiteral("/"), &service, QDBusConnection::SubPath);
            for (const QString& name : std::as_const(m_names))
                serving = serving && bus.registerService(name);
            ready.set_value(serving);
            if (serving)
                exec();
            bus.unregisterObject(QStringLiteral("/"));
        }
        QDBusConnection::disconnectFromBus(connectionName);
    }

private:
    FakeDesktopSession::State* m_state;
    QStringList m_names;
};

} // namespace

FakeDesktopSession::FakeDesktopSession()
    : m_state(std::make_shared<State>())
{
    static std::atomic<int> counter{0};
    const QString suffix = QStringLiteral(".p") + QString::number(QCoreApplication::applicationPid())
        + QStringLiteral("_") + QString::number(++counter);
    m_logindService = QStringLiteral("test.vantorel.login1") + suffix;
    m_upowerService = QStringLiteral("test.vantorel.UPower") + suffix;
    m_screenSaverService = QStringLiteral("test.vantorel.ScreenSaver") + suffix;
    m_state->connectionName = QStringLiteral("fake-desktop-session") + suffix;
    m_state->properties[sessionPath] = {{QStringLiteral("Active"), true},
                                        {QStringLiteral("Class"), QStringLiteral("user")},
                                        {QStringLiteral("LockedHint"), false}};
    m_state->properties[upowerPath] = {{QStringLiteral("OnBattery"), false}};
    auto thread = std::make_unique<ServingThread>(m_state.get(), QStringList{m_logindService, m_upowerService, m_screenSaverService});
    auto started = thread->ready.get_future();
    thread->start();
    m_serving = started.get();
    m_thread = std::move(thread);
}

FakeDesktopSession::~FakeDesktopSession()
{
    m_thread->quit();
    m_thread->wait();
}

void FakeDesktopSession::setProperty(const QString& path, const QString& interface, const QString& name,
                                     const QVariant& value)
{
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->properties[path].value(name) == value)
            return;
        m_state->properties[path].insert(name, value);
    }
    send(path, propertiesInterface, QStringLiteral("PropertiesChanged"),
         {interface, QVariantMap{{name, value}}, QStringList()});
}

void FakeDesktopSession::send(const QString& path, const QString& interface, const QString& member,
                              const QVariantList& arguments)
{
    auto signal = QDBusMessage::createSignal(path, interface, member);
    signal.setArguments(arguments);
    QDBusConnection(m_state->connectionName).send(signal);
}

void FakeDesktopSession::setSession(bool active, const QString& sessionClass, bool lockedHint)
{
    const QString interface = QStringLiteral("org.freedesktop.login1.Session");
    {
        std::lock_guard lock(m_state->mutex);
        m_state->properties[sessionPath].insert(QStringLiteral("Class"), sessionClass);
    }
    setProperty(sessionPath, interface, QStringLiteral("Active"), active);
    setProperty(sessionPath, interface, QStringLiteral("LockedHint"), lockedHint);
}

void FakeDesktopSession::setHasDisplaySession(bool hasSession)
{
    std::lock_guard lock(m_state->mutex);
    m_state->hasDisplaySession = hasSession;
}

void FakeDesktopSession::sendUnlock()
{
    send(sessionPath, QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("Unlock"), {});
}

void FakeDesktopSession::sendPrepareForSleep(bool start)
{
    send(managerPath, QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), {start});
}

void FakeDesktopSession::setOnBattery(bool onBattery)
{
    setProperty(upowerPath, QStringLiteral("org.freedesktop.UPower"), QStringLiteral("OnBattery"), onBattery);
}

void FakeDesktopSession::setScreenSaverActive(bool active)
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->screenSaverActive = active;
    }
    send(screenSaverPath, QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("ActiveChanged"), {active});
}

void FakeDesktopSession::setScreenSaverAnswersGetActive(bool answers)
{
    std::lock_guard lock(m_state->mutex);
    m_state->screenSaverAnswers = answers;
}

QList<FakeDesktopSession::InhibitCall> FakeDesktopSession::inhibitCalls() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->inhibitCalls;
}

bool FakeDesktopSession::inhibitorReleased(int index, int timeoutMs) const
{
    int fd = -1;
    {
        std::lock_guard lock(m_state->mutex);
        fd = m_state->inhibitReadEnds.value(index, -1);
    }
    // The read end of a pipe reports a hang-up once no write end is open anywhere.
    pollfd entry{fd, POLLIN, 0};
    return fd >= 0 && ::poll(&entry, 1, timeoutMs) == 1 && (entry.revents & POLLHUP) != 0;
}

} // namespace vantorel
