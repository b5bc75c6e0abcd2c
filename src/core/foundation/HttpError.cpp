#include "core/foundation/HttpError.h"

namespace vantorel {

HttpError::HttpError(Kind kind, QString description)
    : m_kind(kind)
    , m_description(std::move(description))
    , m_what((rawValue(kind) % QStringLiteral(": ") % m_description).toUtf8())
{
}

QString HttpError::localizedDescription() const
{
    switch (m_kind) {
    case Kind::notConnectedToInternet: return QStringLiteral("インターネット接続がオフラインのようです。");
    case Kind::cannotFindHost: return QStringLiteral("指定されたホスト名のサーバが見つかりませんでした。");
    case Kind::cannotConnectToHost: return QStringLiteral("サーバに接続できませんでした。");
    case Kind::dnsLookupFailed: return QStringLiteral("サーバの名前を解決できませんでした。");
    case Kind::secureConnectionFailed: return QStringLiteral("サーバとの安全な接続を確立できませんでした。");
    case Kind::timedOut: return QStringLiteral("要求がタイムアウトしました。");
    case Kind::cancelled: return QStringLiteral("要求がキャンセルされました。");
    case Kind::networkConnectionLost: return QStringLiteral("ネットワーク接続が切れました。");
    case Kind::responseTooLarge: return QStringLiteral("サーバの応答が大きすぎます。");
    case Kind::other: break;
    }
    return QStringLiteral("通信エラーが発生しました。");
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
