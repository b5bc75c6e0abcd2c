#include "core/foundation/AppDiagnostics.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "core/foundation/Json.h"
#include "core/foundation/JsonFileSettingsStore.h"

#include "support/ThreadNiceness.h"
#include "support/ManualOneShotTimer.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <csignal>
#include <future>
#include <limits>
#include <sys/resource.h>

namespace vantorel {
namespace {

using Value = SettingsStore::Value;

// 2026-03-01T08:15:00Z
const Date storedTime = Date::fromUnixSeconds(1'772'352'900);

// NaN never equals itself and -0.0 equals 0.0; both must still read back as they were.
bool sameValue(const Value& a, const Value& b)
{
    if (a.index() != b.index()) {
        return false;
    }
    if (const double* x = std::get_if<double>(&a)) {
        const double y = std::get<double>(b);
        return (std::isnan(*x) && std::isnan(y)) || (*x == y && std::signbit(*x) == std::signbit(y));
    }
    if (const Date* x = std::get_if<Date>(&a)) {
        const double u = x->timeIntervalSinceReferenceDate();
        const double v = std::get<Date>(b).timeIntervalSinceReferenceDate();
        return (std::isnan(u) && std::isnan(v)) || u == v;
    }
    return a == b;
}

const struct
{
    const char* key;
    Value value;
} typedValues[] = {
    {"Vantorel.true", true},
    {"Vantorel.false", false},
    {"Vantorel.int64Min", std::numeric_limits<std::int64_t>::min()},
    {"Vantorel.int64Max", std::numeric_limits<std::int64_t>::max()},
    {"Vantorel.double", 0.1},
    {"Vantorel.wholeDouble", 3.0},
    {"Vantorel.negativeZero", -0.0},
    {"Vantorel.nan", std::nan("")},
    {"Vantorel.infinity", std::numeric_limits<double>::infinity()},
    {"Vantorel.minusInfinity", -std::numeric_limits<double>::infinity()},
    {"Vantorel.string", QStringLiteral("5時間枠 \"quoted\" / \\ \u0001")},
    {"Vantorel.emptyString", QString()},
    {"Vantorel.bytes", QByteArray("\x00\xff{\"a\":1}", 10)},
    {"Vantorel.emptyBytes", QByteArray()},
    {"Vantorel.date", Date(794'045'700.25)},
    {"Vantorel.nanDate", Date(std::nan(""))},
    {"Vantorel.list", QStringList{QStringLiteral("a"), QString(), QStringLiteral("週間枠")}},
    {"Vantorel.emptyList", QStringList{}},
};

void setAll(SettingsStore& store)
{
    for (const auto& [key, value] : typedValues) {
        store.set(QString::fromLatin1(key), value);
    }
}

// Every value reads back with its own type: 3.0 stays a double, a NaN date stays a date.
void expectAll(const SettingsStore& store)
{
    for (const auto& [key, value] : typedValues) {
        SCOPED_TRACE(key);
        const auto read = store.value(QString::fromLatin1(key));
        ASSERT_TRUE(read.has_value());
        EXPECT_TRUE(sameValue(*read, value));
    }
}

class JsonFileSettingsStoreTest : public testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        m_path = m_root.filePath(QStringLiteral("config/Vantorel/defaults.json"));
        AppDiagnostics::setLogDirectoryForTesting(m_root.filePath(QStringLiteral("logs")));
    }

    void TearDown() override { AppDiagnostics::setLogDirectoryForTesting({}); }

    JsonFileSettingsStore open() const { return JsonFileSettingsStore(m_path, [] { return storedTime; }); }
    // A store at `path` whose delays pass only when the test fires `timer`.
    static std::unique_ptr<JsonFileSettingsStore> openTimed(const QString& path, ManualOneShotTimer*& timer)
    {
        auto manual = std::make_unique<ManualOneShotTimer>();
        timer = manual.get();
        return std::make_unique<JsonFileSettingsStore>(
            path, [] { return storedTime; }, std::move(manual));
    }

    QByteArray logText() const
    {
        AppDiagnostics::flush();
        return test::readFileBytes(m_root.filePath(QStringLiteral("logs/Vantorel.log")));
    }

    QStringList filesBesideStore() const
    {
        return QDir(QFileInfo(m_path).absolutePath()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    QTemporaryDir m_root;
    QString m_path;
};

TEST(InMemorySettingsStoreTest, KeepsTypedValuesUntilRemoved)
{
    InMemorySettingsStore store;
    setAll(store);
    expectAll(store);
    store.remove(QStringLiteral("Vantorel.true"));
    EXPECT_FALSE(store.contains(QStringLiteral("Vantorel.true")));
}

TEST_F(JsonFileSettingsStoreTest, WritesOnAThreadThatYieldsToTheGui)
{
    AppDiagnostics::flush();
    const QMap<QString, int> before = test::threadNiceness();
    JsonFileSettingsStore store(m_path);
    store.set(QStringLiteral("a"), true);
    store.flush();
    QMap<QString, int> started = test::threadNiceness();
    for (const QString& task : before.keys())
        started.remove(task);
    // The store's writer is the one thread it started; it runs below the thread that made it.
    ASSERT_EQ(started.size(), 1);
    EXPECT_GT(started.first(), getpriority(PRIO_PROCESS, 0));
    EXPECT_TRUE(QFile::exists(m_path));
}

TEST_F(JsonFileSettingsStoreTest, TypedValuesSurviveAReload)
{
    {
        auto store = open();
        setAll(store);
        EXPECT_TRUE(store.lastWriteSucceeded());
    }
    expectAll(open());
    EXPECT_FALSE(logText().contains("settings."));
}

TEST_F(JsonFileSettingsStoreTest, EntriesThatDoNotDecodeReadAsAbsentAndAreKept)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    ASSERT_TRUE(test::writeFileBytes(m_path, R"({
        "future": {"type": "colour", "value": "#fff"},
        "badBool": {"type": "bool", "value": "yes"},
        "fraction": {"type": "integer", "value": 2.5},
        "badBase64": {"type": "data", "value": "***"},
        "mixedList": {"type": "stringList", "value": ["a", 1]},
        "untagged": 42,
        "ok": {"type": "integer", "value": 7}
    })"));

    auto store = open();
    for (const char* key : {"future", "badBool", "fraction", "badBase64", "mixedList", "untagged"}) {
        EXPECT_FALSE(store.contains(QString::fromLatin1(key))) << key;
    }
    EXPECT_EQ(store.integerValue(QStringLiteral("ok")), 7);

    store.set(QStringLiteral("new"), true);
    store.flush();
    const auto written = json::parse(test::readFileBytes(m_path));
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ((*written)["future"], (Json{{"type", "colour"}, {"value", "#fff"}}));
    EXPECT_EQ((*written)["untagged"], 42);
    EXPECT_EQ((*written)["new"], (Json{{"type", "bool"}, {"value", true}}));
}

// Long literals skip the JSON lexer and long base64 Qt's decoder; every value, and every entry
// kept as found, must read and write back as the plain parse gives them (an escaped NUL in the
// file kept such a read on the plain parse, which this compares with).
TEST_F(JsonFileSettingsStoreTest, LongBase64TextReadsAsThePlainParseGivesIt)
{
    const QByteArray data(100'000, '\x7f');
    const QByteArray base64 = data.toBase64();
    const QByteArray letters(70'000, 'Q');
    const QByteArray escaped = QByteArray(70'000, 'x') + "\\\"";
    const auto entry = [](const char* key, const char* type, const QByteArray& value) -> QByteArray {
        return "\"" + QByteArray(key) + "\": {\"type\": \"" + type + "\", \"value\": " + value + "}";
    };
    const auto text = [](const QByteArray& value) -> QByteArray { return '"' + value + '"'; };
    const QByteArrayList entries{
        entry("padded2", "data", text(base64)),
        entry("padded1", "data", text(QByteArray(100'001, '\x01').toBase64())),
        entry("unpadded", "data", text(base64.chopped(2))),
        entry("badData", "data", text(QByteArray(70'000, 'A').replace(10, 1, "="))),
        entry("string", "string", text(letters)),
        entry("list", "stringList", '[' + text(letters) + ", \"b\"]"),
        entry("future", "colour", '{' + text(letters) + " : " + text(base64) + '}'),
        entry("escaped", "string", text(escaped))};
    const QByteArray lifted = '{' + entries.join(",\n") + '}';
    const QByteArray plain = '{' + entries.join(",\n") + ", \"nul\": {\"type\": \"string\", \"value\": \"\\u00001\"}}";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    const auto reload = [this](const QByteArray& file) {
        EXPECT_TRUE(test::writeFileBytes(m_path, file));
        auto store = std::make_unique<JsonFileSettingsStore>(m_path);
        // Written back whole, with the entries kept as found.
        store->set(QStringLiteral("new"), true);
        store->flush();
        return std::pair(std::move(store), json::parse(test::readFileBytes(m_path)).value_or(Json()));
    };
    const auto [liftedStore, liftedWritten] = reload(lifted);
    const auto [plainStore, plainWritten] = reload(plain);
    for (const char* key : {"padded2", "padded1", "unpadded", "badData", "string", "list", "future", "escaped"}) {
        EXPECT_EQ(liftedStore->value(QString::fromLatin1(key)), plainStore->value(QString::fromLatin1(key))) << key;
        EXPECT_EQ(liftedWritten[key], plainWritten[key]) << key;
    }
    EXPECT_EQ(liftedStore->dataValue(QStringLiteral("padded2")), data);
    EXPECT_EQ(liftedStore->stringValue(QStringLiteral("string")), QString::fromLatin1(letters));
    EXPECT_FALSE(liftedStore->contains(QStringLiteral("badData")));
    EXPECT_EQ(liftedStore->stringValue(QStringLiteral("escaped")), QString(70'000, u'x') + u'"');
    // Long literals that are not base64 letters.
    const QByteArray notLetters = QByteArray(70'000, 'A').replace(10, 1, "~");
    const auto [kept, keptWritten] = reload('{' + entry("notLetters", "data", text(notLetters)) + '}');
    EXPECT_FALSE(kept->contains(QStringLiteral("notLetters")));
    EXPECT_EQ(keptWritten["notLetters"]["value"], notLetters.toStdString());
    const auto [broken, brokenWritten] = reload('{' + entry("control", "string", text(QByteArray(70'000, '\x01'))) + '}');
    EXPECT_FALSE(broken->contains(QStringLiteral("control")));
    EXPECT_EQ(filesBesideStore().filter(QStringLiteral("damaged")).size(), 1);
}

// A double spelled -0.0 or -0 in the file keeps its sign, though the parser reads -0 as the integer
// 0; a zero spelled 0, and "-0" inside a string or under another key, leave the sign alone.
TEST_F(JsonFileSettingsStoreTest, NegativeZerosFoundInTheFileKeepTheirSignAfterAnotherWrite)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    for (const char* spelling : {"-0.0", "-0", "-0e0"}) {
        SCOPED_TRACE(spelling);
        const QByteArray negative(spelling);
        ASSERT_TRUE(test::writeFileBytes(m_path,
                                         R"({"zero":{"type":"double","value":)" + negative
                                             + R"(},)"
                                               R"("day":{"type":"date", "value" : )"
                                             + negative
                                             + R"( },)"
                                               R"("plain":{"type":"double","value":0},)"
                                               R"("text":{"type":"string","value":"\"-0"},)"
                                               R"("list":{"type":"stringList","value":[]}})"));
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round);
            auto store = open();
            ASSERT_TRUE(store.doubleValue(QStringLiteral("zero")).has_value());
            EXPECT_TRUE(std::signbit(*store.doubleValue(QStringLiteral("zero"))));
            EXPECT_TRUE(std::signbit(store.dateValue(QStringLiteral("day"))->timeIntervalSinceReferenceDate()));
            EXPECT_FALSE(std::signbit(*store.doubleValue(QStringLiteral("plain"))));
            EXPECT_EQ(store.stringValue(QStringLiteral("text")), QStringLiteral("\"-0"));
            store.set(QStringLiteral("other"), std::int64_t{round});
        }
    }
    // Setting +0 over -0 is a change, and is written.
    auto store = open();
    store.set(QStringLiteral("zero"), 0.0);
    store.flush();
    EXPECT_FALSE(std::signbit(*open().doubleValue(QStringLiteral("zero"))));
}

// Only an entry's own "value" spelled -0 gives a zero its sign: "-0" in another member or nested
// deeper leaves it alone, beside many zeros that send the reader to the text.
TEST_F(JsonFileSettingsStoreTest, AMinusZeroOutsideTheValueMemberLeavesAZeroPositive)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    QByteArray text = R"({"note":{"type":"double","value":0,"note":-0},)"
                      R"("nested":{"type":"date","value":0,"extra":{"value":-0}},)"
                      R"("negative":{"type":"double","value":-0})";
    for (int i = 0; i < 200; ++i)
        text += ",\"zero" + QByteArray::number(i) + "\":{\"type\":\"double\",\"value\":0}";
    ASSERT_TRUE(test::writeFileBytes(m_path, text + '}'));
    const auto store = open();
    EXPECT_FALSE(std::signbit(*store.doubleValue(QStringLiteral("note"))));
    EXPECT_FALSE(std::signbit(store.dateValue(QStringLiteral("nested"))->timeIntervalSinceReferenceDate()));
    EXPECT_TRUE(std::signbit(*store.doubleValue(QStringLiteral("negative"))));
    EXPECT_FALSE(std::signbit(*store.doubleValue(QStringLiteral("zero199"))));
}

TEST_F(JsonFileSettingsStoreTest, ADamagedFileIsMovedAsideAndTheStoreStartsEmpty)
{
    const QByteArray damaged[] = {
        "{\"a\": {\"type\": \"bool\", \"value\": tru",
        "[1, 2, 3]",
        "",
        "\xff\xfe{}",
        "{\"a\":" + QByteArray(200, '[') + QByteArray(200, ']') + "}",
    };
    const QString aside = m_path + QStringLiteral(".damaged-20260301T081500Z");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    for (const QByteArray& bytes : damaged) {
        SCOPED_TRACE(bytes.toStdString());
        QFile::remove(aside);
        ASSERT_TRUE(test::writeFileBytes(m_path, bytes));

        auto store = open();
        EXPECT_FALSE(store.contains(QStringLiteral("a")));
        EXPECT_FALSE(QFileInfo::exists(m_path));
        EXPECT_EQ(test::readFileBytes(aside), bytes);
        EXPECT_TRUE(logText().contains(("settings.damaged path=" + m_path + " movedTo=" + aside).toUtf8()));

        // The next change starts a fresh file and leaves the damaged one alone.
        store.set(QStringLiteral("a"), true);
        store.flush();
        EXPECT_EQ(open().boolValue(QStringLiteral("a")), true);
        EXPECT_EQ(test::readFileBytes(aside), bytes);
        QFile::remove(m_path);
    }
}

// Reading ahead, on another thread at start, changes nothing on disk and logs nothing: the store
// built over what was read moves a damaged file aside, or holds the entries read.
TEST_F(JsonFileSettingsStoreTest, ReadingAheadLeavesTheFileToTheStore)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    ASSERT_TRUE(test::writeFileBytes(m_path, "[1]"));
    ASSERT_TRUE(test::writeFileBytes(m_path + QStringLiteral(".Ab3dE9"), "left by a save"));
    auto damaged = std::async(std::launch::async, [this] { return JsonFileSettingsStore::read(m_path); }).get();
    EXPECT_EQ(test::readFileBytes(m_path), "[1]");
    EXPECT_EQ(filesBesideStore().size(), 2);
    EXPECT_FALSE(logText().contains("settings."));
    {
        JsonFileSettingsStore store(damaged, m_path, [] { return storedTime; });
        EXPECT_EQ(filesBesideStore(), QStringList{QStringLiteral("defaults.json.damaged-20260301T081500Z")});
        EXPECT_TRUE(logText().contains("reason=notAnObject"));
        store.set(QStringLiteral("a"), true);
    }
    const JsonFileSettingsStore store(JsonFileSettingsStore::read(m_path), m_path);
    EXPECT_EQ(store.boolValue(QStringLiteral("a")), true);
}

TEST_F(JsonFileSettingsStoreTest, AFileOverTheLimitIsMovedAsideUnread)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    ASSERT_TRUE(test::writeFileBytes(m_path, R"({"a":{"type":"bool","value":true}})"));
    {
        // Sparse: the size is all that is checked.
        QFile file(m_path);
        ASSERT_TRUE(file.resize(JsonFileSettingsStore::maximumFileSize + 1));
    }
    const auto store = open();
    EXPECT_FALSE(store.contains(QStringLiteral("a")));
    EXPECT_FALSE(QFileInfo::exists(m_path));
    EXPECT_TRUE(logText().contains("reason=tooLarge"));
}

TEST_F(JsonFileSettingsStoreTest, ASecondDamageInTheSameSecondDoesNotOverwriteTheFirst)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    ASSERT_TRUE(test::writeFileBytes(m_path, "first{"));
    open();
    ASSERT_TRUE(test::writeFileBytes(m_path, "second{"));
    open();
    EXPECT_EQ(test::readFileBytes(m_path + QStringLiteral(".damaged-20260301T081500Z")), "first{");
    EXPECT_EQ(test::readFileBytes(m_path + QStringLiteral(".damaged-20260301T081500Z-2")), "second{");
}

TEST_F(JsonFileSettingsStoreTest, CopiesLeftByAnInterruptedSaveAreRemovedAtStart)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    const QStringList kept{QStringLiteral("defaults.json.damaged-20260301T081500Z"), QStringLiteral("defaults.json.notes")};
    for (const QString& name : kept + QStringList{QStringLiteral("defaults.json.aB3xY9")})
        ASSERT_TRUE(test::writeFileBytes(QFileInfo(m_path).absolutePath() + QLatin1Char('/') + name, "{}"));
    open();
    EXPECT_EQ(filesBesideStore(), kept);
}

TEST_F(JsonFileSettingsStoreTest, WritesAPrivateFileInANewDirectory)
{
    ASSERT_FALSE(QFileInfo::exists(QFileInfo(m_path).absolutePath()));
    auto store = open();
    EXPECT_FALSE(QFileInfo::exists(m_path)) << "opening alone must not write";

    store.set(QStringLiteral("Vantorel.a"), std::int64_t{1});
    store.flush();
    EXPECT_EQ(test::fileMode(m_path), QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    // A file someone made readable to others is private again after the next write.
    ASSERT_TRUE(QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
    store.set(QStringLiteral("Vantorel.a"), std::int64_t{2});
    store.flush();
    EXPECT_EQ(test::fileMode(m_path), QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    store.remove(QStringLiteral("Vantorel.a"));
    store.flush();
    EXPECT_FALSE(open().contains(QStringLiteral("Vantorel.a")));
    EXPECT_EQ(filesBesideStore(), QStringList{QStringLiteral("defaults.json")});
}

// Lowers the file-size limit so that writing more bytes fails part-way, as a full disk would.
struct FileSizeLimit
{
    explicit FileSizeLimit(rlim_t bytes)
        : savedHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit lowered = saved;
        lowered.rlim_cur = bytes;
        active = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, savedHandler);
    }

    void (*savedHandler)(int);
    rlimit saved{};
    bool active = false;
};

TEST_F(JsonFileSettingsStoreTest, AnInterruptedWriteLeavesTheOldFileWhole)
{
    auto store = open();
    store.set(QStringLiteral("Vantorel.kept"), QStringLiteral("old"));
    store.flush();
    const QByteArray before = test::readFileBytes(m_path);
    ASSERT_FALSE(before.isEmpty());

    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.active);
        store.set(QStringLiteral("Vantorel.big"), QString(100'000, QLatin1Char('b')));
        store.flush();
    }

    EXPECT_FALSE(store.lastWriteSucceeded());
    EXPECT_EQ(test::readFileBytes(m_path), before);
    EXPECT_EQ(filesBesideStore(), QStringList{QStringLiteral("defaults.json")}) << "no temporary file may remain";
    EXPECT_TRUE(logText().contains(("settings.write.failed path=" + m_path).toUtf8()));
    // The change is not forgotten: it is held in memory, and setting it again writes it out.
    EXPECT_EQ(store.stringValue(QStringLiteral("Vantorel.big"))->size(), 100'000);
    store.set(QStringLiteral("Vantorel.big"), QString(100'000, QLatin1Char('b')));
    store.flush();
    EXPECT_TRUE(store.lastWriteSucceeded());
    const auto reloaded = open();
    EXPECT_EQ(reloaded.stringValue(QStringLiteral("Vantorel.kept")), QStringLiteral("old"));
    EXPECT_EQ(reloaded.stringValue(QStringLiteral("Vantorel.big"))->size(), 100'000);
}

// The failure is told once per change on the GUI thread, with the system's reason, and the next
// write that works clears it; nothing already on disk is lost meanwhile.
TEST_F(JsonFileSettingsStoreTest, AFailedWriteIsReportedUntilAWriteSucceeds)
{
    auto store = open();
    int told = 0;
    store.setWriteFailureObserver([&told] { ++told; });
    store.set(QStringLiteral("Vantorel.kept"), QStringLiteral("old"));
    store.flush();
    QCoreApplication::processEvents();
    EXPECT_EQ(store.writeFailure(), QString());
    EXPECT_EQ(told, 0);
    const QByteArray before = test::readFileBytes(m_path);

    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.active);
        for (int i = 0; i < 2; ++i) {
            store.set(QStringLiteral("Vantorel.big"), QString(100'000 + i, QLatin1Char('b')));
            store.flush();
        }
    }
    EXPECT_EQ(store.writeFailure(), QStringLiteral("File too large"));
    EXPECT_EQ(told, 0) << "told on a later turn of the GUI thread";
    QCoreApplication::processEvents();
    EXPECT_EQ(told, 1) << "a second failure with the same reason is no news";
    EXPECT_EQ(test::readFileBytes(m_path), before);

    store.set(QStringLiteral("Vantorel.small"), true);
    store.flush();
    QCoreApplication::processEvents();
    EXPECT_EQ(store.writeFailure(), QString());
    EXPECT_EQ(told, 2);
    EXPECT_EQ(open().stringValue(QStringLiteral("Vantorel.big"))->size(), 100'001);
}

// A settings directory that cannot be made (its parent is a file) fails with the system's reason.
TEST_F(JsonFileSettingsStoreTest, AnUncreatableDirectoryIsAFailureWithItsReason)
{
    ASSERT_TRUE(test::writeFileBytes(m_root.filePath(QStringLiteral("blocker")), "x"));
    JsonFileSettingsStore store(m_root.filePath(QStringLiteral("blocker/Vantorel/defaults.json")), [] { return storedTime; });
    store.set(QStringLiteral("Vantorel.a"), true);
    store.flush();
    EXPECT_EQ(store.writeFailure(), QStringLiteral("Not a directory"));
    EXPECT_FALSE(store.lastWriteSucceeded());
    EXPECT_EQ(store.boolValue(QStringLiteral("Vantorel.a")), true);
}

// The changes of one reading, made over several turns, cost one file write.
TEST_F(JsonFileSettingsStoreTest, ABurstOfChangesIsWrittenOnceAfterTheWriteDelay)
{
    ManualOneShotTimer* timer = nullptr;
    auto store = openTimed(m_path, timer);
    for (int i = 0; i < 10; ++i) {
        store->set(QStringLiteral("Vantorel.n"), std::int64_t{i});
        QCoreApplication::processEvents();
    }
    EXPECT_FALSE(QFileInfo::exists(m_path)) << "nothing is written before the delay";
    EXPECT_EQ(timer->delay(), JsonFileSettingsStore::writeDelay);
    ASSERT_TRUE(timer->fire());
    store->flush();
    EXPECT_EQ(store->completedWriteCount(), 1);
    EXPECT_EQ(open().integerValue(QStringLiteral("Vantorel.n")), 9);
    EXPECT_FALSE(timer->isActive()) << "a store whose file holds everything waits for nothing";
}

// A change the user made by hand goes to the writer at once, with the changes still waiting, and
// nothing waits for the delay after it; with nothing changed, writeNow writes nothing.
TEST_F(JsonFileSettingsStoreTest, WriteNowHandsTheChangesOverWithoutTheDelay)
{
    ManualOneShotTimer* timer = nullptr;
    auto store = openTimed(m_path, timer);
    store->writeNow();
    store->set(QStringLiteral("Vantorel.reading"), std::int64_t{1});
    store->set(QStringLiteral("Vantorel.switch"), false);
    store->writeNow();
    EXPECT_FALSE(timer->isActive());
    store->writeNow();
    // Waits for the writer without handing anything over: the file already has it all.
    store->flush();
    EXPECT_EQ(store->completedWriteCount(), 1);
    EXPECT_EQ(open().boolValue(QStringLiteral("Vantorel.switch")), false);
    EXPECT_EQ(open().integerValue(QStringLiteral("Vantorel.reading")), 1);
}

// Text being typed waits for a pause after its last key, taking a reading's waiting change along;
// with nothing changed there is nothing to wait for.
TEST_F(JsonFileSettingsStoreTest, WriteOncePausedWaitsFromTheLastCall)
{
    constexpr std::chrono::milliseconds pause{300};
    ManualOneShotTimer* timer = nullptr;
    auto store = openTimed(m_path, timer);
    store->writeOncePaused(pause);
    EXPECT_FALSE(timer->isActive());
    store->set(QStringLiteral("Vantorel.reading"), std::int64_t{1});
    for (const QString text : {"/o", "/op", "/opt"}) {
        store->set(QStringLiteral("Vantorel.typed"), text);
        store->writeOncePaused(pause);
        EXPECT_EQ(timer->delay(), pause);
    }
    EXPECT_FALSE(QFileInfo::exists(m_path));
    ASSERT_TRUE(timer->fire());
    store->flush();
    EXPECT_EQ(store->completedWriteCount(), 1);
    EXPECT_EQ(open().stringValue(QStringLiteral("Vantorel.typed")), QStringLiteral("/opt"));
    EXPECT_EQ(open().integerValue(QStringLiteral("Vantorel.reading")), 1);
}

// A change that could not be written while the folder was unusable reaches the file once it is
// usable again: after the back-off, at a later change, on retryUnsaved() and at quit. The failure
// stays reported until the file holds everything.
TEST_F(JsonFileSettingsStoreTest, WhatAFailedWriteLeftOutIsWrittenOnceTheFolderWorksAgain)
{
    const QString blocker = m_root.filePath(QStringLiteral("blocker"));
    const QString path = blocker + QStringLiteral("/Vantorel/defaults.json");
    auto block = [&] { ASSERT_TRUE(test::writeFileBytes(blocker, "x")); };
    auto unblock = [&] { ASSERT_TRUE(QFile::remove(blocker)); };
    auto storedValue = [&] { return JsonFileSettingsStore(path).boolValue(QStringLiteral("Vantorel.notifications")); };
    const struct
    {
        const char* name;
        std::function<void(JsonFileSettingsStore&, ManualOneShotTimer&)> retry;
    } ways[] = {
        {"after the back-off", [](JsonFileSettingsStore&, ManualOneShotTimer& timer) { EXPECT_TRUE(timer.fire()); }},
        {"at a later change",
         [](JsonFileSettingsStore& store, ManualOneShotTimer& timer) {
             store.set(QStringLiteral("Vantorel.other"), true);
             EXPECT_EQ(timer.delay(), JsonFileSettingsStore::writeDelay);
             EXPECT_TRUE(timer.fire());
         }},
        {"when storage may be back", [](JsonFileSettingsStore& store, ManualOneShotTimer&) { store.retryUnsaved(); }},
        {"at quit", [](JsonFileSettingsStore&, ManualOneShotTimer&) {}},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        QDir(blocker).removeRecursively();
        block();
        ManualOneShotTimer* timer = nullptr;
        auto store = openTimed(path, timer);
        store->set(QStringLiteral("Vantorel.notifications"), false);
        ASSERT_TRUE(timer->fire());
        store->flush();
        QCoreApplication::processEvents();
        EXPECT_EQ(store->writeFailure(), QStringLiteral("Not a directory"));
        EXPECT_EQ(timer->delay(), JsonFileSettingsStore::firstRetryDelay);

        unblock();
        way.retry(*store, *timer);
        store->flush();
        QCoreApplication::processEvents();
        EXPECT_EQ(storedValue(), false);
        EXPECT_EQ(store->writeFailure(), QString());
        EXPECT_FALSE(timer->isActive());
    }
}

TEST_F(JsonFileSettingsStoreTest, RetriesBackOffFromFiveSecondsToFiveMinutesAndStopOnceAWriteWorks)
{
    const QString blocker = m_root.filePath(QStringLiteral("blocker"));
    ASSERT_TRUE(test::writeFileBytes(blocker, "x"));
    ManualOneShotTimer* timer = nullptr;
    auto store = openTimed(blocker + QStringLiteral("/Vantorel/defaults.json"), timer);
    store->set(QStringLiteral("Vantorel.a"), true);
    QList<qint64> delays;
    for (int i = 0; i < 9; ++i) {
        ASSERT_TRUE(timer->fire());
        store->flush();
        QCoreApplication::processEvents();
        ASSERT_TRUE(timer->delay());
        delays.append(timer->delay()->count());
    }
    EXPECT_EQ(delays, (QList<qint64>{5'000, 10'000, 20'000, 40'000, 80'000, 160'000, 300'000, 300'000, 300'000}));

    // Storage that may be back is tried at once, and the back-off starts afresh.
    store->retryUnsaved();
    store->flush();
    QCoreApplication::processEvents();
    EXPECT_EQ(timer->delay(), JsonFileSettingsStore::firstRetryDelay);
    EXPECT_EQ(store->completedWriteCount(), 10);

    ASSERT_TRUE(QFile::remove(blocker));
    ASSERT_TRUE(timer->fire());
    store->flush();
    QCoreApplication::processEvents();
    EXPECT_FALSE(timer->isActive());
    store->retryUnsaved();
    store->flush();
    EXPECT_EQ(store->completedWriteCount(), 11) << "nothing is left to retry";
}

// A quit while the folder still cannot be written says so where a user or a log reader looks.
TEST_F(JsonFileSettingsStoreTest, AQuitWithChangesStillUnsavedSaysSo)
{
    const QString blocker = m_root.filePath(QStringLiteral("blocker"));
    ASSERT_TRUE(test::writeFileBytes(blocker, "x"));
    const QString path = blocker + QStringLiteral("/Vantorel/defaults.json");
    {
        JsonFileSettingsStore store(m_path);
        store.set(QStringLiteral("Vantorel.a"), true);
        testing::internal::CaptureStderr();
        store.flushAtQuit();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
    JsonFileSettingsStore store(path);
    store.set(QStringLiteral("Vantorel.a"), true);
    testing::internal::CaptureStderr();
    store.flushAtQuit();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("vantorel: quitting with settings changes that could not be saved to " + path.toStdString()
                        + ": Not a directory"),
              std::string::npos)
        << said;
    EXPECT_TRUE(logText().contains(("settings.unsavedAtQuit path=" + path + " error=Not a directory").toUtf8()));
}

// Encoded data is made on the writer thread for each write, and reads back as the data it gave.
TEST_F(JsonFileSettingsStoreTest, EncodedDataIsMadeByTheWriterAndReadsBackAsData)
{
    const QString key = QStringLiteral("Vantorel.encoded");
    const QByteArray bytes("[{\"n\":1}]");
    auto encodedOn = std::make_shared<QList<QThread*>>();
    auto encode = [bytes, encodedOn] {
        encodedOn->append(QThread::currentThread());
        return bytes;
    };
    {
        auto store = open();
        store.set(key, QByteArray("old"));
        store.setEncodedData(key, encode);
        store.flush();
        ASSERT_EQ(encodedOn->size(), 1);
        EXPECT_NE(encodedOn->first(), QThread::currentThread());
        EXPECT_EQ(store.dataValue(key), bytes);
    }
    {
        auto store = open();
        EXPECT_EQ(store.dataValue(key), bytes);
        // What the file holds already is not written again.
        store.setEncodedData(key, encode, true);
        QCoreApplication::processEvents();
        store.flush();
        EXPECT_EQ(store.completedWriteCount(), 0);
        store.set(QStringLiteral("Vantorel.other"), true);
        QCoreApplication::processEvents();
        store.flush();
        EXPECT_EQ(store.completedWriteCount(), 1);
    }
    EXPECT_EQ(open().dataValue(key), bytes);
    InMemorySettingsStore memory;
    memory.setEncodedData(key, encode);
    EXPECT_EQ(memory.dataValue(key), bytes);
}

// The file is exactly json::write of its own document (the data values' Base64 is written straight
// into it, not through a tree): keys in the file's order, compact, every kind of entry.
TEST_F(JsonFileSettingsStoreTest, TheFileIsTheStoreFormOfItsDocument)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    ASSERT_TRUE(test::writeFileBytes(m_path, R"({"a.future": {"type": "colour", "value": ["#fff", 1.5]}})"));
    auto store = open();
    std::vector<std::string> order{"a.future"};
    setAll(store);
    for (const auto& typed : typedValues) {
        order.push_back(typed.key);
    }
    QByteArray bytes;
    for (int length = 0; length < 8; ++length) {
        store.set(QStringLiteral("b.data%1").arg(length), bytes);
        store.setEncodedData(QStringLiteral("c.encoded%1").arg(length), [bytes] { return bytes; });
        order.push_back("b.data" + std::to_string(length));
        order.push_back("c.encoded" + std::to_string(length));
        bytes.append(char(0xf8 + length));
    }
    store.flush();
    const QByteArray file = test::readFileBytes(m_path);
    const auto document = json::parse(file);
    ASSERT_TRUE(document.has_value());
    Json inFileOrder = Json::object();
    for (const std::string& key : order) {
        inFileOrder.get_ref<Json::object_t&>().emplace_back(key, document->at(key));
    }
    EXPECT_EQ(json::write(inFileOrder, json::Form::store), file);
    bytes.clear();
    for (int length = 0; length < 8; ++length) {
        SCOPED_TRACE(length);
        EXPECT_EQ((*document)[("b.data" + std::to_string(length))]["value"], bytes.toBase64().toStdString());
        EXPECT_EQ((*document)[("c.encoded" + std::to_string(length))]["value"], bytes.toBase64().toStdString());
        bytes.append(char(0xf8 + length));
    }
    expectAll(open());
}

// Run by the test below in a child process, which it kills in the middle of a burst.
TEST(DISABLED_JsonFileSettingsStoreBurst, WritesUntilKilled)
{
    ManualOneShotTimer* timer = nullptr;
    const auto store = JsonFileSettingsStoreTest::openTimed(qEnvironmentVariable("VANTOREL_BURST_FILE"), timer);
    const QString padding(50'000, QLatin1Char('p'));
    bool announced = false;
    for (std::int64_t i = 0;; ++i) {
        store->set(QStringLiteral("Vantorel.n"), i);
        store->set(QStringLiteral("Vantorel.padding"), padding + QString::number(i));
        timer->fire();
        if (!announced && store->completedWriteCount() >= 50) {
            announced = true;
            std::fputs("written\n", stdout);
            std::fflush(stdout);
        }
    }
}

TEST_F(JsonFileSettingsStoreTest, KillingTheProcessMidBurstLeavesAWholeFile)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VANTOREL_BURST_FILE"), m_path);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_also_run_disabled_tests"),
                 QStringLiteral("--gtest_filter=DISABLED_JsonFileSettingsStoreBurst.*")});
    ASSERT_TRUE(child.waitForStarted());
    QByteArray output;
    while (!output.contains("written\n") && child.waitForReadyRead(30'000)) {
        output += child.readAllStandardOutput();
    }
    child.kill();
    child.waitForFinished();
    ASSERT_TRUE(output.contains("written\n"));
    auto store = open();
    const auto n = store.integerValue(QStringLiteral("Vantorel.n"));
    ASSERT_TRUE(n.has_value()) << "the file must parse whole";
    EXPECT_TRUE(store.stringValue(QStringLiteral("Vantorel.padding"))->endsWith(QString::number(*n)));
}

TEST(JsonFileSettingsStoreDefaults, FileLivesInTheConfigDirectory)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/vantorel-config-test");
    EXPECT_EQ(JsonFileSettingsStore::defaultFilePath(), QStringLiteral("/tmp/vantorel-config-test/Vantorel/defaults.json"));
    qputenv("XDG_CONFIG_HOME", saved);
}

} // namespace
} // namespace vantorel
