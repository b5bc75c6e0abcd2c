#include "support/FakeDesktopSession.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QEventLoop>
#include <QVariantMap>

#include <atomic>
#include <future>
#include <mutex>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace vantorel {

namespace {

using Object = FakeDesktopSession::Object;

const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString sessionPath = QStringLiteral("/org/freedesktop/login1/session/_1");

struct Address
{
    QString path;
    QString interface;
};

Address address(Object object)
{
    switch (object) {
    case Object::manager:
        return {QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager")};
    case Object::user:
        return {QStringLiteral("/org/freedesktop/login1/user/self"), QStringLiteral("org.freedesktop.login1.User")};
    case Object::session:
        return {sessionPath, QStringLiteral("org.freedesktop.login1.Session")};
    case Object::upower:
        return {QStringLiteral("/org/freedesktop/UPower"), QStringLiteral("org.freedesktop.UPower")};
    case Object::screenSaver:
        return {QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver")};
    }
    return {};
}

} // namespace

struct FakeDesktopSession::State final : QDBusVirtualObject
{
    mutable std::mutex mutex;
    // Properties by object path.
    QMap<QString, QVariantMap> properties;
    QList<InhibitCall> inhibitCalls;
    QList<int> inhibitReadEnds;
    QString connectionName;
    QDBusConnection::BusType bus = QDBusConnection::SessionBus;
    QStringList names;
    std::promise<bool> ready;

    ~State() override
    {
        for (int fd : std::as_const(inhibitReadEnds))
            ::close(fd);
    }

    QString introspect(const QString&) const override { return {}; }

    // Runs on the serving thread.
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        std::unique_lock lock(mutex);
        const QVariantList arguments = message.arguments();
        const QVariantMap& served = properties[message.path()];
        QDBusMessage reply = message.createReply();
        if (message.member() == QLatin1String("GetAll")) {
            reply << served;
        } else if (message.member() == QLatin1String("Get") && served.contains(QStringLiteral("Display"))) {
            // "(so)": session id and path; no graphical session is an empty id and "/".
            const QString path = served.value(QStringLiteral("Display")).toString();
            QDBusArgument display;
            display.beginStructure();
            display << (path.isEmpty() ? QString() : QStringLiteral("1")) << QDBusObjectPath(path.isEmpty() ? QStringLiteral("/") : path);
            display.endStructure();
            reply << QVariant::fromValue(QDBusVariant(QVariant::fromValue(display)));
        } else if (message.member() == QLatin1String("Inhibit") && arguments.size() == 4) {
            int ends[2];
            if (::pipe2(ends, O_CLOEXEC) != 0)
                return false;
            inhibitCalls.append({arguments[0].toString(), arguments[1].toString(), arguments[2].toString(), arguments[3].toString()});
            inhibitReadEnds.append(ends[0]);
            QDBusUnixFileDescriptor descriptor;
            descriptor.giveFileDescriptor(ends[1]);
            reply << QVariant::fromValue(descriptor);
        } else if (message.member() == QLatin1String("GetActive")) {
            const QVariant active = served.value(QStringLiteral("Active"));
            reply = active.isValid() ? reply << active.toBool()
                                     : message.createErrorReply(QDBusError::NotSupported, QStringLiteral("no"));
        } else {
            return false;
        }
        lock.unlock();
        return connection.send(reply);
    }

    // The serving thread's body: one connection, every name, then the event loop.
    void serve()
    {
        bool serving = false;
        {
            QDBusConnection connection = QDBusConnection::connectToBus(bus, connectionName);
            serving = connection.isConnected() && connection.registerVirtualObject(QStringLiteral("/"), this, QDBusConnection::SubPath);
            for (const QString& name : std::as_const(names))
                serving = serving && connection.registerService(name);
            ready.set_value(serving);
            // QThread::quit() ends every event loop of the thread.
            QEventLoop loop;
            if (serving)
                loop.exec();
            connection.unregisterObject(QStringLiteral("/"));
        }
        QDBusConnection::disconnectFromBus(connectionName);
    }
};

FakeDesktopSession::FakeDesktopSession()
    : FakeDesktopSession(Placement{})
{
}

FakeDesktopSession::FakeDesktopSession(Placement placement)
    : m_state(std::make_shared<State>())
{
    static std::atomic<int> counter{0};
    const QString suffix = QStringLiteral(".p") + QString::number(QCoreApplication::applicationPid())
        + QStringLiteral("_") + QString::number(++counter);
    const QString prefix = placement.realNames ? QStringLiteral("org.freedesktop.") : QStringLiteral("test.vantorel.");
    const QString unique = placement.realNames ? QString() : suffix;
    m_logindService = prefix + QStringLiteral("login1") + unique;
    m_upowerService = prefix + QStringLiteral("UPower") + unique;
    m_screenSaverService = prefix + QStringLiteral("ScreenSaver") + unique;
    m_state->connectionName = QStringLiteral("fake-desktop-session") + suffix;
    m_state->bus = placement.bus;
    m_state->names = {m_logindService, m_upowerService, m_screenSaverService};
    m_state->properties[address(Object::user).path] = {{QStringLiteral("Display"), sessionPath}};
    m_state->properties[sessionPath] = {{QStringLiteral("Active"), true},
                                        {QStringLiteral("Class"), QStringLiteral("user")},
                                        {QStringLiteral("LockedHint"), false}};
    m_state->properties[address(Object::upower).path] = {{QStringLiteral("OnBattery"), false}};
    m_state->properties[address(Object::screenSaver).path] = {{QStringLiteral("Active"), false}};
    auto started = m_state->ready.get_future();
    m_thread.reset(QThread::create([state = m_state.get()] { state->serve(); }));
    // The virtual object must live where its connection delivers.
    m_state->moveToThread(m_thread.get());
    m_thread->start();
    m_serving = started.get();
}

FakeDesktopSession::~FakeDesktopSession()
{
    m_thread->quit();
    m_thread->wait();
}

void FakeDesktopSession::set(Object object, const QString& name, const QVariant& value)
{
    const Address target = address(object);
    {
        std::lock_guard lock(m_state->mutex);
        m_state->properties[target.path].insert(name, value);
    }
    if (object == Object::screenSaver)
        send(object, QStringLiteral("ActiveChanged"), {value.toBool()});
    else if (value.isValid() && object != Object::user)
        QDBusConnection(m_state->connectionName)
            .send(QDBusMessage::createSignal(target.path, propertiesInterface, QStringLiteral("PropertiesChanged"))
                  << target.interface << QVariantMap{{name, value}} << QStringList());
}

void FakeDesktopSession::send(Object object, const QString& member, const QVariantList& arguments)
{
    const Address target = address(object);
    auto signal = QDBusMessage::createSignal(target.path, target.interface, member);
    signal.setArguments(arguments);
    QDBusConnection(m_state->connectionName).send(signal);
}

QList<FakeDesktopSession::InhibitCall> FakeDesktopSession::inhibitCalls() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->inhibitCalls;
}

bool FakeDesktopSession::inhibitorReleased(int index) const
{
    int fd = -1;
    {
        std::lock_guard lock(m_state->mutex);
        fd = m_state->inhibitReadEnds.value(index, -1);
    }
    // The read end of a pipe reports a hang-up once no write end is open anywhere.
    pollfd entry{fd, POLLIN, 0};
    return fd >= 0 && ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLHUP) != 0;
}

} // namespace vantorel
