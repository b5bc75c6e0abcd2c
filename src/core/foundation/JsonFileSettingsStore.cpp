#include "core/foundation/JsonFileSettingsStore.h"

#include "core/foundation/AppDiagnostics.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace vantorel {

namespace {

constexpr std::string_view typeKey = "type";
constexpr std::string_view valueKey = "value";

// JSON has no NaN or infinities, and -0.0 is written "-0", which reads back as the integer 0; such
// numbers are kept as their text so they survive a reload.
Json numberValue(double number)
{
    if (number == 0.0 && std::signbit(number)) {
        return "-0";
    }
    if (std::isfinite(number)) {
        return number;
    }
    return std::isnan(number) ? "nan" : (number > 0 ? "inf" : "-inf");
}

std::optional<double> numberFrom(const Json& value)
{
    if (value.is_number()) {
        return value.get<double>();
    }
    if (value.is_string()) {
        const auto& text = value.get_ref<const std::string&>();
        if (text == "nan") {
            return std::nan("");
        }
        if (text == "inf") {
            return HUGE_VAL;
        }
        if (text == "-inf") {
            return -HUGE_VAL;
        }
        if (text == "-0") {
            return -0.0;
        }
    }
    return std::nullopt;
}

struct Encoder
{
    Json operator()(bool value) const { return tagged("bool", value); }
    Json operator()(std::int64_t value) const { return tagged("integer", value); }
    Json operator()(double value) const { return tagged("double", numberValue(value)); }
    Json operator()(const QString& value) const { return tagged("string", json::str(value)); }
    Json operator()(const QByteArray& value) const { return tagged("data", value.toBase64().toStdString()); }
    Json operator()(Date value) const { return tagged("date", numberValue(value.timeIntervalSinceReferenceDate())); }
    Json operator()(const QStringList& value) const
    {
        Json list = Json::array();
        for (const QString& item : value) {
            list.push_back(json::str(item));
        }
        return tagged("stringList", std::move(list));
    }

    static Json tagged(const char* type, Json value)
    {
        return Json{{typeKey, type}, {valueKey, std::move(value)}};
    }
};

std::optional<SettingsStore::Value> decodeEntry(const Json& entry)
{
    const auto type = json::string(entry, typeKey);
    const Json* value = json::member(entry, valueKey);
    if (!type || !value) {
        return std::nullopt;
    }
    if (*type == u"bool") {
        return json::boolean(entry, valueKey);
    }
    if (*type == u"integer") {
        return json::integer(entry, valueKey);
    }
    if (*type == u"double") {
        return numberFrom(*value);
    }
    if (*type == u"string") {
        return json::string(entry, valueKey);
    }
    if (*type == u"data") {
        if (!value->is_string()) {
            return std::nullopt;
        }
        const auto& text = value->get_ref<const std::string&>();
        auto decoded = QByteArray::fromBase64Encoding(QByteArray::fromStdString(text),
                                                      QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            return std::nullopt;
        }
        return std::move(*decoded);
    }
    if (*type == u"date") {
        const auto seconds = numberFrom(*value);
        if (!seconds) {
            return std::nullopt;
        }
        return Date(*seconds);
    }
    if (*type == u"stringList") {
        if (!value->is_array()) {
            return std::nullopt;
        }
        QStringList list;
        list.reserve(static_cast<qsizetype>(value->size()));
        for (const Json& item : *value) {
            if (!item.is_string()) {
                return std::nullopt;
            }
            list.append(json::qstr(item.get_ref<const std::string&>()));
        }
        return list;
    }
    return std::nullopt;
}

// "20260301T081500Z": the ISO text without separators, safe in a file name.
QString fileNameStamp(Date date)
{
    QString text = date.iso8601();
    text.remove(QLatin1Char('-'));
    text.remove(QLatin1Char(':'));
    return text;
}

// Replaces the file with `bytes`; the old file stays in place until the new one is on disk.
bool writeFile(const QString& filePath, const QByteArray& bytes)
{
    auto fail = [&filePath](const QString& error) {
        AppDiagnostics::log(QStringLiteral("settings.write.failed path=") + filePath + QStringLiteral(" error=") + error);
        return false;
    };
    const QString directory = QFileInfo(filePath).absolutePath();
    if (!QFileInfo::exists(directory)) {
        if (!QDir().mkpath(directory)) {
            return fail(QStringLiteral("cannot create ") + directory);
        }
        QFile::setPermissions(directory, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        return fail(file.errorString());
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return fail(error);
    }
    return true;
}

} // namespace

// Writes the latest handed-over bytes on its own thread, one file at a time.
struct JsonFileSettingsStore::Writer
{
    explicit Writer(QString filePath)
        : path(std::move(filePath))
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

    void hand(QByteArray bytes)
    {
        {
            std::lock_guard lock(mutex);
            pending = std::move(bytes);
        }
        wake.notify_all();
    }

    void waitUntilIdle()
    {
        std::unique_lock lock(mutex);
        idle.wait(lock, [this] { return !pending && !busy; });
    }

    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return pending || stopping; });
            if (!pending) {
                return;
            }
            const QByteArray bytes = std::move(*pending);
            pending.reset();
            busy = true;
            lock.unlock();
            succeeded = writeFile(path, bytes);
            ++written;
            lock.lock();
            busy = false;
            idle.notify_all();
        }
    }

    const QString path;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::optional<QByteArray> pending;
    bool busy = false;
    bool stopping = false;
    std::atomic<bool> succeeded{true};
    std::atomic<int> written{0};
    std::thread thread;
};

JsonFileSettingsStore::JsonFileSettingsStore(const QString& filePath, std::function<Date()> now)
    : m_filePath(filePath)
    , m_now(std::move(now))
    , m_context(std::make_unique<QObject>())
{
    load();
    m_writer = std::make_unique<Writer>(m_filePath);
}

JsonFileSettingsStore::~JsonFileSettingsStore()
{
    flush();
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
    handOverPendingWrite();
    m_writer->waitUntilIdle();
}

QString JsonFileSettingsStore::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Vantorel/defaults.json");
}

std::optional<SettingsStore::Value> JsonFileSettingsStore::value(const QString& key) const
{
    const auto it = m_entries.find(json::str(key));
    if (it == m_entries.end()) {
        return std::nullopt;
    }
    return decodeEntry(*it);
}

void JsonFileSettingsStore::set(const QString& key, const Value& value)
{
    Json entry = std::visit(Encoder{}, value);
    Json& slot = m_entries[json::str(key)];
    // An unchanged value is not rewritten, unless the file still lacks an earlier change.
    if (slot == entry && lastWriteSucceeded()) {
        return;
    }
    slot = std::move(entry);
    scheduleWrite();
}

void JsonFileSettingsStore::remove(const QString& key)
{
    if (m_entries.erase(json::str(key)) > 0) {
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

void JsonFileSettingsStore::load()
{
    removeSaveLeftovers();
    QFile file(m_filePath);
    if (!file.exists()) {
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        moveAside(QStringLiteral("unreadable: ") + file.errorString());
        return;
    }
    const QByteArray bytes = file.read(maximumFileSize + 1);
    const bool readFailed = file.error() != QFileDevice::NoError;
    const QString readError = file.errorString();
    file.close();
    if (readFailed) {
        moveAside(QStringLiteral("unreadable: ") + readError);
        return;
    }
    if (bytes.size() > maximumFileSize) {
        moveAside(QStringLiteral("tooLarge"));
        return;
    }
    auto document = json::parse(bytes);
    if (!document) {
        moveAside(QStringLiteral("notJSON"));
        return;
    }
    if (!document->is_object()) {
        moveAside(QStringLiteral("notAnObject"));
        return;
    }
    m_entries = std::move(*document);
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
    if (m_writeScheduled) {
        return;
    }
    m_writeScheduled = true;
    QMetaObject::invokeMethod(m_context.get(), [this] { handOverPendingWrite(); }, Qt::QueuedConnection);
}

void JsonFileSettingsStore::handOverPendingWrite()
{
    if (!m_writeScheduled) {
        return;
    }
    m_writeScheduled = false;
    try {
        m_writer->hand(json::write(m_entries, json::Form::store));
    } catch (const JsonEncodeError& error) {
        m_writer->succeeded = false;
        AppDiagnostics::log(QStringLiteral("settings.write.failed path=") + m_filePath + QStringLiteral(" error=")
                            + QString::fromUtf8(error.what()));
    }
}

} // namespace vantorel
