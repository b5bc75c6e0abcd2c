#pragma once

namespace vantorel {

// Where an available webhook URL came from: read just now from the secret store, or the URL
// remembered from the last good read because the store could not be read.
enum class DiscordWebhookURLSource { secureStorage, memory };

} // namespace vantorel
