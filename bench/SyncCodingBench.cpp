#include "SnapshotAtLimits.h"
#include "sync/model/SyncCoding.h"
#include "support/BenchmarkMain.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

using namespace vantorel;

namespace {

void encodeSnapshot(benchmark::State& state)
{
    const UsageSyncSnapshot snapshot = snapshotAtLimits();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray encoded = SyncCoding::encode(snapshot);
        bytes = encoded.size();
        benchmark::DoNotOptimize(encoded.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

void decodeSnapshot(benchmark::State& state)
{
    const QByteArray encoded = SyncCoding::encode(snapshotAtLimits());
    for (auto _ : state) {
        const auto decoded = SyncCoding::decode<UsageSyncSnapshot>(encoded);
        benchmark::DoNotOptimize(decoded.usageHistory.constData());
    }
    state.SetBytesProcessed(state.iterations() * encoded.size());
}

void validateSnapshot(benchmark::State& state)
{
    const UsageSyncSnapshot snapshot = snapshotAtLimits();
    for (auto _ : state)
        snapshot.validate(snapshot.hostID);
}

} // namespace

BENCHMARK(encodeSnapshot)->Unit(benchmark::kMillisecond);
BENCHMARK(decodeSnapshot)->Unit(benchmark::kMillisecond);
BENCHMARK(validateSnapshot)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return vantorel::runBenchmarks<QCoreApplication>(argc, argv);
}
