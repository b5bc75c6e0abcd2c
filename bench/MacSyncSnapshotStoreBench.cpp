#include "app/syncui/MacSyncDisplayInput.h"
#include "app/syncui/MacSyncSnapshotAdapter.h"
#include "app/syncui/MacSyncSnapshotFingerprint.h"
#include "app/syncui/MacSyncSnapshotStore.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "core/model/HistoryRetention.h"
#include "core/model/ListFromJsonText.h"
#include "core/model/ModelCoding.h"
#include "core/model/NotificationMessageBuilder.h"
#include "support/BenchmarkMain.h"
#include "sync/net/SyncChannel.h"

#include <QCoreApplication>

#include <algorithm>

#include <malloc.h>

#include <benchmark/benchmark.h>

using namespace vantorel;

namespace {

const Date benchNow = Date::fromUnixSeconds(1'772'323'200.0);

// Full histories: 2,500 confirmed samples and 120 notifications, half of them trusted texts.
MacSyncDisplayInput fullInput()
{
    MacSyncDisplayInput input;
    UsageSnapshot reading;
    reading.fiveHourRemainingPercent = 40.0;
    reading.weeklyRemainingPercent = 70.0;
    reading.fiveHourResetAt = benchNow + 3'600;
    reading.weeklyResetAt = benchNow + 86'400;
    reading.creditsRemaining = QStringLiteral("¥1,200円");
    reading.source = UsageSource::codexCLI;
    reading.updatedAt = benchNow;
    reading.codexPeriodValidationVersion = 1;
    input.codex = {true, reading, OverallCodexState::normal, false, false, false, false, std::nullopt};
    input.claude = {true, reading, OverallCodexState::degraded, false, false, false, false, QStringLiteral("max")};
    input.refreshIntervalSeconds = 300;
    for (int i = 0; i < 2'500; ++i) {
        input.usageHistory.append({QUuid::createUuid(), i % 2 ? MonitoredProvider::claude : MonitoredProvider::codex,
                                   benchNow - 900.0 * i, 50.0, 80.0, 1});
    }
    for (int i = 0; i < 120; ++i) {
        const bool trusted = i % 2 == 0;
        input.notificationHistory.append(
            {QUuid::createUuid(), MonitoredProvider::codex,
             trusted ? NotificationHistoryCategory::usage : NotificationHistoryCategory::status,
             trusted ? NotificationMessageBuilder::lowBalanceTitle(QStringLiteral("Codex"), UsageAlertThreshold::warning)
                     : QStringLiteral("Codex 状態"),
             trusted ? NotificationMessageBuilder::lowBalanceBody(QStringLiteral("週間枠"), QStringLiteral("18%")) : QStringLiteral("本文"),
             benchNow - 60.0 * i, std::nullopt});
    }
    return input;
}

// Unchanged input: encoding and hashing only, the last snapshot comes back.
void updateUnchanged(benchmark::State& state)
{
    InMemorySettingsStore defaults;
    MacSyncSnapshotStore store(QUuid::createUuid(), defaults, QStringLiteral("Studio"), QStringLiteral("1.0"),
                               QStringLiteral("1"));
    const MacSyncDisplayInput input = fullInput();
    store.update(input, benchNow);
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.update(input, benchNow).revision);
    }
}

// Changed input on every call: a new revision, validation and the counter write as well.
void updateChanged(benchmark::State& state)
{
    InMemorySettingsStore defaults;
    MacSyncSnapshotStore store(QUuid::createUuid(), defaults, QStringLiteral("Studio"), QStringLiteral("1.0"),
                               QStringLiteral("1"));
    MacSyncDisplayInput input = fullInput();
    double percent = 0.0;
    for (auto _ : state) {
        percent = percent >= 100.0 ? 0.0 : percent + 1.0;
        input.codex.snapshot->fiveHourRemainingPercent = percent;
        benchmark::DoNotOptimize(store.update(input, benchNow).revision);
    }
}

// A reading as it arrives: one more sample, the oldest one leaving, the clock moved on.
void updateNewSample(benchmark::State& state)
{
    InMemorySettingsStore defaults;
    MacSyncSnapshotStore store(QUuid::createUuid(), defaults, QStringLiteral("Studio"), QStringLiteral("1.0"),
                               QStringLiteral("1"));
    MacSyncDisplayInput input = fullInput();
    std::reverse(input.usageHistory.begin(), input.usageHistory.end());
    Date now = benchNow;
    store.update(input, now);
    for (auto _ : state) {
        now = now + 900.0;
        input.usageHistory.removeFirst();
        input.usageHistory.append({QUuid::createUuid(), MonitoredProvider::codex, now, 50.0, 80.0, 1});
        benchmark::DoNotOptimize(store.update(input, now).revision);
    }
}

// The heap a store keeps after building the snapshot of a full history, beside the input it was
// given: the snapshot (its samples and notifications) and what the fingerprint remembers. With
// `unpublishedChange`, after a second update whose input differs only in what is not published
// (a notification's delivery record), which gives the same content and keeps the first snapshot.
void keptHeapOf(benchmark::State& state, bool unpublishedChange)
{
    const MacSyncDisplayInput input = fullInput();
    MacSyncDisplayInput changed = input;
    changed.notificationHistory[0].delivery = NotificationDeliveryEvidence{};
    std::size_t kept = 0;
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        {
            InMemorySettingsStore defaults;
            MacSyncSnapshotStore store(QUuid::createUuid(), defaults, QStringLiteral("Studio"), QStringLiteral("1.0"),
                                       QStringLiteral("1"));
            benchmark::DoNotOptimize(store.update(input, benchNow).revision);
            if (unpublishedChange) {
                benchmark::DoNotOptimize(store.update(changed, benchNow).revision);
            }
            kept = mallinfo2().uordblks - before;
        }
    }
    state.counters["heapBytesPerSample"] = double(kept) / double(input.usageHistory.size());
}

void keptHeap(benchmark::State& state)
{
    keptHeapOf(state, false);
}

void keptHeapAfterUnpublishedChange(benchmark::State& state)
{
    keptHeapOf(state, true);
}

std::size_t heapInUse()
{
    return mallinfo2().uordblks;
}

// The heap each holder keeps per usage sample of a full history while idle: the view model's list
// as loaded from its stored text and after a few readings, the sync snapshot's samples, and what
// the fingerprint remembers beside the samples it shares with the snapshot. Apart: the frame the
// local server keeps from a paired device's read until the next revision.
void heapPerSampleByHolder(benchmark::State& state)
{
    const QByteArray stored = json::write(toJsonArray(fullInput().usageHistory), json::Form::store);
    constexpr int readings = 4;
    std::size_t history = 0;
    std::size_t snapshot = 0;
    std::size_t fingerprint = 0;
    qsizetype frame = 0;
    qsizetype samples = 0;
    for (auto _ : state) {
        std::size_t before = heapInUse();
        QList<UsageHistoryEntry> held =
            HistoryRetention::prunedUsage(*listFromJsonTextSkippingInvalid(stored, &usageHistoryEntryFromJson), benchNow);
        for (int i = 1; i <= readings; ++i) {
            held = HistoryRetention::appendingUsage(
                {QUuid::createUuid(), MonitoredProvider::codex, benchNow + 900.0 * i, 50.0 + i, 80.0, 1}, held);
        }
        history = heapInUse() - before;

        before = heapInUse();
        UsageSyncSnapshot published;
        published.usageHistory = MacSyncSnapshotAdapter::usageHistory(held, benchNow + 900.0 * readings);
        snapshot = heapInUse() - before;

        before = heapInUse();
        MacSyncSnapshotFingerprint remembered;
        benchmark::DoNotOptimize(remembered.of(published));
        fingerprint = heapInUse() - before;
        frame = SyncChannel::frameOf(SyncMessage::snapshot(published)).size();
        samples = held.size();
    }
    state.counters["appStateBytesPerSample"] = double(history) / double(samples);
    state.counters["snapshotBytesPerSample"] = double(snapshot) / double(samples);
    state.counters["fingerprintBytesPerSample"] = double(fingerprint) / double(samples);
    state.counters["totalBytesPerSample"] = double(history + snapshot + fingerprint) / double(samples);
    state.counters["serverFrameAfterReadBytesPerSample"] = double(frame) / double(samples);
}

} // namespace

BENCHMARK(heapPerSampleByHolder)->Unit(benchmark::kMillisecond);
BENCHMARK(keptHeap)->Unit(benchmark::kMillisecond);
BENCHMARK(keptHeapAfterUnpublishedChange)->Unit(benchmark::kMillisecond);
BENCHMARK(updateUnchanged)->Unit(benchmark::kMillisecond);
BENCHMARK(updateChanged)->Unit(benchmark::kMillisecond);
BENCHMARK(updateNewSample)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return vantorel::runBenchmarks<QCoreApplication>(argc, argv);
}
