// GUI-thread cost of persisting one Codex reading with full histories in the settings file:
// every key written through at once (each change waiting for its own file write, as before) against
// the write-behind store (a shared copy of the entries handed over per turn; the file serialised
// and written on the store's thread). Also the writer thread's cost of making the usage history's
// text from its samples for one file write, afresh and appended to the last write's text.
//
// settingsWritesPerReading stands for the program: a view model with full histories over the file
// store, observed by the sync coordinator (whose snapshot revision is a change of its own, on a
// later turn), takes one Codex reading a time and the event loop runs until the store has had time
// to write. It reports the file writes per reading and the writer thread's processor time per write
// (median, min and max over the readings), read from the thread's own CPU clock.

#include "ObservedViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/Json.h"
#include "core/model/HistoryRetention.h"
#include "core/foundation/JsonFileSettingsStore.h"
#include "support/BenchmarkMain.h"
#include "support/ThreadNiceness.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <vector>

#include <sys/resource.h>
#include <time.h>

#include <benchmark/benchmark.h>

namespace vantorel {
namespace {

// A JSON list of `count` objects about the size of a stored usage sample or history record.
QByteArray list(int count, int fieldBytes)
{
    Json array = Json::array();
    for (int i = 0; i < count; ++i) {
        array.push_back(Json{{"id", QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString()},
                             {"recordedAt", 786'000'000.0 + i * 600},
                             {"fiveHourRemainingPercent", 42.5},
                             {"text", std::string(fieldBytes, 'x')}});
    }
    return json::write(array, json::Form::store);
}

struct FullStore
{
    QTemporaryDir directory;
    JsonFileSettingsStore store{directory.filePath(QStringLiteral("defaults.json"))};
    const QByteArray usageHistory = list(2'500, 20);
    const QByteArray notificationHistory = list(120, 200);
    const QByteArray outbox = list(128, 200);

    FullStore()
    {
        writeReading(0, [] {});
        store.flush();
    }

    // The keys one Codex reading writes, each value changed; `afterEach` runs after every change.
    template <typename After>
    void writeReading(int n, After afterEach)
    {
        const QByteArray marker = QByteArray::number(n);
        // Trailing white space changes the stored bytes without encoding the lists again.
        const QByteArray pad(n % 2 + 1, ' ');
        auto set = [&](const char* key, const SettingsStore::Value& value) {
            store.set(QString::fromLatin1(key), value);
            afterEach();
        };
        set("Vantorel.usage", QByteArray("{\"n\":") + marker + '}');
        set("Vantorel.codexPeriodsUnconfirmed", n % 2 == 0);
        set("Vantorel.usageHistory", usageHistory + pad);
        set("Vantorel.notificationHistory", notificationHistory + pad);
        set("Vantorel.pendingDiscordResetNotifications", outbox + pad);
        set("Vantorel.usageNotifications", QStringList{QString::number(n)});
        set("Vantorel.discordUsageNotifications", QStringList{QString::number(n)});
        set("Vantorel.resetNotifications", QStringList{QString::number(n)});
        set("Vantorel.lastResetNotificationDates", QByteArray("{\"k\":") + marker + '}');
        set("Vantorel.usageResetBaselines", QByteArray("{\"k\":") + marker + '}');
    }
};

// Each change waits for its own file: what writing through on the GUI thread cost.
void writeThrough(benchmark::State& state)
{
    FullStore full;
    const int before = full.store.completedWriteCount();
    int n = 0;
    for (auto _ : state) {
        full.writeReading(++n, [&full] { full.store.flush(); });
    }
    state.counters["fileWritesPerReading"] = double(full.store.completedWriteCount() - before) / double(n);
}

// The reading's changes and the turn's end; the store hands its entries over only after its write
// delay (settingsWritesPerReading counts the writes that makes).
void writeBehind(benchmark::State& state)
{
    FullStore full;
    int n = 0;
    for (auto _ : state) {
        full.writeReading(++n, [] {});
        QCoreApplication::processEvents();
    }
    full.store.flush();
}

UsageHistoryEntry usageSample(int i)
{
    return {QUuid::createUuid(), MonitoredProvider::codex, Date(794'045'700.25 + i * 901.0), 50.0 + i % 10, 80.5, 1};
}

QList<UsageHistoryEntry> fullUsageHistory()
{
    QList<UsageHistoryEntry> history;
    for (int i = 0; i < HistoryRetention::maximumUsageEntries; ++i) {
        history.append(usageSample(i));
    }
    return history;
}

void usageHistoryTextPerFileWrite(benchmark::State& state)
{
    const QList<UsageHistoryEntry> history = fullUsageHistory();
    for (auto _ : state) {
        benchmark::DoNotOptimize(StoredState::usageHistoryStoreText(history));
    }
}

// Each write's history lost its oldest sample and gained a new one, as a full history does.
void usageHistoryTextAppendedPerFileWrite(benchmark::State& state)
{
    QList<UsageHistoryEntry> history = fullUsageHistory();
    StoredState::UsageHistoryText text;
    text.encode(history);
    int n = int(history.size());
    for (auto _ : state) {
        history.removeFirst();
        history.append(usageSample(++n));
        benchmark::DoNotOptimize(text.encode(history));
    }
    if (text.encode(history) != StoredState::usageHistoryStoreText(history))
        state.SkipWithError("the appended text differs from the text made afresh");
}

BENCHMARK(usageHistoryTextPerFileWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(usageHistoryTextAppendedPerFileWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(writeThrough)->Unit(benchmark::kMillisecond);
BENCHMARK(writeBehind)->Unit(benchmark::kMillisecond);

// The processor time the store's writer thread, the one thread that runs below this thread's
// priority, has used so far, in milliseconds.
double writerThreadMilliseconds()
{
    const QMap<QString, int> niceness = test::threadNiceness();
    const int own = getpriority(PRIO_PROCESS, 0);
    QStringList below;
    for (auto it = niceness.cbegin(); it != niceness.cend(); ++it) {
        if (it.value() > own)
            below.append(it.key());
    }
    if (below.size() != 1)
        return 0;
    // The CPU clock of the thread, as pthread_getcpuclockid makes it.
    const clockid_t clock = clockid_t((~below.first().toUInt()) << 3) | 6;
    timespec used{};
    if (clock_gettime(clock, &used) != 0)
        return 0;
    return double(used.tv_sec) * 1e3 + double(used.tv_nsec) / 1e6;
}

void runEventLoopFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void settingsWritesPerReading(benchmark::State& state)
{
    // Longer than the store waits before writing what changed.
    constexpr int settleMilliseconds = 1'300;
    constexpr double sampleSpacing = 901;
    QTemporaryDir directory;
    auto store = std::make_shared<JsonFileSettingsStore>(directory.filePath(QStringLiteral("defaults.json")));
    ObservedViewModel observed(store, sampleSpacing);
    const std::shared_ptr<Date> now = observed.now;
    AppViewModel& viewModel = observed.viewModel;
    runEventLoopFor(settleMilliseconds);
    store->flush();
    // The first write after start makes the whole history's text; the readings measure the rest.
    int n = 0;
    auto reading = [&] {
        ++n;
        *now = *now + sampleSpacing;
        viewModel.saveUsageSnapshot(UsageSnapshot{.fiveHourRemainingPercent = 20.0 + n % 61,
                                                  .weeklyRemainingPercent = 20.0 + n % 61,
                                                  .fiveHourResetAt = *now + 3'600,
                                                  .weeklyResetAt = *now + 86'400,
                                                  .planType = QStringLiteral("plus"),
                                                  .source = UsageSource::codexCLI,
                                                  .updatedAt = *now,
                                                  .codexPeriodValidationVersion = 1});
        runEventLoopFor(settleMilliseconds);
        store->flush();
    };
    reading();

    std::vector<double> perWrite;
    int writes = 0;
    for (auto _ : state) {
        const int before = store->completedWriteCount();
        const double used = writerThreadMilliseconds();
        reading();
        const int written = store->completedWriteCount() - before;
        writes += written;
        if (written > 0)
            perWrite.push_back((writerThreadMilliseconds() - used) / written);
    }
    std::sort(perWrite.begin(), perWrite.end());
    state.counters["fileWritesPerReading"] = double(writes) / double(state.iterations());
    if (!perWrite.empty()) {
        state.counters["writerMsPerWriteMedian"] = perWrite[perWrite.size() / 2];
        state.counters["writerMsPerWriteMin"] = perWrite.front();
        state.counters["writerMsPerWriteMax"] = perWrite.back();
    }
    state.counters["syncRevision"] =
        observed.sync.latestSnapshot() ? double(observed.sync.latestSnapshot()->revision) : 0.0;
    state.counters["fileBytes"] = double(QFileInfo(store->filePath()).size());
}

BENCHMARK(settingsWritesPerReading)->Iterations(15)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantorel

int main(int argc, char** argv)
{
    return vantorel::runBenchmarks<QCoreApplication>(argc, argv);
}
