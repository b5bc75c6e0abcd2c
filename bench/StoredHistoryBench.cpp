// GUI-thread cost of the usage history's stored form when one sample joins a full history: the
// whole list encoded afresh against the list kept per record, where only the new sample is encoded.

#include "core/foundation/Json.h"
#include "core/model/EncodedRecordList.h"
#include "core/model/HistoryRetention.h"
#include "core/model/ModelCoding.h"
#include "core/model/UsageHistoryEntry.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace vantorel {
namespace {

constexpr double sampleSpacing = 901;

UsageHistoryEntry sample(int n)
{
    return {QUuid::createUuid(), MonitoredProvider::codex, Date(794'045'700.25 + n * sampleSpacing), 50.0 + n % 10, 80.5, 1};
}

// Each reading drops the oldest sample and appends a new one, as retention keeps the list full.
QList<UsageHistoryEntry> nextReading(QList<UsageHistoryEntry> history, int n)
{
    history.removeFirst();
    history.append(sample(n));
    return history;
}

QList<UsageHistoryEntry> fullHistory()
{
    QList<UsageHistoryEntry> history;
    for (int i = 0; i < HistoryRetention::maximumUsageEntries; ++i) {
        history.append(sample(i));
    }
    return history;
}

void wholeList(benchmark::State& state)
{
    QList<UsageHistoryEntry> history = fullHistory();
    int n = static_cast<int>(history.size());
    for (auto _ : state) {
        history = nextReading(std::move(history), ++n);
        QByteArray bytes = json::write(toJsonArray(history), json::Form::store);
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(wholeList)->Unit(benchmark::kMillisecond);

void perRecord(benchmark::State& state)
{
    QList<UsageHistoryEntry> history = fullHistory();
    EncodedRecordList<UsageHistoryEntry> form;
    form.encode(history);
    int n = static_cast<int>(history.size());
    for (auto _ : state) {
        history = nextReading(std::move(history), ++n);
        QByteArray bytes = form.encode(history);
        benchmark::DoNotOptimize(bytes);
    }
    if (form.encode(history) != json::write(toJsonArray(history), json::Form::store))
        state.SkipWithError("the per-record form differs from the whole list's");
}
BENCHMARK(perRecord)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantorel

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
