#include "core/rules/DiscordWebhookError.h"

namespace vantorel {

namespace {

const char* kindName(DiscordWebhookError::Kind kind)
{
    switch (kind) {
    case DiscordWebhookError::Kind::badHTTPStatus:
        return "discord webhook: refused HTTP status";
    case DiscordWebhookError::Kind::rateLimited:
        return "discord webhook: rate limited";
    case DiscordWebhookError::Kind::invalidURL:
        return "discord webhook: invalid URL";
    case DiscordWebhookError::Kind::invalidContent:
        return "discord webhook: content too long";
    case DiscordWebhookError::Kind::invalidResponse:
        return "discord webhook: body could not be encoded";
    case DiscordWebhookError::Kind::outcomeUnknown:
        return "discord webhook: outcome unknown";
    case DiscordWebhookError::Kind::temporarilyUnavailable:
        return "discord webhook: unreachable";
    }
    return "discord webhook";
}

} // namespace

DiscordWebhookError::DiscordWebhookError(Kind kind, int httpStatus, double retryAfter)
    : std::runtime_error(kindName(kind))
    , m_kind(kind)
    , m_httpStatus(httpStatus)
    , m_retryAfter(retryAfter)
{
}

QString DiscordWebhookError::message() const
{
    switch (m_kind) {
    case Kind::badHTTPStatus:
        return QStringLiteral("Discord Webhook が HTTP %1 を返しました。").arg(m_httpStatus);
    case Kind::rateLimited:
        return QStringLiteral("Discord の送信制限により待機しています。");
    case Kind::invalidURL:
        return QStringLiteral("Discord Webhook URL が正しくありません。https://discord.com/api/webhooks/... を設定してください。");
    case Kind::invalidContent:
        return QStringLiteral("Discord の送信内容が上限を超えています。本文やサービス名を短くしてください。");
    case Kind::invalidResponse:
        return QStringLiteral("Discord Webhook の応答を読み取れませんでした。");
    case Kind::outcomeUnknown:
        return QStringLiteral("Discord への送信結果を確認できませんでした。再送すると重複する可能性があります。");
    case Kind::temporarilyUnavailable:
        return QStringLiteral("Discord に接続できませんでした。時間をおいて再度お試しください。");
    }
    return {};
}

} // namespace vantorel
