#include "core/foundation/SettingsStore.h"

namespace vantorel {

namespace {
template<typename T>
std::optional<T> typed(const std::optional<SettingsStore::Value>& value)
{
    if (!value) {
        return std::nullopt;
    }
    if (const T* held = std::get_if<T>(&*value)) {
        return *held;
    }
    return std::nullopt;
}
} // namespace

std::optional<bool> SettingsStore::boolValue(const QString& key) const { return typed<bool>(value(key)); }
std::optional<std::int64_t> SettingsStore::integerValue(const QString& key) const { return typed<std::int64_t>(value(key)); }
std::optional<double> SettingsStore::doubleValue(const QString& key) const { return typed<double>(value(key)); }
std::optional<QString> SettingsStore::stringValue(const QString& key) const { return typed<QString>(value(key)); }
std::optional<QByteArray> SettingsStore::dataValue(const QString& key) const { return typed<QByteArray>(value(key)); }
std::optional<Date> SettingsStore::dateValue(const QString& key) const { return typed<Date>(value(key)); }
std::optional<QStringList> SettingsStore::stringListValue(const QString& key) const { return typed<QStringList>(value(key)); }

} // namespace vantorel
