#pragma once

#include "core/foundation/Json.h"
#include "core/foundation/SettingsStore.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>

namespace vantorel {

// The settings store of the application: one JSON file mapping each key to a tagged value,
// {"type": "bool" | "integer" | "double" | "string" | "data" | "date" | "stringList", "value": …},
// replaced atomically (mode 0600). A file that cannot be read or parsed is moved aside as
// "<file>.damaged-<UTC time>", logged, and the store starts empty. An entry whose tag or value
// does not decode reads as absent but is kept in the file. Copies that an interrupted save left
// beside the file are removed at start.
//
// Writes happen behind: set and remove change memory at once and schedule one write of the whole
// file for the next event-loop turn. The turn hands an implicitly shared copy of the entries to a
// writer thread of the store's own, which serialises and writes it at a lower priority than the
// thread that made the store, so the GUI thread never serialises the file nor competes with it.
// One write is in flight at a time and a newer state replaces one still waiting, so a burst of
// changes costs at most two file writes. flush() (also run by the
// destructor) writes what is pending and waits for it. A failed write is logged, reported through
// writeFailure() and, once per run of failures, on standard error.
class JsonFileSettingsStore final : public SettingsStore
{
public:
    // Larger files are treated as damaged rather than read into memory.
    static constexpr qint64 maximumFileSize = 64 * 1024 * 1024;

    // `now` names the moved-aside file; the system clock when null.
    explicit JsonFileSettingsStore(const QString& filePath = defaultFilePath(), std::function<Date()> now = {});

    // The file read and decoded without changing anything on disk, so that it can be done on
    // another thread while the GUI starts.
    struct Contents;
    static std::shared_ptr<Contents> read(const QString& filePath);
    // The data value stored under `key` in what read() returned, as dataValue() of a store over it
    // would give it; none when absent, not data or when the file was damaged. Any thread.
    static std::optional<QByteArray> storedData(const Contents& contents, const QString& key);
    // A store over the contents read from `filePath`: moves the file aside if they were damaged.
    JsonFileSettingsStore(std::shared_ptr<Contents> contents, const QString& filePath,
                          std::function<Date()> now = {});

    // $XDG_CONFIG_HOME/Vantorel/defaults.json.
    static QString defaultFilePath();

    QString filePath() const { return m_filePath; }
    ~JsonFileSettingsStore() override;
    JsonFileSettingsStore(const JsonFileSettingsStore&) = delete;
    JsonFileSettingsStore& operator=(const JsonFileSettingsStore&) = delete;

    // False after a write that failed; the value is still held in memory. Reflects the writes
    // finished so far (flush first to include the latest change).
    bool lastWriteSucceeded() const;
    // Writes the pending state now and waits until the file holds it. Call at quit.
    void flush();
    // Files written so far.
    int completedWriteCount() const;

    std::optional<Value> value(const QString& key) const override;
    void set(const QString& key, const Value& value) override;
    void remove(const QString& key) override;
    void setEncodedData(const QString& key, std::function<QByteArray()> encode, bool alreadyStored = false) override;
    QString writeFailure() const override;
    void setWriteFailureObserver(std::function<void()> observer) override;

    struct Entry;
    struct EncodedData;

private:
    void removeSaveLeftovers();
    void moveAside(const QString& reason);
    void scheduleWrite();
    void handOverPendingWrite();
    void writeFailureChanged();
    qsizetype indexOf(const QString& key) const;

    struct Writer;

    QString m_filePath;
    std::function<Date()> m_now;
    // In the file's order; small enough (tens of keys) that a linear search is the quickest.
    QList<Entry> m_entries;
    bool m_writeScheduled = false;
    std::function<void()> m_writeFailureObserver;
    std::unique_ptr<QObject> m_context;
    std::unique_ptr<Writer> m_writer;
};

} // namespace vantorel
