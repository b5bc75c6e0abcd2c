#pragma once

#include "core/foundation/Json.h"
#include "core/foundation/SettingsStore.h"

#include <functional>

namespace vantorel {

// The settings store of the application: one JSON file mapping each key to a tagged value,
// {"type": "bool" | "integer" | "double" | "string" | "data" | "date" | "stringList", "value": …},
// rewritten atomically (mode 0600) on every change. A file that cannot be read or parsed is moved
// aside as "<file>.damaged-<UTC time>", logged, and the store starts empty. An entry whose tag or
// value does not decode reads as absent but is kept in the file.
class JsonFileSettingsStore final : public SettingsStore
{
public:
    // Larger files are treated as damaged rather than read into memory.
    static constexpr qint64 maximumFileSize = 64 * 1024 * 1024;

    // `now` names the moved-aside file; the system clock when null.
    explicit JsonFileSettingsStore(const QString& filePath = defaultFilePath(), std::function<Date()> now = {});

    // $XDG_CONFIG_HOME/Vantorel/defaults.json.
    static QString defaultFilePath();

    QString filePath() const { return m_filePath; }
    // False after a change that could not be written; the value is still held in memory.
    bool lastWriteSucceeded() const { return m_lastWriteSucceeded; }

    std::optional<Value> value(const QString& key) const override;
    void set(const QString& key, const Value& value) override;
    void remove(const QString& key) override;

private:
    void load();
    void moveAside(const QString& reason);
    void save();

    QString m_filePath;
    std::function<Date()> m_now;
    Json m_entries = Json::object();
    bool m_lastWriteSucceeded = true;
};

} // namespace vantorel
