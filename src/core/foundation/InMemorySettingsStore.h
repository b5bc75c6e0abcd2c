#pragma once

#include "core/foundation/SettingsStore.h"

#include <map>

namespace vantorel {

// A settings store that keeps its values in memory only; for tests and previews.
class InMemorySettingsStore final : public SettingsStore
{
public:
    std::optional<Value> value(const QString& key) const override;
    void set(const QString& key, const Value& value) override;
    void remove(const QString& key) override;

private:
    std::map<QString, Value> m_values;
};

} // namespace vantorel
