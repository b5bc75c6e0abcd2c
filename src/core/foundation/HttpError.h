#pragma once

#include <QString>

#include <exception>

namespace vantorel {

// A transport failure of an HTTP exchange, in the vocabulary of URL loading. An HTTP status is
// never an HttpError (see HttpResponse), and cancellation through a CancelToken throws
// CancellationError instead.
class HttpError final : public std::exception
{
public:
    enum class Kind {
        notConnectedToInternet,
        cannotFindHost,
        cannotConnectToHost,
        dnsLookupFailed,
        secureConnectionFailed,
        timedOut,
        // The reply was aborted by something other than our token (its manager went away, say).
        cancelled,
        // The connection dropped before the whole answer arrived.
        networkConnectionLost,
        // The body exceeded the caller's limit.
        responseTooLarge,
        other,
    };

    HttpError(Kind kind, QString description);

    Kind kind() const { return m_kind; }
    // Human-readable detail for logs (English, from the network layer); not a user message.
    const QString& description() const { return m_description; }
    // The Japanese text shown to the user for this kind of failure.
    QString localizedDescription() const;
    const char* what() const noexcept override { return m_what.constData(); }

private:
    Kind m_kind;
    QString m_description;
    QByteArray m_what;
};

// "timedOut", "cannotFindHost", ... for log lines.
QString rawValue(HttpError::Kind kind);

} // namespace vantorel
