#include "sync/net/NetworkError.h"

#include <cerrno>

namespace vantorel {

NetworkError NetworkError::fromSocketError(QAbstractSocket::SocketError error, QString detail)
{
    switch (error) {
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return tls(error, std::move(detail));
    case QAbstractSocket::ConnectionRefusedError:
        return posix(ECONNREFUSED, std::move(detail));
    case QAbstractSocket::RemoteHostClosedError:
        return posix(ECONNRESET, std::move(detail));
    case QAbstractSocket::SocketAccessError:
        // Qt's word for EACCES/EPERM from connect or bind: a firewall or policy refused us.
        return posix(EACCES, std::move(detail));
    case QAbstractSocket::SocketTimeoutError:
        return posix(ETIMEDOUT, std::move(detail));
    case QAbstractSocket::NetworkError:
        return posix(ENETUNREACH, std::move(detail));
    case QAbstractSocket::AddressInUseError:
        return posix(EADDRINUSE, std::move(detail));
    case QAbstractSocket::SocketAddressNotAvailableError:
        return posix(EADDRNOTAVAIL, std::move(detail));
    case QAbstractSocket::SocketResourceError:
        return posix(EMFILE, std::move(detail));
    case QAbstractSocket::HostNotFoundError:
        return dnsServiceDiscovery(dnsServiceUnknown, std::move(detail));
    default:
        return {Kind::other, error, std::move(detail)};
    }
}

} // namespace vantorel
