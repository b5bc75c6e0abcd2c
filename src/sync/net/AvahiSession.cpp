#include "sync/net/AvahiSession.h"

#include "core/foundation/AppDiagnostics.h"
#include "sync/net/AvahiQtPoll.h"

#include <avahi-client/client.h>
#include <avahi-common/error.h>

#include <QTimer>

namespace vantorel {

struct AvahiSessionCallbacks
{
    static void client(AvahiClient* client, AvahiClientState state, void* userdata);
};

AvahiSession& AvahiSession::instance()
{
    // Never destroyed: freeing the client after the event loop is gone would touch its notifiers.
    static AvahiSession* session = new AvahiSession;
    return *session;
}

static_assert(NetworkError::avahiNoDaemon == AVAHI_ERR_NO_DAEMON && NetworkError::avahiDisconnected == AVAHI_ERR_DISCONNECTED);

NetworkError AvahiSession::error(int code)
{
    return NetworkError::dnsServiceDiscovery(code, QString::fromUtf8(avahi_strerror(code)));
}

AvahiClient* AvahiSession::runningClient()
{
    if (!m_client)
        connect();
    return m_running ? m_client : nullptr;
}

NetworkError AvahiSession::unavailableError() const
{
    return error(m_client || m_error == 0 ? AVAHI_ERR_NO_DAEMON : m_error);
}

void AvahiSession::connect()
{
    int error = 0;
    // Without a system bus this fails at once even with NO_FAIL; the next use tries again.
    AvahiClient* client = avahi_client_new(avahiQtPoll(), AVAHI_CLIENT_NO_FAIL, &AvahiSessionCallbacks::client, this,
                                           &error);
    if (!client) {
        m_error = error;
        AppDiagnostics::log(QStringLiteral("DNS-SD unavailable: ") + QString::fromUtf8(avahi_strerror(error)));
    }
    m_client = client;
}

void AvahiSessionCallbacks::client(AvahiClient* client, AvahiClientState state, void* userdata)
{
    auto* self = static_cast<AvahiSession*>(userdata);
    switch (state) {
    case AVAHI_CLIENT_S_RUNNING:
        // May arrive from inside avahi_client_new, before m_client is set.
        self->m_client = client;
        self->setRunning(true);
        break;
    case AVAHI_CLIENT_FAILURE:
        self->m_error = avahi_client_errno(client);
        self->setRunning(false);
        if (self->m_error == AVAHI_ERR_DISCONNECTED)
            self->reconnectLater();
        break;
    case AVAHI_CLIENT_S_REGISTERING:
    case AVAHI_CLIENT_S_COLLISION:
    case AVAHI_CLIENT_CONNECTING:
        self->setRunning(false);
        break;
    }
}

void AvahiSession::reconnectLater()
{
    // Not from inside the client's own callback, which the free would pull out from under it.
    QTimer::singleShot(0, &m_context, [this] {
        if (m_running || !m_client)
            return;
        avahi_client_free(std::exchange(m_client, nullptr));
        connect();
    });
}

void AvahiSession::setRunning(bool running)
{
    if (m_running == running)
        return;
    m_running = running;
    // Observers may come and go while they are told.
    std::vector<quint64> ids;
    for (const auto& entry : m_observers)
        ids.push_back(entry.first);
    for (const quint64 id : ids) {
        const auto it = m_observers.find(id);
        if (it == m_observers.end())
            continue;
        const Observer observer = it->second;
        observer(running);
    }
}

quint64 AvahiSession::observe(Observer observer)
{
    m_observers.emplace(++m_lastObserver, std::move(observer));
    return m_lastObserver;
}

void AvahiSession::unobserve(quint64 id)
{
    m_observers.erase(id);
}

} // namespace vantorel
