#pragma once

#include "core/rules/DiscordWebhookURLSource.h"

#include <QString>

#include <utility>

namespace vantorel {

// The webhook URL to use after one secret-store read.
struct DiscordWebhookURLResolution
{
    enum class Kind { available, missing, temporarilyUnavailable };

    Kind kind = Kind::missing;
    // Set only for `available`.
    QString url;
    DiscordWebhookURLSource source = DiscordWebhookURLSource::secureStorage;

    static DiscordWebhookURLResolution available(QString url, DiscordWebhookURLSource source)
    {
        return {Kind::available, std::move(url), source};
    }
    static DiscordWebhookURLResolution missing() { return {Kind::missing, {}, {}}; }
    static DiscordWebhookURLResolution temporarilyUnavailable() { return {Kind::temporarilyUnavailable, {}, {}}; }

    bool operator==(const DiscordWebhookURLResolution&) const = default;
};

} // namespace vantorel
