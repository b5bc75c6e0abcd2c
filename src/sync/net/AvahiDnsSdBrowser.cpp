#include "sync/net/AvahiDnsSdBrowser.h"

#include "sync/net/AvahiSession.h"

#include <avahi-client/lookup.h>
#include <avahi-common/address.h>
#include <avahi-common/error.h>

#include <net/if.h>

#include <algorithm>

#include <optional>

namespace vantorel {

struct AvahiDnsSdBrowser::Instance
{
    AvahiIfIndex interface;
    AvahiProtocol protocol;
    QByteArray name;
    // Set while the instance is being resolved.
    AvahiServiceResolver* resolver = nullptr;
    std::optional<ServiceEndpoint> endpoint;
};

namespace {

QString interfaceName(AvahiIfIndex interface)
{
    char name[IF_NAMESIZE] = {};
    return interface >= 0 && if_indextoname(unsigned(interface), name) ? QString::fromUtf8(name) : QString();
}

QString hostText(const AvahiAddress& address, const QString& interface)
{
    char text[AVAHI_ADDRESS_STR_MAX] = {};
    avahi_address_snprint(text, sizeof text, &address);
    QString host = QString::fromLatin1(text);
    // fe80::/10 means nothing without the interface it was seen on.
    if (address.proto == AVAHI_PROTO_INET6 && address.data.ipv6.address[0] == 0xfe
        && (address.data.ipv6.address[1] & 0xc0) == 0x80 && !interface.isEmpty())
        host += u'%' + interface;
    return host;
}

} // namespace

struct AvahiBrowserCallbacks
{
    static void browsed(AvahiServiceBrowser* browser, AvahiIfIndex interface, AvahiProtocol protocol, AvahiBrowserEvent event,
                        const char* name, const char* type, const char* domain, AvahiLookupResultFlags, void* userdata)
    {
        auto* self = static_cast<AvahiDnsSdBrowser*>(userdata);
        auto& instances = self->m_instances;
        const auto same = [&](const AvahiDnsSdBrowser::Instance& i) {
            return i.interface == interface && i.protocol == protocol && i.name == name;
        };
        switch (event) {
        case AVAHI_BROWSER_NEW: {
            AvahiClient* client = avahi_service_browser_get_client(browser);
            if (std::any_of(instances.begin(), instances.end(), same))
                return;
            instances.push_back({interface, protocol, QByteArray(name)});
            instances.back().resolver = avahi_service_resolver_new(client, interface, protocol, name, type, domain,
                                                                   AVAHI_PROTO_UNSPEC, AvahiLookupFlags(0),
                                                                   &AvahiBrowserCallbacks::resolved, self);
            if (!instances.back().resolver)
                instances.pop_back();
            break;
        }
        case AVAHI_BROWSER_REMOVE:
            for (auto it = instances.begin(); it != instances.end(); ++it) {
                if (same(*it)) {
                    if (it->resolver)
                        avahi_service_resolver_free(it->resolver);
                    instances.erase(it);
                    self->reportResults();
                    break;
                }
            }
            break;
        case AVAHI_BROWSER_FAILURE: {
            const NetworkError error = AvahiSession::error(avahi_client_errno(avahi_service_browser_get_client(browser)));
            self->stop();
            self->reportState(AvahiDnsSdBrowser::State::failed, error);
            break;
        }
        case AVAHI_BROWSER_ALL_FOR_NOW:
        case AVAHI_BROWSER_CACHE_EXHAUSTED:
            break;
        }
    }

    static void resolved(AvahiServiceResolver* resolver, AvahiIfIndex interface, AvahiProtocol, AvahiResolverEvent event,
                         const char* name, const char* type, const char* domain, const char*,
                         const AvahiAddress* address, uint16_t port, AvahiStringList*, AvahiLookupResultFlags,
                         void* userdata)
    {
        auto* self = static_cast<AvahiDnsSdBrowser*>(userdata);
        auto& instances = self->m_instances;
        const auto it = std::find_if(instances.begin(), instances.end(),
                                     [&](const AvahiDnsSdBrowser::Instance& i) { return i.resolver == resolver; });
        avahi_service_resolver_free(resolver);
        if (it == instances.end())
            return;
        it->resolver = nullptr;
        if (event == AVAHI_RESOLVER_FOUND && address) {
            const QString interfaceText = interfaceName(interface);
            it->endpoint = ServiceEndpoint{QString::fromUtf8(name), QString::fromUtf8(type), QString::fromUtf8(domain),
                                           interfaceText,           hostText(*address, interfaceText), port};
        } else {
            instances.erase(it);
        }
        self->reportResults();
    }
};

AvahiDnsSdBrowser::AvahiDnsSdBrowser()
{
    m_observer = AvahiSession::instance().observe([this](bool running) {
        // The daemon went away: what was made from its client goes with it.
        if (!running && m_browser) {
            stop();
            reportState(State::failed, AvahiSession::error(AVAHI_ERR_DISCONNECTED));
        }
    });
}

AvahiDnsSdBrowser::~AvahiDnsSdBrowser()
{
    AvahiSession::instance().unobserve(m_observer);
    stop();
}

void AvahiDnsSdBrowser::start(const QString& type, const QString& domain)
{
    if (m_started || m_cancelled)
        return;
    m_started = true;
    AvahiSession& session = AvahiSession::instance();
    AvahiClient* client = session.runningClient();
    if (!client) {
        reportState(State::waiting, session.unavailableError());
        return;
    }
    m_browser = avahi_service_browser_new(client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, type.toUtf8().constData(),
                                          domain.toUtf8().constData(), AvahiLookupFlags(0),
                                          &AvahiBrowserCallbacks::browsed, this);
    if (!m_browser)
        reportState(State::failed, AvahiSession::error(avahi_client_errno(client)));
    else
        reportState(State::ready, NetworkError{});
}

void AvahiDnsSdBrowser::cancel()
{
    m_cancelled = true;
    m_stateHandler = {};
    m_resultsHandler = {};
    stop();
}

void AvahiDnsSdBrowser::stop()
{
    for (Instance& instance : m_instances) {
        if (instance.resolver)
            avahi_service_resolver_free(instance.resolver);
    }
    m_instances.clear();
    if (m_browser)
        avahi_service_browser_free(std::exchange(m_browser, nullptr));
}

void AvahiDnsSdBrowser::reportResults()
{
    // An instance still resolving is left out rather than waited for: one slow or stale
    // instance must not hold back the others.
    QList<NetworkEndpoint> results;
    for (const Instance& instance : m_instances) {
        if (instance.endpoint)
            results.append(*instance.endpoint);
    }
    QMetaObject::invokeMethod(
        &m_context,
        [this, results] {
            if (const ResultsHandler handler = m_resultsHandler)
                handler(results);
        },
        Qt::QueuedConnection);
}

void AvahiDnsSdBrowser::reportState(State state, const NetworkError& error)
{
    QMetaObject::invokeMethod(
        &m_context,
        [this, state, error] {
            if (const StateHandler handler = m_stateHandler)
                handler(state, state == State::ready ? std::nullopt : std::optional(error));
        },
        Qt::QueuedConnection);
}

} // namespace vantorel
