#pragma once

#include "core/foundation/Json.h"
#include "core/foundation/OneShotTimer.h"
#include "core/foundation/SettingsStore.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

namespace vantorel {

// The settings store of the application: one JSON file mapping each key to a tagged value,
// {"type": "bool" | "integer" | "double" | "string" | "data" | "date" | "stringList", "value": …}
// (SettingsValueCoding), replaced atomically (mode 0600). A file that cannot be read or parsed is moved aside as
// "<file>.damaged-<UTC time>", logged, and the store starts empty. An entry whose tag or value
// does not decode reads as absent but is kept in the file. Copies that an interrupted save left
// beside the file are removed at start.
//
// Writes happen behind: set and remove change memory at once, and writeDelay after the first
// change not yet written the store hands an implicitly shared copy of the entries to a writer
// thread of its own, which serialises and writes the whole file at a lower priority than the
// thread that made the store, so the GUI thread never serialises the file nor competes with it.
// The delay lets the changes of one reading, made over a few turns, go out in one write; a change
// the user made by hand is handed over at once (writeNow), text being typed once typing pauses
// (writeOncePaused). One write is in flight at a time and a newer state replaces one still
// waiting. flush() writes what is pending and waits for it; so does the destructor, for the
// changes not yet handed over.
//
// A failed write is logged, reported through writeFailure() and, once per run of failures, on
// standard error. What it could not write is kept and written again: with the next change, after a
// back-off while writes keep failing, on retryUnsaved() and on flush(), until a write succeeds.
class JsonFileSettingsStore final : public SettingsStore
{
public:
    // Larger files are treated as damaged rather than read into memory.
    static constexpr qint64 maximumFileSize = 64 * 1024 * 1024;
    // From the first change not yet written to the write that takes it and every later one.
    static constexpr std::chrono::milliseconds writeDelay{1'000};
    // The wait before writing again after a failed write, doubled after each further failure.
    static constexpr std::chrono::milliseconds firstRetryDelay{5'000};
    static constexpr std::chrono::milliseconds longestRetryDelay{300'000};

    // `now` names the moved-aside file; the system clock when null. `timer` times the delayed
    // writes and the retries; a QTimer when null.
    explicit JsonFileSettingsStore(const QString& filePath = defaultFilePath(), std::function<Date()> now = {},
                                   std::unique_ptr<OneShotTimer> timer = {});

    // The file read and decoded without changing anything on disk, so that it can be done on
    // another thread while the GUI starts.
    struct Contents;
    static std::shared_ptr<Contents> read(const QString& filePath);
    // The data value stored under `key` in what read() returned, as dataValue() of a store over it
    // would give it; none when absent, not data or when the file was damaged. Any thread.
    static std::optional<QByteArray> storedData(const Contents& contents, const QString& key);
    // A store over the contents read from `filePath`: moves the file aside if they were damaged.
    JsonFileSettingsStore(std::shared_ptr<Contents> contents, const QString& filePath, std::function<Date()> now = {},
                          std::unique_ptr<OneShotTimer> timer = {});

    // $XDG_CONFIG_HOME/Vantorel/defaults.json.
    static QString defaultFilePath();

    QString filePath() const { return m_filePath; }
    ~JsonFileSettingsStore() override;
    JsonFileSettingsStore(const JsonFileSettingsStore&) = delete;
    JsonFileSettingsStore& operator=(const JsonFileSettingsStore&) = delete;

    // False after a write that failed; the value is still held in memory. Reflects the writes
    // finished so far (flush first to include the latest change).
    bool lastWriteSucceeded() const;
    // Writes the pending state now, or again what the file lacks after a failed write this thread
    // has heard of, and waits until the write has ended.
    void flush();
    // flush(), then says on standard error and in the log when the file still lacks changes, which
    // are lost when the process ends. Call at quit.
    void flushAtQuit();
    // Writes again now what a failed write left out, and starts the back-off afresh; nothing when
    // the file holds everything. For moments when storage may have come back (session activated,
    // wake from sleep).
    void retryUnsaved();
    // Files written so far.
    int completedWriteCount() const;

    std::optional<Value> value(const QString& key) const override;
    void set(const QString& key, const Value& value) override;
    void remove(const QString& key) override;
    void setEncodedData(const QString& key, std::function<QByteArray()> encode, bool alreadyStored = false) override;
    void writeNow() override;
    void writeOncePaused(std::chrono::milliseconds pause) override;
    QString writeFailure() const override;
    void setWriteFailureObserver(std::function<void()> observer) override;

    struct Entry;
    struct EncodedData;

private:
    void removeSaveLeftovers();
    void moveAside(const QString& reason);
    void scheduleWrite();
    void handOver();
    void writeFinished(bool failed, bool failureChanged, quint64 written);
    bool fileLacksChanges() const;
    qsizetype indexOf(const QString& key) const;

    struct Writer;

    QString m_filePath;
    std::function<Date()> m_now;
    // In the file's order; small enough (tens of keys) that a linear search is the quickest.
    QList<Entry> m_entries;
    // Changes made since the last hand-over; the timer is then armed for writeDelay.
    bool m_changed = false;
    // Hand-overs to the writer so far, and whether the write of the latest one failed, as heard.
    quint64 m_handOvers = 0;
    bool m_latestHandOverFailed = false;
    // The back-off of the last retry armed; zero while writes succeed.
    std::chrono::milliseconds m_retryDelay{0};
    std::function<void()> m_writeFailureObserver;
    std::unique_ptr<QObject> m_context;
    std::unique_ptr<Writer> m_writer;
    // Last, so that it goes first: its callback uses the members above.
    std::unique_ptr<OneShotTimer> m_timer;
};

} // namespace vantorel
