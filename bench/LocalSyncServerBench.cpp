#include "SnapshotAtLimits.h"
#include "core/foundation/TimerSleeper.h"
#include "support/LoopbackSyncNetworkServices.h"
#include "sync/net/LocalNetworkTransport.h"
#include "sync/net/LocalSyncServer.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>

using namespace vantorel;

namespace {

constexpr int clients = 8;

QCoro::Task<> readOnce(LocalNetworkTransport& transport, int& pending, int& failures, QEventLoop& loop)
{
    try {
        const UsageSyncSnapshot snapshot = co_await transport.fetchSnapshot();
        benchmark::DoNotOptimize(snapshot.usageHistory.constData());
    } catch (...) {
        ++failures;
    }
    if (--pending == 0)
        loop.quit();
}

// Eight companions read at once, each over a connection of its own with a full TLS handshake,
// from a server holding a snapshot at its limits.
void readSnapshotsConcurrently(benchmark::State& state)
{
    const UsageSyncSnapshot snapshot = snapshotAtLimits();
    const SyncCredential credential = SyncCredential::random();
    TimerSleeper sleeper;
    LoopbackSyncNetworkServices services;
    LocalSyncServer server(snapshot.hostID, snapshot.hostName, services, sleeper, systemClock(), false);
    server.updateSnapshot(snapshot);
    server.start(RegisteredSyncDevice{QStringLiteral("iPhone"), credential, Date::now()});
    std::vector<std::unique_ptr<LocalNetworkTransport>> transports;
    for (int i = 0; i < clients; ++i) {
        transports.push_back(std::make_unique<LocalNetworkTransport>(
            PairedHost{snapshot.hostID, snapshot.hostName, credential, Date::now()}, services, sleeper,
            services.lastListener()));
    }
    int failures = 0;
    for (auto _ : state) {
        QEventLoop loop;
        int pending = clients;
        for (const auto& transport : transports)
            readOnce(*transport, pending, failures, loop);
        if (pending > 0)
            loop.exec();
    }
    if (failures > 0)
        state.SkipWithError("a read failed");
    state.SetItemsProcessed(state.iterations() * clients);
}

} // namespace

BENCHMARK(readSnapshotsConcurrently)->Unit(benchmark::kMillisecond)->UseRealTime();

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
