#include "app/platform/KeychainStore.h"

#include "app/platform/KeychainError.h"
#include "core/foundation/AppDiagnostics.h"
#include "core/foundation/SecretStore.h"

#include <QStringDecoder>

namespace vantorel {

namespace {

// Strict: malformed or truncated UTF-8 is refused instead of being repaired.
std::optional<QString> decodedUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

KeychainStore::KeychainStore(std::shared_ptr<SecretStore> store, Logger log)
    : m_store(std::move(store))
    , m_log(log ? std::move(log) : Logger(&AppDiagnostics::log))
{
}

void KeychainStore::save(const QString& value, const QString& service) const
{
    try {
        m_store->save(service, account, value.toUtf8());
    } catch (const SecretStoreError& error) {
        throw KeychainError::unhandled(error.status());
    }
}

void KeychainStore::deleteItem(const QString& service) const
{
    try {
        m_store->remove(service, account);
    } catch (const SecretStoreError& error) {
        if (error.status() != SecretStore::Status::itemNotFound)
            throw KeychainError::unhandled(error.status());
    }
}

bool KeychainStore::contains(const QString& service) const
{
    return m_store->contains(service, account);
}

SecureValueReadResult KeychainStore::readResult(const QString& service) const
{
    const SecretStore::ReadResult result = m_store->read(service, account);
    switch (result.kind) {
    case SecretStore::ReadResult::Kind::missing:
        return SecureValueReadResult::missing();
    case SecretStore::ReadResult::Kind::value:
        if (std::optional<QString> text = decodedUtf8(result.value))
            return SecureValueReadResult::value(std::move(*text));
        m_log(QStringLiteral("keychain.read.unavailable service=") + service + QStringLiteral(" reason=invalidData"));
        return SecureValueReadResult::temporarilyUnavailable();
    case SecretStore::ReadResult::Kind::temporarilyUnavailable:
        break;
    }
    m_log(QStringLiteral("keychain.read.unavailable service=") + service + QStringLiteral(" status=")
          + QString::number(result.status));
    return SecureValueReadResult::temporarilyUnavailable();
}

bool KeychainStore::serviceAvailable() const
{
    const SecretStore::ReadResult result = m_store->read(openAIAPIKeyService, account);
    return result.kind != SecretStore::ReadResult::Kind::temporarilyUnavailable
           || result.status != SecretStore::Status::notAvailable;
}

} // namespace vantorel
