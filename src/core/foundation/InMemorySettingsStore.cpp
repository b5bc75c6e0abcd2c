#include "core/foundation/InMemorySettingsStore.h"

namespace vantorel {

std::optional<SettingsStore::Value> InMemorySettingsStore::value(const QString& key) const
{
    const auto it = m_values.find(key);
    if (it == m_values.end()) {
        return std::nullopt;
    }
    return it->second;
}

void InMemorySettingsStore::set(const QString& key, const Value& value)
{
    m_values.insert_or_assign(key, value);
}

void InMemorySettingsStore::remove(const QString& key)
{
    m_values.erase(key);
}

} // namespace vantorel
