#include "sync/net/AvahiDnsSdPublisher.h"

#include "sync/net/AvahiSession.h"

#include <avahi-client/publish.h>
#include <avahi-common/error.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QObject>

namespace vantorel {

namespace {

const QString avahiBusName = QStringLiteral("org.freedesktop.Avahi");
// As long as the other calls to the desktop's services wait, rather than D-Bus's 25 s.
constexpr int availabilityCallTimeoutMs = 5000;

class AvahiRegistration final : public DnsSdRegistration
{
public:
    AvahiRegistration(const QString& name, const QString& type, quint16 port, DnsSdPublisher::FailureHandler onFailure)
        : m_name(name.toUtf8())
        , m_type(type.toUtf8())
        , m_port(port)
        , m_onFailure(std::move(onFailure))
    {
        AvahiSession& session = AvahiSession::instance();
        if (AvahiClient* client = session.runningClient())
            publish(client);
        else
            fail(session.unavailableError());
        m_observer = session.observe([this](bool running) {
            if (m_failed)
                return;
            if (!running)
                withdraw();
            else if (!m_group)
                publish(AvahiSession::instance().runningClient());
        });
    }

    ~AvahiRegistration() override
    {
        AvahiSession::instance().unobserve(m_observer);
        withdraw();
    }

private:
    void publish(AvahiClient* client)
    {
        if (!client)
            return;
        m_group = avahi_entry_group_new(client, &AvahiRegistration::groupChanged, this);
        if (!m_group) {
            fail(AvahiSession::error(avahi_client_errno(client)));
            return;
        }
        int result = avahi_entry_group_add_service_strlst(m_group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                          AvahiPublishFlags(0), m_name.constData(), m_type.constData(),
                                                          nullptr, nullptr, m_port, nullptr);
        if (result >= 0)
            result = avahi_entry_group_commit(m_group);
        if (result < 0)
            fail(AvahiSession::error(result));
    }

    void withdraw()
    {
        if (m_group)
            avahi_entry_group_free(std::exchange(m_group, nullptr));
    }

    void fail(const NetworkError& error)
    {
        m_failed = true;
        withdraw();
        // On a later turn, so the listener that published is never called back from inside itself.
        QMetaObject::invokeMethod(
            &m_context,
            [this, error] {
                if (const DnsSdPublisher::FailureHandler handler = m_onFailure)
                    handler(error);
            },
            Qt::QueuedConnection);
    }

    static void groupChanged(AvahiEntryGroup* group, AvahiEntryGroupState state, void* userdata)
    {
        auto* self = static_cast<AvahiRegistration*>(userdata);
        if (state == AVAHI_ENTRY_GROUP_COLLISION) {
            self->fail(AvahiSession::error(AVAHI_ERR_COLLISION));
        } else if (state == AVAHI_ENTRY_GROUP_FAILURE && AvahiSession::instance().isRunning()) {
            // A group lost with the daemon is published again once it is back; any other loss is final.
            self->fail(AvahiSession::error(avahi_client_errno(avahi_entry_group_get_client(group))));
        }
    }

    QByteArray m_name;
    QByteArray m_type;
    quint16 m_port;
    DnsSdPublisher::FailureHandler m_onFailure;
    AvahiEntryGroup* m_group = nullptr;
    quint64 m_observer = 0;
    bool m_failed = false;
    QObject m_context;
};

} // namespace

std::unique_ptr<DnsSdRegistration> AvahiDnsSdPublisher::publish(const QString& name, const QString& type, quint16 port,
                                                                 FailureHandler onFailure)
{
    return std::make_unique<AvahiRegistration>(name, type, port, std::move(onFailure));
}

void AvahiDnsSdPublisher::checkAvailability(AvailabilityHandler done)
{
    const NetworkError missing = AvahiSession::error(AVAHI_ERR_NO_DAEMON);
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        QMetaObject::invokeMethod(&m_context, [done = std::move(done), missing] { done(missing); }, Qt::QueuedConnection);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                       QStringLiteral("/org/freedesktop/DBus"),
                                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    call << avahiBusName;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, availabilityCallTimeoutMs), &m_context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, done = std::move(done), missing] {
        watcher->deleteLater();
        const QDBusPendingReply<bool> reply = *watcher;
        // A bus that cannot answer says nothing about the daemon: publishing will tell.
        done(reply.isValid() && !reply.value() ? std::optional(missing) : std::nullopt);
    });
}

} // namespace vantorel
