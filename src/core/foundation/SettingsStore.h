#pragma once

#include "core/foundation/Date.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <variant>

namespace vantorel {

// Typed key-value store for persisted application state (the settings-store keys beginning
// "Vantorel."). A value stored under one type reads as absent through another type's getter.
// Implementations are used from the GUI thread only.
class SettingsStore
{
public:
    using Value = std::variant<bool, std::int64_t, double, QString, QByteArray, Date, QStringList>;

    virtual ~SettingsStore() = default;

    virtual std::optional<Value> value(const QString& key) const = 0;
    // Replaces the value; persistent implementations write through before returning.
    virtual void set(const QString& key, const Value& value) = 0;
    virtual void remove(const QString& key) = 0;
    // Stores the bytes `encode` gives as a data value, for long values the caller can rebuild from
    // what it holds anyway: a store that writes a file calls `encode` on its writer thread for each
    // write and keeps no copy of the bytes in between (reading the value calls it too). `encode`
    // must give the same bytes every time, not throw, and be safe to call from any thread.
    // `alreadyStored` says the value stored now means the same, so nothing needs writing yet. This
    // implementation stores encode()'s bytes at once.
    virtual void setEncodedData(const QString& key, std::function<QByteArray()> encode, bool alreadyStored = false)
    {
        (void)alreadyStored;
        set(key, encode());
    }

    // Starts writing the changes made so far at once, without waiting for the write to end, where
    // the implementation would otherwise gather them for a while: for a change the user made by
    // hand, which must not be lost if the process ends right after. Stores that write through
    // have nothing to do.
    virtual void writeNow() {}
    // Writes the changes made so far once `pause` has passed without another such call, rather
    // than at once or with the write-behind: for text the user is typing, so that a word costs one
    // write when typing pauses instead of one a key. writeNow and a flush write them sooner.
    // Stores that write through have nothing to do.
    virtual void writeOncePaused(std::chrono::milliseconds pause) { (void)pause; }

    // Why the latest write to storage failed (the system's error text); empty when it succeeded
    // or the store keeps nothing on disk.
    virtual QString writeFailure() const { return {}; }
    // Called on the GUI thread whenever writeFailure() changes; null stops the calls.
    virtual void setWriteFailureObserver(std::function<void()> observer) { (void)observer; }

    std::optional<bool> boolValue(const QString& key) const;
    std::optional<std::int64_t> integerValue(const QString& key) const;
    std::optional<double> doubleValue(const QString& key) const;
    std::optional<QString> stringValue(const QString& key) const;
    std::optional<QByteArray> dataValue(const QString& key) const;
    std::optional<Date> dateValue(const QString& key) const;
    std::optional<QStringList> stringListValue(const QString& key) const;
    bool contains(const QString& key) const { return value(key).has_value(); }
};

} // namespace vantorel
