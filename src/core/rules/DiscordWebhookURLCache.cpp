#include "core/rules/DiscordWebhookURLCache.h"

namespace vantorel {

DiscordWebhookURLResolution DiscordWebhookURLCache::resolve(const SecureValueReadResult& result)
{
    const std::lock_guard guard(m_lock);
    switch (result.kind) {
    case SecureValueReadResult::Kind::value:
        m_cachedURL = result.text;
        return DiscordWebhookURLResolution::available(result.text, DiscordWebhookURLSource::secureStorage);
    case SecureValueReadResult::Kind::missing:
        m_cachedURL.reset();
        return DiscordWebhookURLResolution::missing();
    case SecureValueReadResult::Kind::temporarilyUnavailable:
        break;
    }
    if (m_cachedURL)
        return DiscordWebhookURLResolution::available(*m_cachedURL, DiscordWebhookURLSource::memory);
    return DiscordWebhookURLResolution::temporarilyUnavailable();
}

} // namespace vantorel
