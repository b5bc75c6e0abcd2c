#include "sync/model/SyncCoding.h"
#include "sync/model/UsageSyncSnapshot.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

using namespace vantorel;

namespace {

// A snapshot at the limits every snapshot must keep: both providers, 2,500 usage samples and
// 120 notifications with bodies of a realistic length.
UsageSyncSnapshot snapshotAtLimits()
{
    const Date base = *Date::fromIso8601(u"2026-01-31T09:05:00Z");
    UsageSyncSnapshot s;
    s.hostID = QUuid::createUuid();
    s.revision = 1'234;
    s.generatedAt = base;
    s.hostName = QStringLiteral("Kenの MacBook Pro");
    s.sourceVersion = QStringLiteral("1.4.2");
    s.sourceBuild = QStringLiteral("318");
    s.refreshIntervalSeconds = 300;
    for (const auto id : syncProviderIDAllCases) {
        SyncProviderSnapshot p;
        p.id = id;
        p.enabled = true;
        p.planName = QStringLiteral("Pro");
        p.updatedAt = base - 30.0;
        p.statusText = QStringLiteral("正常");
        p.windows = {{SyncWindowKind::fiveHour, SyncValueState::available, 63.5, base + 7'200.0},
                     {SyncWindowKind::weekly, SyncValueState::available, 81.25, base + 400'000.0}};
        s.providers.append(p);
    }
    for (int i = 0; i < UsageSyncSnapshot::maximumUsageHistoryEntries; ++i) {
        s.usageHistory.append({QUuid::createUuid(), i % 2 ? SyncProviderID::claude : SyncProviderID::codex,
                               base - 300.0 * i, 100.0 - (i % 1'000) / 10.0, 90.0 - (i % 900) / 10.0});
    }
    for (int i = 0; i < UsageSyncSnapshot::maximumNotificationEntries; ++i) {
        s.notificationHistory.append({QUuid::createUuid(), SyncProviderID::claude, QStringLiteral("threshold"),
                                      QStringLiteral("Claude 5時間枠の残りが20%です"),
                                      QStringLiteral("リセットは 14:00 です。使い方を調整してください。").repeated(4),
                                      base - 900.0 * i});
    }
    return s;
}

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
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
