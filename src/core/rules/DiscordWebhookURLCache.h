#pragma once

#include "core/rules/DiscordWebhookURLResolution.h"
#include "core/rules/SecureValueReadResult.h"

#include <QString>

#include <mutex>
#include <optional>

namespace vantorel {

// Remembers the webhook URL of the last good read or save, so that a secret store that is
// locked for a while does not stop delivery. A `missing` read is the only thing that forgets it.
// One instance per process; `resolve` may be called from any thread.
class DiscordWebhookURLCache
{
public:
    DiscordWebhookURLCache() = default;
    DiscordWebhookURLCache(const DiscordWebhookURLCache&) = delete;
    DiscordWebhookURLCache& operator=(const DiscordWebhookURLCache&) = delete;

    // Updates the cache from one read result and returns the URL to use. The URL is not
    // validated here; callers that need a valid one check it with the webhook service.
    DiscordWebhookURLResolution resolve(const SecureValueReadResult& result);

private:
    std::mutex m_lock;
    std::optional<QString> m_cachedURL;
};

} // namespace vantorel
