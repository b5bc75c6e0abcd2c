#include "support/FakeSecretStore.h"

namespace vantorel {

std::optional<std::int32_t> FakeSecretStore::takeScriptedFailure(Operation operation)
{
    ++m_calls[operation];
    auto& queue = m_failures[operation];
    if (queue.empty())
        return std::nullopt;
    const std::int32_t status = queue.front();
    queue.pop_front();
    return status;
}

void FakeSecretStore::save(const QString& service, const QString& account, const QByteArray& value)
{
    const std::lock_guard guard(m_mutex);
    if (const auto status = takeScriptedFailure(Operation::save))
        throw SecretStoreError(*status, QStringLiteral("scripted"));
    if (m_locked)
        throw SecretStoreError(Status::interactionNotAllowed, QStringLiteral("locked"));
    m_items[{service, account}] = value;
}

void FakeSecretStore::remove(const QString& service, const QString& account)
{
    const std::lock_guard guard(m_mutex);
    if (const auto status = takeScriptedFailure(Operation::remove))
        throw SecretStoreError(*status, QStringLiteral("scripted"));
    const auto item = m_items.find({service, account});
    if (item == m_items.end())
        return;
    if (m_locked)
        throw SecretStoreError(Status::interactionNotAllowed, QStringLiteral("locked"));
    m_items.erase(item);
}

bool FakeSecretStore::contains(const QString& service, const QString& account)
{
    const std::lock_guard guard(m_mutex);
    if (takeScriptedFailure(Operation::contains))
        return false;
    return m_items.contains({service, account});
}

SecretStore::ReadResult FakeSecretStore::read(const QString& service, const QString& account)
{
    const std::lock_guard guard(m_mutex);
    if (const auto status = takeScriptedFailure(Operation::read))
        return ReadResult::unavailable(*status);
    const auto item = m_items.find({service, account});
    if (item == m_items.end())
        return ReadResult::notFound();
    if (m_locked)
        return ReadResult::unavailable(Status::interactionNotAllowed);
    return ReadResult::found(item->second);
}

void FakeSecretStore::failNext(Operation operation, std::int32_t status)
{
    const std::lock_guard guard(m_mutex);
    m_failures[operation].push_back(status);
}

void FakeSecretStore::setLocked(bool locked)
{
    const std::lock_guard guard(m_mutex);
    m_locked = locked;
}

void FakeSecretStore::put(const QString& service, const QString& account, const QByteArray& value)
{
    const std::lock_guard guard(m_mutex);
    m_items[{service, account}] = value;
}

std::optional<QByteArray> FakeSecretStore::stored(const QString& service, const QString& account) const
{
    const std::lock_guard guard(m_mutex);
    const auto item = m_items.find({service, account});
    if (item == m_items.end())
        return std::nullopt;
    return item->second;
}

int FakeSecretStore::callCount(Operation operation) const
{
    const std::lock_guard guard(m_mutex);
    const auto count = m_calls.find(operation);
    return count == m_calls.end() ? 0 : count->second;
}

} // namespace vantorel
