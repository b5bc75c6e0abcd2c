#pragma once

#include "core/rules/SecureValueReadResult.h"

#include <QString>

#include <functional>
#include <memory>

namespace vantorel {

class SecretStore;

// The application's own small secrets (the OpenAI API key, the Discord webhook URL), one item
// per service string under the account "default", the value stored as UTF-8. Stateless and
// safe from any thread; every operation may block on the secret store for its bounded time, so
// reads belong off the GUI thread.
class KeychainStore
{
public:
    using Logger = std::function<void(const QString&)>;

    static inline const QString account = QStringLiteral("default");
    static inline const QString openAIAPIKeyService = QStringLiteral("vantorel.monitor.openai-api-key");
    static inline const QString discordWebhookURLService = QStringLiteral("vantorel.monitor.discord-webhook-url");

    // `log` receives the diagnostics lines of unreadable items (AppDiagnostics::log by default).
    explicit KeychainStore(std::shared_ptr<SecretStore> store, Logger log = {});

    // Stores the value, replacing an existing one. Throws KeychainError.
    void save(const QString& value, const QString& service) const;
    // Removes the item; an absent item is no error. Throws KeychainError.
    void deleteItem(const QString& service) const;
    // Whether the item exists, never asking the user; a locked item counts as existing.
    bool contains(const QString& service) const;
    // Reads the value. Never throws: a locked store, a failing store or data that is not UTF-8
    // answer `temporarilyUnavailable` (and are logged without the secret), so they are never
    // taken for a deleted item.
    SecureValueReadResult readResult(const QString& service) const;
    // False when no secret service answers at all (none running, or none answering within the
    // store's time-out), as opposed to a locked or failing one. Never asks the user anything.
    bool serviceAvailable() const;

private:
    std::shared_ptr<SecretStore> m_store;
    Logger m_log;
};

} // namespace vantorel
