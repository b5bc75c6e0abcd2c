#include "core/foundation/HttpError.h"

namespace vantorel {

HttpError::HttpError(Kind kind, QString description)
    : m_kind(kind)
    , m_description(std::move(description))
    , m_what((rawValue(kind) % QStringLiteral(": ") % m_description).toUtf8())
{
}

QString rawValue(HttpError::Kind kind)
{
    using Kind = HttpError::Kind;
    switch (kind) {
    case Kind::notConnectedToInternet: return QStringLiteral("notConnectedToInternet");
    case Kind::cannotFindHost: return QStringLiteral("cannotFindHost");
    case Kind::cannotConnectToHost: return QStringLiteral("cannotConnectToHost");
    case Kind::dnsLookupFailed: return QStringLiteral("dnsLookupFailed");
    case Kind::secureConnectionFailed: return QStringLiteral("secureConnectionFailed");
    case Kind::timedOut: return QStringLiteral("timedOut");
    case Kind::cancelled: return QStringLiteral("cancelled");
    case Kind::networkConnectionLost: return QStringLiteral("networkConnectionLost");
    case Kind::responseTooLarge: return QStringLiteral("responseTooLarge");
    case Kind::other: return QStringLiteral("other");
    }
    return QStringLiteral("other");
}

} // namespace vantorel
