#include "core/foundation/JsonFileSettingsStore.h"

#include "core/foundation/AppDiagnostics.h"
#include "core/foundation/ThreadPriority.h"
#include "core/foundation/OneShotTimer.h"
#include "core/foundation/SettingsValueCoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_set>

namespace vantorel {

namespace {

// "20260301T081500Z": the ISO text without separators, safe in a file name.
QString fileNameStamp(Date date)
{
    QString text = date.iso8601();
    text.remove(QLatin1Char('-'));
    text.remove(QLatin1Char(':'));
    return text;
}

// Replaces the file with `bytes`; the old file stays in place until the new one is on disk.
// Returns the reason the write failed, empty when the file holds the bytes.
QString writeFile(const QString& filePath, const QByteArray& bytes)
{
    auto fail = [&filePath](const QString& error) {
        AppDiagnostics::log(QStringLiteral("settings.write.failed path=") + filePath + QStringLiteral(" error=") + error);
        return error.isEmpty() ? QStringLiteral("unknown error") : error;
    };
    const QString directory = QFileInfo(filePath).absolutePath();
    if (!QFileInfo::exists(directory)) {
        errno = 0;
        if (!QDir().mkpath(directory)) {
            const int error = errno;
            return fail(error != 0 ? qt_error_string(error) : QStringLiteral("cannot create ") + directory);
        }
        QFile::setPermissions(directory, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    // Qt's own error text for a failed write is "Unknown error": the reason is the errno of the
    // call that failed, read before anything else can change it. Unbuffered, so that it is the
    // write itself that fails rather than a later flush.
    QSaveFile file(filePath);
    auto reason = [&file](int error) { return error != 0 ? qt_error_string(error) : file.errorString(); };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return fail(reason(errno));
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    errno = 0;
    if (file.write(bytes) != bytes.size()) {
        const QString error = reason(errno);
        file.cancelWriting();
        return fail(error);
    }
    errno = 0;
    if (!file.commit()) {
        return fail(reason(errno));
    }
    return {};
}

// Bitwise for numbers: NaN equals itself and -0.0 differs from 0.0, as their stored forms do.
bool sameValue(const SettingsStore::Value& a, const SettingsStore::Value& b)
{
    if (a.index() != b.index()) {
        return false;
    }
    auto bits = [](double value) { return std::bit_cast<std::uint64_t>(value); };
    if (const double* x = std::get_if<double>(&a)) {
        return bits(*x) == bits(std::get<double>(b));
    }
    if (const Date* x = std::get_if<Date>(&a)) {
        return bits(x->timeIntervalSinceReferenceDate()) == bits(std::get<Date>(b).timeIntervalSinceReferenceDate());
    }
    return a == b;
}

} // namespace

// Data whose bytes are made when the file is written (setEncodedData).
struct JsonFileSettingsStore::EncodedData
{
    std::function<QByteArray()> encode;
};

// One key of the file: a value that decoded, or the entry as it was found when it did not (kept
// so that a newer version's entries survive), or data made on demand.
struct JsonFileSettingsStore::Entry
{
    QString key;
    std::variant<Value, std::shared_ptr<const Json>, std::shared_ptr<const EncodedData>> stored;
};

namespace {

qsizetype entryIndex(const QList<JsonFileSettingsStore::Entry>& entries, const QString& key)
{
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries.at(i).key == key) {
            return i;
        }
    }
    return -1;
}


// The whole file's bytes, built on the writer thread: json::write of the object of every entry,
// with the data values' Base64 written straight into the text rather than through a tree.
// `expectedSize` is reserved up front.
QByteArray fileBytes(const QList<JsonFileSettingsStore::Entry>& entries, qsizetype expectedSize)
{
    QByteArray bytes;
    bytes.reserve(expectedSize);
    bytes.append('{');
    for (const auto& entry : entries) {
        if (bytes.size() > 1)
            bytes.append(',');
        bytes.append(json::write(Json(json::str(entry.key)), json::Form::store));
        bytes.append(':');
        const auto* value = std::get_if<SettingsStore::Value>(&entry.stored);
        if (const auto* data = value ? std::get_if<QByteArray>(value) : nullptr) {
            SettingsValueCoding::appendData(bytes, *data);
        } else if (value) {
            bytes.append(json::write(SettingsValueCoding::encode(*value), json::Form::store));
        } else if (const auto* encoded =
                       std::get_if<std::shared_ptr<const JsonFileSettingsStore::EncodedData>>(&entry.stored)) {
            SettingsValueCoding::appendData(bytes, (*encoded)->encode());
        } else {
            bytes.append(json::write(*std::get<std::shared_ptr<const Json>>(entry.stored), json::Form::store));
        }
    }
    bytes.append('}');
    return bytes;
}

} // namespace

// Serialises and writes the latest handed-over entries on its own thread, one file at a time.
struct JsonFileSettingsStore::Writer
{
    // `finished` hears, on the context's thread, of each failed write and of each change of the
    // failure: (failed, failure changed, the hand-over written).
    Writer(QString filePath, QObject* context, std::function<void(bool, bool, quint64)> finished)
        : path(std::move(filePath))
        , context(context)
        , finished(std::move(finished))
        , thread([this] { run(); })
    {
    }

    ~Writer()
    {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        thread.join();
    }

    void hand(QList<Entry> entries, quint64 handOver)
    {
        {
            std::lock_guard lock(mutex);
            pending = std::move(entries);
            pendingHandOver = handOver;
        }
        wake.notify_all();
    }

    void waitUntilIdle()
    {
        std::unique_lock lock(mutex);
        idle.wait(lock, [this] { return !pending && !busy; });
    }

    QString currentFailure()
    {
        std::lock_guard lock(mutex);
        return failure;
    }

    void run()
    {
        // A whole-file write is never urgent.
        lowerCurrentThreadPriority();
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return pending || stopping; });
            if (!pending) {
                return;
            }
            const QList<Entry> entries = std::move(*pending);
            const quint64 handOver = pendingHandOver;
            pending.reset();
            busy = true;
            lock.unlock();
            const QString error = write(entries);
            succeeded = error.isEmpty();
            ++written;
            lock.lock();
            const bool changed = error != failure;
            // Said here, not on the GUI thread, so that a failure at quit still reaches it; once
            // when writing starts failing, not again for every failed write after it.
            if (!error.isEmpty() && failure.isEmpty()) {
                std::fputs(qUtf8Printable(QStringLiteral("vantorel: settings could not be saved to ") + path
                                          + QStringLiteral(": ") + error + QLatin1Char('\n')),
                           stderr);
            }
            failure = error;
            busy = false;
            const bool failed = !error.isEmpty();
            if (failed || changed) {
                // Told on the GUI thread; the context outlives this thread.
                QMetaObject::invokeMethod(
                    context, [this, failed, changed, handOver] { finished(failed, changed, handOver); },
                    Qt::QueuedConnection);
            }
            idle.notify_all();
        }
    }

    QString write(const QList<Entry>& entries)
    {
        QByteArray bytes;
        try {
            bytes = fileBytes(entries, lastFileSize + fileSizeSlack);
            lastFileSize = bytes.size();
        } catch (const JsonEncodeError& error) {
            const QString reason = QString::fromUtf8(error.what());
            AppDiagnostics::log(QStringLiteral("settings.write.failed path=") + path + QStringLiteral(" error=") + reason);
            return reason;
        }
        return writeFile(path, bytes);
    }

    // Room beyond the last file's size for the next one, which is usually a sample or two longer.
    static constexpr qsizetype fileSizeSlack = 16 * 1024;

    const QString path;
    QObject* const context;
    // Only the writer thread uses it.
    qsizetype lastFileSize = 0;
    const std::function<void(bool, bool, quint64)> finished;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::optional<QList<Entry>> pending;
    quint64 pendingHandOver = 0;
    bool busy = false;
    bool stopping = false;
    QString failure;
    std::atomic<bool> succeeded{true};
    std::atomic<int> written{0};
    std::thread thread;
};

struct JsonFileSettingsStore::Contents
{
    QList<Entry> entries;
    // Why the file is to be moved aside, when it is.
    std::optional<QString> damage;
};

namespace {

// Fills `contents` from the file's text.
void parseContents(const QByteArray& text, JsonFileSettingsStore::Contents& contents)
{
    auto document = json::parse(text);
    if (!document) {
        contents.damage = QStringLiteral("notJSON");
        return;
    }
    if (!document->is_object()) {
        contents.damage = QStringLiteral("notAnObject");
        return;
    }
    // Decoded once here; a decoded value is written back in its own form, so a number keeps its
    // type even where the file spelled it in a way the writer would not (-0.0, -0).
    contents.entries.reserve(static_cast<qsizetype>(document->size()));
    // Looked for in the text once, when the first zero that may have been spelled "-0" comes.
    std::optional<std::unordered_set<std::string>> negativeZeroKeys;
    for (auto it = document->begin(); it != document->end(); ++it) {
        bool negativeZero = false;
        if (SettingsValueCoding::readAsIntegerZero(it.value())) {
            if (!negativeZeroKeys)
                negativeZeroKeys = SettingsValueCoding::negativeZeroKeys(text);
            negativeZero = negativeZeroKeys->contains(it.key());
        }
        auto decoded = SettingsValueCoding::decode(it.value(), negativeZero);
        if (decoded) {
            contents.entries.append(JsonFileSettingsStore::Entry{json::qstr(it.key()), std::move(*decoded)});
        } else {
            contents.entries.append(JsonFileSettingsStore::Entry{json::qstr(it.key()), std::make_shared<const Json>(std::move(it.value()))});
        }
    }
}

} // namespace

JsonFileSettingsStore::JsonFileSettingsStore(const QString& filePath, std::function<Date()> now,
                                             std::unique_ptr<OneShotTimer> timer)
    : JsonFileSettingsStore(read(filePath), filePath, std::move(now), std::move(timer))
{
}

JsonFileSettingsStore::JsonFileSettingsStore(std::shared_ptr<Contents> contents, const QString& filePath,
                                             std::function<Date()> now, std::unique_ptr<OneShotTimer> timer)
    : m_filePath(filePath)
    , m_now(std::move(now))
    , m_context(std::make_unique<QObject>())
    , m_timer(timer ? std::move(timer) : OneShotTimer::make())
{
    removeSaveLeftovers();
    if (contents->damage)
        moveAside(*contents->damage);
    else
        m_entries = std::move(contents->entries);
    m_writer =
        std::make_unique<Writer>(m_filePath, m_context.get(), [this](bool failed, bool changed, quint64 written) {
            writeFinished(failed, changed, written);
        });
}

JsonFileSettingsStore::~JsonFileSettingsStore()
{
    // What a failed write left out was tried again at quit (flushAtQuit); trying once more here
    // would only log the same failure again.
    if (m_changed)
        handOver();
    m_writer->waitUntilIdle();
}

bool JsonFileSettingsStore::lastWriteSucceeded() const
{
    return m_writer->succeeded;
}

int JsonFileSettingsStore::completedWriteCount() const
{
    return m_writer->written;
}

void JsonFileSettingsStore::flush()
{
    if (fileLacksChanges())
        handOver();
    m_writer->waitUntilIdle();
}

void JsonFileSettingsStore::flushAtQuit()
{
    flush();
    const QString failure = writeFailure();
    if (failure.isEmpty())
        return;
    AppDiagnostics::log(QStringLiteral("settings.unsavedAtQuit path=") + m_filePath + QStringLiteral(" error=")
                        + failure);
    std::fputs(qUtf8Printable(QStringLiteral("vantorel: quitting with settings changes that could not be saved to ")
                              + m_filePath + QStringLiteral(": ") + failure + QLatin1Char('\n')),
               stderr);
}

void JsonFileSettingsStore::writeNow()
{
    // A retry after a failed write keeps its back-off: only what changed since goes out now.
    if (m_changed)
        handOver();
}

void JsonFileSettingsStore::writeOncePaused(std::chrono::milliseconds pause)
{
    // Each key moves the deadline on; a reading's changes waiting for the write-behind go with the
    // text, in the same write.
    if (m_changed)
        m_timer->start(pause, [this] { handOver(); });
}

void JsonFileSettingsStore::retryUnsaved()
{
    if (!fileLacksChanges())
        return;
    m_retryDelay = {};
    handOver();
}

bool JsonFileSettingsStore::fileLacksChanges() const
{
    return m_changed || m_latestHandOverFailed;
}

QString JsonFileSettingsStore::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Vantorel/defaults.json");
}

QString JsonFileSettingsStore::writeFailure() const
{
    return m_writer->currentFailure();
}

void JsonFileSettingsStore::setWriteFailureObserver(std::function<void()> observer)
{
    m_writeFailureObserver = std::move(observer);
}

void JsonFileSettingsStore::writeFinished(bool failed, bool failureChanged, quint64 written)
{
    // A write of an older hand-over says nothing about what the file lacks: a newer one is coming.
    const bool latest = written == m_handOvers;
    m_latestHandOverFailed = failed && latest;
    if (m_latestHandOverFailed && !m_changed) {
        // A change waiting for its write retries sooner; otherwise the back-off doubles.
        m_retryDelay = m_retryDelay.count() == 0 ? firstRetryDelay : std::min(2 * m_retryDelay, longestRetryDelay);
        m_timer->start(m_retryDelay, [this] { handOver(); });
    } else if (!failed && latest) {
        m_retryDelay = {};
    }
    if (failureChanged && m_writeFailureObserver) {
        m_writeFailureObserver();
    }
}

qsizetype JsonFileSettingsStore::indexOf(const QString& key) const
{
    return entryIndex(m_entries, key);
}

std::optional<SettingsStore::Value> JsonFileSettingsStore::value(const QString& key) const
{
    const qsizetype index = indexOf(key);
    if (index < 0) {
        return std::nullopt;
    }
    const auto& stored = m_entries.at(index).stored;
    if (const auto* held = std::get_if<Value>(&stored)) {
        return *held;
    }
    if (const auto* data = std::get_if<std::shared_ptr<const EncodedData>>(&stored)) {
        return (*data)->encode();
    }
    return std::nullopt;
}

void JsonFileSettingsStore::set(const QString& key, const Value& value)
{
    const qsizetype index = indexOf(key);
    if (index < 0) {
        m_entries.append(Entry{key, value});
        scheduleWrite();
        return;
    }
    const auto* held = std::get_if<Value>(&m_entries.at(index).stored);
    // An unchanged value is not rewritten, unless the file still lacks an earlier change.
    if (held && sameValue(*held, value) && lastWriteSucceeded()) {
        return;
    }
    m_entries[index].stored = value;
    scheduleWrite();
}

void JsonFileSettingsStore::setEncodedData(const QString& key, std::function<QByteArray()> encode, bool alreadyStored)
{
    auto data = std::make_shared<const EncodedData>(EncodedData{std::move(encode)});
    const qsizetype index = indexOf(key);
    if (index < 0) {
        m_entries.append(Entry{key, std::move(data)});
    } else {
        m_entries[index].stored = std::move(data);
        if (alreadyStored && lastWriteSucceeded()) {
            return;
        }
    }
    scheduleWrite();
}

void JsonFileSettingsStore::remove(const QString& key)
{
    const qsizetype index = indexOf(key);
    if (index >= 0) {
        m_entries.removeAt(index);
        scheduleWrite();
    }
}

// A save killed after QSaveFile linked its complete copy into the directory ("<file>.XXXXXX") but
// before the rename leaves that copy behind; nothing else would ever remove it.
void JsonFileSettingsStore::removeSaveLeftovers()
{
    const QFileInfo target(m_filePath);
    const QString name = target.fileName();
    const QRegularExpression leftover(QStringLiteral("^%1\\.[A-Za-z0-9]{6}$").arg(QRegularExpression::escape(name)));
    const QDir directory = target.absoluteDir();
    for (const QString& entry : directory.entryList({name + QStringLiteral(".??????")}, QDir::Files | QDir::Hidden)) {
        if (leftover.match(entry).hasMatch())
            QFile::remove(directory.filePath(entry));
    }
}

std::shared_ptr<JsonFileSettingsStore::Contents> JsonFileSettingsStore::read(const QString& filePath)
{
    auto contents = std::make_shared<Contents>();
    QFile file(filePath);
    if (!file.exists()) {
        return contents;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        contents->damage = QStringLiteral("unreadable: ") + file.errorString();
        return contents;
    }
    // The size is checked before reading: a bounded read would reserve the whole bound up front.
    if (file.size() > maximumFileSize) {
        file.close();
        contents->damage = QStringLiteral("tooLarge");
        return contents;
    }
    const QByteArray bytes = file.readAll();
    const bool readFailed = file.error() != QFileDevice::NoError;
    const QString readError = file.errorString();
    file.close();
    if (readFailed) {
        contents->damage = QStringLiteral("unreadable: ") + readError;
        return contents;
    }
    // It may have grown since its size was read.
    if (bytes.size() > maximumFileSize) {
        contents->damage = QStringLiteral("tooLarge");
        return contents;
    }
    parseContents(bytes, *contents);
    return contents;
}

std::optional<QByteArray> JsonFileSettingsStore::storedData(const Contents& contents, const QString& key)
{
    const qsizetype index = contents.damage ? -1 : entryIndex(contents.entries, key);
    if (index < 0) {
        return std::nullopt;
    }
    const auto* held = std::get_if<Value>(&contents.entries.at(index).stored);
    const auto* data = held ? std::get_if<QByteArray>(held) : nullptr;
    return data ? std::optional<QByteArray>(*data) : std::nullopt;
}

void JsonFileSettingsStore::moveAside(const QString& reason)
{
    const QString base = m_filePath + QStringLiteral(".damaged-") + fileNameStamp(m_now ? m_now() : Date::now());
    QString aside = base;
    for (int n = 2; QFileInfo::exists(aside); ++n) {
        aside = base + QLatin1Char('-') + QString::number(n);
    }
    if (QFile::rename(m_filePath, aside)) {
        AppDiagnostics::log(QStringLiteral("settings.damaged path=") + m_filePath + QStringLiteral(" movedTo=") + aside
                            + QStringLiteral(" reason=") + reason);
    } else {
        AppDiagnostics::log(QStringLiteral("settings.damaged path=") + m_filePath
                            + QStringLiteral(" moveFailed reason=") + reason);
    }
}

void JsonFileSettingsStore::scheduleWrite()
{
    if (m_changed) {
        return;
    }
    m_changed = true;
    // Replaces a retry still waiting: a change is written again without waiting out the back-off.
    m_timer->start(writeDelay, [this] { handOver(); });
}

void JsonFileSettingsStore::handOver()
{
    m_timer->stop();
    m_changed = false;
    m_latestHandOverFailed = false;
    // A shared copy: the writer thread serialises it while this thread goes on changing its own.
    m_writer->hand(m_entries, ++m_handOvers);
}

} // namespace vantorel
