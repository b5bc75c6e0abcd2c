// GUI-thread cost of the usage history's stored form when one sample joins a full history: the
// whole list encoded afresh against the list kept per record, where only the new sample is encoded.
// Also the start-up load of a full history, through a tree of the whole text against element by
// element, with the heap each sample keeps afterwards (glibc's count of bytes in use) and the
// most that operator new (the parse trees, not Qt's containers) held at once while loading.

#include "core/foundation/Json.h"
#include "core/model/EncodedRecordList.h"
#include "core/model/HistoryRetention.h"
#include "core/model/ListFromJsonText.h"
#include "core/model/ModelCoding.h"
#include "core/model/UsageHistoryEntry.h"
#include "support/BenchmarkMain.h"

#include <QCoreApplication>

#include <algorithm>

#include <malloc.h>

#include <cstdlib>
#include <new>

namespace {
std::size_t g_newBytes = 0;
std::size_t g_newPeak = 0;
} // namespace

void* operator new(std::size_t size)
{
    void* block = std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    g_newBytes += malloc_usable_size(block);
    g_newPeak = std::max(g_newPeak, g_newBytes);
    return block;
}

void operator delete(void* block) noexcept
{
    if (block) {
        g_newBytes -= malloc_usable_size(block);
        std::free(block);
    }
}

void operator delete(void* block, std::size_t) noexcept
{
    operator delete(block);
}

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

std::size_t heapInUse()
{
    return mallinfo2().uordblks;
}

QByteArray fullHistoryText()
{
    return json::write(toJsonArray(fullHistory()), json::Form::store);
}

Date loadReference()
{
    return sample(HistoryRetention::maximumUsageEntries - 1).recordedAt;
}

// Reports the heap the kept result holds per sample and checks that it holds every sample.
template <typename Load>
void runLoad(benchmark::State& state, Load load)
{
    const QByteArray text = fullHistoryText();
    std::size_t kept = 0;
    std::size_t peak = 0;
    for (auto _ : state) {
        const std::size_t before = heapInUse();
        g_newPeak = g_newBytes;
        const std::size_t newBefore = g_newBytes;
        QList<UsageHistoryEntry> history = load(text);
        kept = heapInUse() - before;
        peak = g_newPeak - newBefore;
        if (history.size() != HistoryRetention::maximumUsageEntries)
            state.SkipWithError("samples lost while loading");
        benchmark::DoNotOptimize(history);
    }
    state.counters["heapBytesPerSample"] = double(kept) / HistoryRetention::maximumUsageEntries;
    state.counters["treePeakBytesPerSample"] = double(peak) / HistoryRetention::maximumUsageEntries;
}

void loadThroughWholeTree(benchmark::State& state)
{
    runLoad(state, [](const QByteArray& text) {
        const auto list = listFromJsonSkippingInvalid(*json::parse(text), &usageHistoryEntryFromJson);
        return HistoryRetention::prunedUsage(*list, loadReference());
    });
}
BENCHMARK(loadThroughWholeTree)->Unit(benchmark::kMillisecond);

void loadElementByElement(benchmark::State& state)
{
    runLoad(state, [](const QByteArray& text) {
        return HistoryRetention::prunedUsage(*listFromJsonTextSkippingInvalid(text, &usageHistoryEntryFromJson),
                                             loadReference());
    });
}
BENCHMARK(loadElementByElement)->Unit(benchmark::kMillisecond);

// The heap the stored form keeps per sample beside the text the settings store holds anyway.
void storedFormHeap(benchmark::State& state)
{
    const QList<UsageHistoryEntry> history = fullHistory();
    std::size_t kept = 0;
    for (auto _ : state) {
        const std::size_t before = heapInUse();
        {
            EncodedRecordList<UsageHistoryEntry> form;
            QByteArray stored = form.encode(history);
            kept = heapInUse() - before - std::size_t(stored.capacity());
            benchmark::DoNotOptimize(stored);
        }
    }
    state.counters["heapBytesPerSample"] = double(kept) / HistoryRetention::maximumUsageEntries;
}
BENCHMARK(storedFormHeap)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantorel

int main(int argc, char** argv)
{
    return vantorel::runBenchmarks<QCoreApplication>(argc, argv);
}
