#pragma once

#include <QString>

#include <optional>

namespace vantorel {

// A webhook URL that passed the strict validation, rebuilt with the query Discord needs.
struct DiscordWebhookURL
{
    // The URL to post to: the typed scheme, host, port and path, then "?wait=true", then
    // "&thread_id=<id>" when the typed URL named a thread.
    QString url;
    // The webhook id from the path; Discord's confirmation must name it.
    QString webhookID;
    // The thread the message goes to; the confirmation's channel must be it.
    std::optional<QString> threadID;

    bool operator==(const DiscordWebhookURL&) const = default;
};

} // namespace vantorel
