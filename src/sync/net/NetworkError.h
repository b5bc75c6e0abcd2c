#pragma once

#include <QAbstractSocket>
#include <QString>

namespace vantorel {

// A failure of the network stack in the terms sync classifies: an operating-system error
// number, a service-discovery error code, a TLS failure, or something else.
struct NetworkError
{
    enum class Kind { posix, dnsServiceDiscovery, tls, other };

    // Service-discovery code for "policy denied": the platform refused local-network access.
    static constexpr int dnsServicePolicyDenied = -65570;
    // Generic service-discovery failure (no daemon, bad parameters, collisions).
    static constexpr int dnsServiceUnknown = -65537;
    // Avahi's codes for a daemon that is not running and for a lost connection to it.
    static constexpr int avahiNoDaemon = -26;
    static constexpr int avahiDisconnected = -23;

    Kind kind = Kind::other;
    int code = 0;
    // The stack's own words, for the log only.
    QString detail;

    static NetworkError posix(int code, QString detail = {}) { return {Kind::posix, code, std::move(detail)}; }
    static NetworkError dnsServiceDiscovery(int code, QString detail = {})
    {
        return {Kind::dnsServiceDiscovery, code, std::move(detail)};
    }
    static NetworkError tls(int status, QString detail = {}) { return {Kind::tls, status, std::move(detail)}; }

    // How a Qt socket error reads: TLS failures as TLS, refused or unreachable peers and
    // resets as their error numbers, host lookups as service-discovery failures.
    static NetworkError fromSocketError(QAbstractSocket::SocketError error, QString detail = {});

    // True when no service-discovery daemon runs to advertise or find anything.
    bool isDiscoveryDaemonMissing() const
    {
        return kind == Kind::dnsServiceDiscovery && (code == avahiNoDaemon || code == avahiDisconnected);
    }

    bool operator==(const NetworkError& other) const { return kind == other.kind && code == other.code; }
};

} // namespace vantorel
