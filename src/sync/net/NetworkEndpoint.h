#pragma once

#include <QString>

#include <variant>

namespace vantorel {

// A DNS-SD service instance as a browser reports it, with the address it resolved to.
struct ServiceEndpoint
{
    QString name;
    QString type;
    QString domain;
    QString interfaceName;
    QString host;
    quint16 port = 0;

    bool operator==(const ServiceEndpoint&) const = default;
};

// A plain address, as tests and direct connections use.
struct HostPortEndpoint
{
    QString host;
    quint16 port = 0;

    bool operator==(const HostPortEndpoint&) const = default;
};

// Where an outgoing sync connection goes.
using NetworkEndpoint = std::variant<ServiceEndpoint, HostPortEndpoint>;

} // namespace vantorel
