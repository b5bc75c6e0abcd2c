// GUI-thread cost of persisting one Codex reading with full histories in the settings file:
// every key written through at once (each change waiting for its own file write, as before) against
// the write-behind store (a shared copy of the entries handed over per turn; the file serialised
// and written on the store's thread). Also the writer thread's cost of making the usage history's
// text from its samples for one file write, the text being no longer kept in memory.

#include "app/viewmodel/StoredState.h"
#include "core/foundation/Json.h"
#include "core/model/HistoryRetention.h"
#include "core/foundation/JsonFileSettingsStore.h"
#include "support/BenchmarkMain.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QUuid>

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

// The reading's changes, then the turn's end where the store hands its entries over.
void writeBehind(benchmark::State& state)
{
    FullStore full;
    const int before = full.store.completedWriteCount();
    int n = 0;
    for (auto _ : state) {
        full.writeReading(++n, [] {});
        QCoreApplication::processEvents();
    }
    full.store.flush();
    state.counters["fileWritesPerReading"] = double(full.store.completedWriteCount() - before) / double(n);
}

void usageHistoryTextPerFileWrite(benchmark::State& state)
{
    QList<UsageHistoryEntry> history;
    for (int i = 0; i < HistoryRetention::maximumUsageEntries; ++i) {
        history.append({QUuid::createUuid(), MonitoredProvider::codex, Date(794'045'700.25 + i * 901.0), 50.0 + i % 10, 80.5, 1});
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(StoredState::usageHistoryStoreText(history));
    }
}

BENCHMARK(usageHistoryTextPerFileWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(writeThrough)->Unit(benchmark::kMillisecond);
BENCHMARK(writeBehind)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantorel

int main(int argc, char** argv)
{
    return vantorel::runBenchmarks<QCoreApplication>(argc, argv);
}
