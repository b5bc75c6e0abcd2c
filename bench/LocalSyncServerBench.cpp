#include "SnapshotAtLimits.h"
#include "core/foundation/TimerSleeper.h"
#include "support/LoopbackSyncNetworkServices.h"
#include "support/PeerFlood.h"
#include "support/RawPskClient.h"
#include "sync/net/LocalNetworkTransport.h"
#include "sync/net/LocalSyncServer.h"
#include "sync/net/SyncNetworkParameters.h"
#include "support/BenchmarkMain.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <ctime>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include <malloc.h>
#include <unistd.h>

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

// A running server on 127.0.0.1 (or `listenAddress`) holding a snapshot at its limits, for clients on other threads.
struct ServedSnapshot
{
    explicit ServedSnapshot(const QHostAddress& listenAddress = QHostAddress::LocalHost)
        : services(listenAddress)
    {
        server.updateSnapshot(snapshot);
        server.start(device);
    }

    // The registered listener's, unless a pairing started a listener since.
    quint16 port() const { return services.lastListener().port; }
    // Stopped and started again for the same device, as a wake from sleep does: a new listener on
    // another port.
    void restart()
    {
        server.stop();
        server.start(device);
    }
    bench::RawPskClient client() const
    {
        const PskParameters parameters = SyncNetworkParameters::make(credential);
        return bench::RawPskClient(parameters.identity, parameters.key);
    }

    const UsageSyncSnapshot snapshot = snapshotAtLimits();
    const SyncCredential credential = SyncCredential::random();
    const RegisteredSyncDevice device{QStringLiteral("iPhone"), credential, Date::now()};
    TimerSleeper sleeper;
    LoopbackSyncNetworkServices services;
    LocalSyncServer server{snapshot.hostID, snapshot.hostName, services, sleeper, systemClock(), false};
};

double threadCpuSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double wallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Resident and peak resident memory in bytes; the peak can be reset.
qint64 memoryField(const char* name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(name))
            return line.mid(qsizetype(qstrlen(name))).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

void runEventLoopFor(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// One read from another thread while this one serves; the first read also encodes the snapshot.
bool warmUp(const bench::RawPskClient& client, quint16 port)
{
    QEventLoop done;
    bool ok = false;
    std::thread reader([&] {
        ok = client.readSnapshot(port);
        QMetaObject::invokeMethod(&done, &QEventLoop::quit, Qt::QueuedConnection);
    });
    done.exec();
    reader.join();
    return ok;
}

constexpr double floodSeconds = 10.0;
constexpr double tailSeconds = 3.0;
constexpr auto pauseBetweenReads = std::chrono::milliseconds(250);
// The paired device counts a read as served only when its answer came within this.
constexpr double servedWithinSeconds = 1.0;

// Peers without the key hold `range(0)` connections, each opening as `range(1)` says (silent, a
// ClientHello, an 8-byte record header) and then stalling, and reopen each as soon as the server
// drops it, while the paired device reads every quarter second from a thread of its own. Measures
// the server's (main) thread: CPU during the flood and after it ended, peak memory growth, and the
// share of the paired device's reads that were answered within a second, with the slowest read.
void readsWhilePeersHoldConnections(benchmark::State& state)
{
    const auto opening = bench::PeerFlood::Opening(state.range(1));
    state.SetLabel(bench::PeerFlood::name(opening));
    // The paired device writing to a connection the server dropped must fail its read, not end
    // the program.
    std::signal(SIGPIPE, SIG_IGN);
    ServedSnapshot served;
    runEventLoopFor(0.2);
    const bench::RawPskClient client = served.client();
    if (!warmUp(client, served.port()))
        state.SkipWithError("the server does not answer");
    for (auto _ : state) {
        resetPeakMemory();
        const qint64 residentBefore = memoryField("VmRSS:");
        std::atomic<bool> stop = false;
        std::vector<double> seconds;
        int reads = 0;
        int succeeded = 0;
        QEventLoop readerDone;
        const double cpuBefore = threadCpuSeconds();
        const double wallBefore = wallSeconds();
        std::uint64_t dropped = 0;
        {
            bench::PeerFlood flood(served.port(), int(state.range(0)), opening);
            std::thread paired([&] {
                while (!stop) {
                    const double began = wallSeconds();
                    const bool ok = client.readSnapshot(served.port());
                    const double took = wallSeconds() - began;
                    ++reads;
                    seconds.push_back(took);
                    if (ok && took <= servedWithinSeconds)
                        ++succeeded;
                    std::this_thread::sleep_for(pauseBetweenReads);
                }
                QMetaObject::invokeMethod(&readerDone, &QEventLoop::quit, Qt::QueuedConnection);
            });
            runEventLoopFor(floodSeconds);
            stop = true;
            // The last read still needs the server.
            readerDone.exec();
            paired.join();
            dropped = flood.dropped();
        }
        const double cpuDuring = threadCpuSeconds() - cpuBefore;
        const double wallDuring = wallSeconds() - wallBefore;
        const double tailCpuBefore = threadCpuSeconds();
        runEventLoopFor(tailSeconds);
        const double cpuAfter = threadCpuSeconds() - tailCpuBefore;
        std::sort(seconds.begin(), seconds.end());
        state.counters["gui_cpu_pct"] = 100.0 * cpuDuring / wallDuring;
        state.counters["gui_cpu_after_pct"] = 100.0 * cpuAfter / tailSeconds;
        state.counters["rss_growth_MB"] = double(memoryField("VmHWM:") - residentBefore) / 1e6;
        state.counters["dropped_per_s"] = double(dropped) / wallDuring;
        state.counters["paired_reads"] = reads;
        state.counters["paired_ok_pct"] = reads > 0 ? 100.0 * succeeded / reads : 0.0;
        state.counters["read_median_ms"] = seconds.empty() ? 0.0 : 1000.0 * seconds[seconds.size() / 2];
        state.counters["read_max_ms"] = seconds.empty() ? 0.0 : 1000.0 * seconds.back();
    }
}

constexpr double floodSettleSeconds = 2.0;
constexpr double defaultFloodTailSeconds = 30.0;
constexpr int relayStartMilliseconds = 5000;
constexpr auto pauseBetweenPairings = std::chrono::milliseconds(250);
// The longest a pairing attempt can take: the new device's time-outs for connecting, the
// handshake's reads and the answer.
constexpr double pairingAttemptLimitSeconds = 30.0;
// A failed read's latency: endless.
constexpr double failedRead = 1e9;

double environmentSeconds(const char* name, double fallback)
{
    bool ok = false;
    const double seconds = qEnvironmentVariable(name).toDouble(&ok);
    return ok ? seconds : fallback;
}

// Where the flood case's server listens: VANTOREL_FLOOD_LISTEN, "any" (both families, as the
// application listens) or a numeric address; 127.0.0.1 when unset.
QHostAddress floodListenAddress()
{
    const QString listen = qEnvironmentVariable("VANTOREL_FLOOD_LISTEN");
    if (listen.isEmpty())
        return QHostAddress::LocalHost;
    return listen == QLatin1String("any") ? QHostAddress(QHostAddress::Any) : QHostAddress(listen);
}

// A new device pairing from a thread of its own while this one serves, one attempt after another,
// each with a fresh invitation and its pairing listener's port. An attempt succeeded when the
// server was asked to pair (the handshake with the invitation's key completed and the request
// arrived); the request is then rejected, which ends the attempt and the offer.
class PairingAttempts
{
public:
    PairingAttempts(ServedSnapshot& served, QByteArray host, QByteArray source)
        : m_served(served)
        , m_host(std::move(host))
        , m_source(std::move(source))
    {
        m_served.server.setOnPairingRequest([this](const std::optional<SyncPairingRequest>& request) {
            if (!request)
                return;
            m_seconds.push_back(wallSeconds() - m_attemptBegan);
            // Not from within the server's own announcement.
            QTimer::singleShot(0, &m_context, [this, id = request->id] { m_served.server.rejectPairing(id); });
        });
    }
    ~PairingAttempts()
    {
        if (m_thread.joinable())
            m_thread.join();
        m_served.server.setOnPairingRequest({});
    }
    PairingAttempts(const PairingAttempts&) = delete;
    PairingAttempts& operator=(const PairingAttempts&) = delete;

    // `count` attempts, the first `delaySeconds` from now; `done` runs on this thread after the last.
    void start(int count, double delaySeconds, std::function<void()> done)
    {
        m_thread = std::thread([this, count, delaySeconds, done = std::move(done)] {
            std::this_thread::sleep_for(std::chrono::duration<double>(delaySeconds));
            for (int i = 0; i < count; ++i) {
                PskParameters parameters;
                quint16 port = 0;
                QMetaObject::invokeMethod(
                    &m_context,
                    [&] {
                        parameters = SyncNetworkParameters::make(m_served.server.beginPairing().credential);
                        port = m_served.services.listenerPorts().last();
                        m_attemptBegan = wallSeconds();
                    },
                    Qt::BlockingQueuedConnection);
                bench::RawPskClient device(parameters.identity, parameters.key);
                device.setRoute(m_host, m_source);
                device.requestPairing(port, "Bench");
                ++m_made;
                std::this_thread::sleep_for(pauseBetweenPairings);
            }
            QMetaObject::invokeMethod(&m_context, done, Qt::QueuedConnection);
        });
    }

    int made() const { return m_made; }
    int succeeded() const { return int(m_seconds.size()); }
    // From an invitation to the server's request, of the slowest attempt that succeeded.
    double slowestSeconds() const
    {
        return m_seconds.empty() ? 0.0 : *std::max_element(m_seconds.cbegin(), m_seconds.cend());
    }

private:
    ServedSnapshot& m_served;
    const QByteArray m_host;
    const QByteArray m_source;
    QObject m_context;
    std::thread m_thread;
    std::atomic<int> m_made = 0;
    // Main thread only.
    double m_attemptBegan = 0;
    std::vector<double> m_seconds;
};

// Hostile peers (scripts/sync-flood-peers.py, in a process of its own, so its memory is not
// counted here), reconnecting as fast as the server drops them, while the paired device, having
// read once before, reads every quarter second. Measures the server's (main) thread's CPU during
// the flood, resident memory before, at its peak and after the flood ended (also after a
// malloc_trim, as the application's housekeeping does), the paired device's reads (answered,
// answered within a second, latencies, those failed before the first answer and how long that
// took) and whether the server still answers after the flood. With pairings, a new device pairs
// instead while the paired device keeps quiet, and the flood lasts until its last attempt ended.
// scripts/measure-sync-flood.sh and scripts/measure-sync-flood-matrix.sh run it; by default the
// peers are 200 of each kind from 127.0.0.2 and the paired device reads from 127.0.0.1.
// Environment:
//   VANTOREL_FLOOD_PEERS_SCRIPT   the peers' script (required)
//   VANTOREL_FLOOD_SECONDS        how long the peers flood (120)
//   VANTOREL_FLOOD_PEERS_ARGS     more arguments for the peers' script, e.g. "--kinds hello
//                                 --source 127.0.1.1-127.0.1.255 --host fd00::1"
//   VANTOREL_FLOOD_LISTEN         the server's listening address (127.0.0.1; "any" for both families)
//   VANTOREL_FLOOD_PHONE_HOST     the address the paired device reads from (127.0.0.1)
//   VANTOREL_FLOOD_PHONE_SOURCE   the paired device's own address (the system's choice)
//   VANTOREL_FLOOD_PHONE_READ_SOURCE  the paired device's address from the flood on, when it moved
//                                 there after its first read (PHONE_SOURCE; not with a round trip)
//   VANTOREL_FLOOD_ALSO_PROVEN_FROM  addresses, comma separated, the paired device read from once
//                                 before as well, so the server remembers them too
//   VANTOREL_FLOOD_RESTART        1: the server is stopped and started again for the same device
//                                 after the first read, as a wake from sleep does
//   VANTOREL_FLOOD_READ_DELAY     seconds into the flood before the first read or pairing (0)
//   VANTOREL_FLOOD_PAIRINGS       pairing attempts of a new device, one after another (0)
//   VANTOREL_FLOOD_PAIRING_SOURCE the new device's own address (127.0.0.3)
//   VANTOREL_FLOOD_ROUND_TRIP     seconds of round trip the paired device is away, through
//                                 VANTOREL_FLOOD_RELAY_SCRIPT (scripts/sync-flood-relay.py)
//   VANTOREL_FLOOD_TAIL_SECONDS   how long to watch the server after the flood (30)
void readsWhileHostilePeersFloodFromAnotherAddress(benchmark::State& state)
{
    const QString peersScript = qEnvironmentVariable("VANTOREL_FLOOD_PEERS_SCRIPT");
    const double floodSeconds = environmentSeconds("VANTOREL_FLOOD_SECONDS", 120);
    const double floodTailSeconds = environmentSeconds("VANTOREL_FLOOD_TAIL_SECONDS", defaultFloodTailSeconds);
    const double roundTrip = environmentSeconds("VANTOREL_FLOOD_ROUND_TRIP", 0);
    const double readDelay = environmentSeconds("VANTOREL_FLOOD_READ_DELAY", 0);
    const int pairings = qEnvironmentVariableIntValue("VANTOREL_FLOOD_PAIRINGS");
    const bool restart = qEnvironmentVariableIntValue("VANTOREL_FLOOD_RESTART") == 1;
    const QByteArray phoneHost = qEnvironmentVariableIsSet("VANTOREL_FLOOD_PHONE_HOST")
        ? qgetenv("VANTOREL_FLOOD_PHONE_HOST")
        : QByteArray("127.0.0.1");
    const QByteArray phoneSource = qgetenv("VANTOREL_FLOOD_PHONE_SOURCE");
    const QByteArray readSource = qgetenv("VANTOREL_FLOOD_PHONE_READ_SOURCE");
    const QByteArray pairingSource = qEnvironmentVariableIsSet("VANTOREL_FLOOD_PAIRING_SOURCE")
        ? qgetenv("VANTOREL_FLOOD_PAIRING_SOURCE")
        : QByteArray("127.0.0.3");
    if (peersScript.isEmpty()) {
        state.SkipWithError("VANTOREL_FLOOD_PEERS_SCRIPT names no peer script");
        return;
    }
    if (roundTrip > 0 && (restart || !readSource.isEmpty())) {
        state.SkipWithError("a far phone neither moves nor outlives a restart: its relay holds one address and port");
        return;
    }
    std::signal(SIGPIPE, SIG_IGN);
    ServedSnapshot served(floodListenAddress());
    runEventLoopFor(0.2);
    bench::RawPskClient client = served.client();
    for (const QByteArray& address : qgetenv("VANTOREL_FLOOD_ALSO_PROVEN_FROM").split(',')) {
        if (address.trimmed().isEmpty())
            continue;
        client.setRoute(phoneHost, address.trimmed());
        if (!warmUp(client, served.port()))
            state.SkipWithError("the server does not answer");
    }
    client.setRoute(phoneHost, phoneSource);
    quint16 phonePort = served.port();
    // The far phone reads through a relay that delays both directions and reaches the server from
    // the phone's own address.
    QProcess relay;
    relay.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (roundTrip > 0) {
        const QString upstream = phoneHost.contains(':') ? QStringLiteral("[%1]:%2") : QStringLiteral("%1:%2");
        relay.start(QStringLiteral("python3"),
                    {qEnvironmentVariable("VANTOREL_FLOOD_RELAY_SCRIPT"), QStringLiteral("--upstream"),
                     upstream.arg(QString::fromLatin1(phoneHost)).arg(served.port()), QStringLiteral("--source"),
                     phoneSource.isEmpty() ? QStringLiteral("127.0.0.1") : QString::fromLatin1(phoneSource),
                     QStringLiteral("--round-trip"), QString::number(roundTrip)});
        if (!relay.waitForReadyRead(relayStartMilliseconds)) {
            state.SkipWithError("the relay did not start");
            return;
        }
        phonePort = quint16(relay.readLine().trimmed().toUInt());
        client.setRoute("127.0.0.1", {});
    }
    if (!warmUp(client, phonePort))
        state.SkipWithError("the server does not answer");
    if (restart) {
        served.restart();
        phonePort = served.port();
    }
    if (!readSource.isEmpty())
        client.setRoute(phoneHost, readSource);
    // Pairing starts listeners of its own.
    const quint16 serverPort = served.port();
    for (auto _ : state) {
        runEventLoopFor(floodSettleSeconds);
        const qint64 residentBefore = memoryField("VmRSS:");
        resetPeakMemory();
        std::atomic<bool> stop = false;
        std::vector<double> seconds;
        int answered = 0;
        int succeeded = 0;
        int failedBeforeFirstAnswer = 0;
        double firstAnswerSeconds = failedRead;
        QEventLoop readerDone;
        QProcess peers;
        peers.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Pairing attempts end the flood once they are done; it runs at most as long as they may take.
        const double peersSeconds =
            floodSeconds + (pairings > 0 ? readDelay + pairings * pairingAttemptLimitSeconds : 0);
        QStringList arguments{peersScript,
                              QStringLiteral("--port"),
                              QString::number(serverPort),
                              QStringLiteral("--peers"),
                              QString::number(state.range(0)),
                              QStringLiteral("--seconds"),
                              QString::number(peersSeconds)};
        arguments += qEnvironmentVariable("VANTOREL_FLOOD_PEERS_ARGS").split(QLatin1Char(' '), Qt::SkipEmptyParts);
        peers.start(QStringLiteral("python3"), arguments);
        const double cpuBefore = threadCpuSeconds();
        const double wallBefore = wallSeconds();
        std::thread paired;
        PairingAttempts pairing(served, phoneHost, pairingSource);
        bool pairingDone = false;
        bool floodLongEnough = false;
        QEventLoop pairingFinished;
        const auto endFloodWhenDone = [&] {
            if (pairingDone && floodLongEnough)
                peers.terminate();
        };
        if (pairings > 0) {
            pairing.start(pairings, readDelay, [&] {
                pairingDone = true;
                pairingFinished.quit();
                endFloodWhenDone();
            });
            QTimer::singleShot(int(floodSeconds * 1000), &peers, [&] {
                floodLongEnough = true;
                endFloodWhenDone();
            });
        } else {
            paired = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::duration<double>(readDelay));
                const double firstBegan = wallSeconds();
                while (!stop) {
                    const double began = wallSeconds();
                    const bool ok = client.readSnapshot(phonePort);
                    const double took = wallSeconds() - began;
                    seconds.push_back(ok ? took : failedRead);
                    answered += ok ? 1 : 0;
                    if (ok && took <= servedWithinSeconds)
                        ++succeeded;
                    if (answered == 0)
                        ++failedBeforeFirstAnswer;
                    else if (ok && answered == 1)
                        firstAnswerSeconds = began + took - firstBegan;
                    std::this_thread::sleep_for(pauseBetweenReads);
                }
                QMetaObject::invokeMethod(&readerDone, &QEventLoop::quit, Qt::QueuedConnection);
            });
        }
        QEventLoop flooding;
        QObject::connect(&peers, &QProcess::finished, &flooding, &QEventLoop::quit);
        if (peers.state() != QProcess::NotRunning)
            flooding.exec();
        // Its thread waits for this one to hand it each invitation.
        if (pairings > 0 && !pairingDone)
            pairingFinished.exec();
        stop = true;
        if (paired.joinable()) {
            readerDone.exec();
            paired.join();
        }
        const double cpuDuring = threadCpuSeconds() - cpuBefore;
        const double wallDuring = wallSeconds() - wallBefore;
        const qint64 residentPeak = memoryField("VmHWM:");
        const double tailCpuBefore = threadCpuSeconds();
        runEventLoopFor(floodTailSeconds);
        const double cpuAfter = threadCpuSeconds() - tailCpuBefore;
        const qint64 residentAfter = memoryField("VmRSS:");
        malloc_trim(0);
        const qint64 residentTrimmed = memoryField("VmRSS:");
        const bool alive = warmUp(client, phonePort);
        state.SetLabel(QString::fromUtf8(peers.readAllStandardOutput()).trimmed().toStdString());
        std::sort(seconds.begin(), seconds.end());
        const auto share = [&](double fraction) {
            return seconds.empty() ? 0.0 : 1000.0 * seconds[std::min(seconds.size() - 1, size_t(fraction * double(seconds.size())))];
        };
        state.counters["gui_cpu_pct"] = 100.0 * cpuDuring / wallDuring;
        state.counters["gui_cpu_after_pct"] = floodTailSeconds > 0 ? 100.0 * cpuAfter / floodTailSeconds : 0.0;
        state.counters["rss_before_MB"] = double(residentBefore) / 1e6;
        state.counters["rss_peak_growth_MB"] = double(residentPeak - residentBefore) / 1e6;
        state.counters["rss_after_growth_MB"] = double(residentAfter - residentBefore) / 1e6;
        state.counters["rss_trimmed_growth_MB"] = double(residentTrimmed - residentBefore) / 1e6;
        state.counters["flood_s"] = wallDuring;
        state.counters["paired_reads"] = double(seconds.size());
        state.counters["paired_answered"] = answered;
        state.counters["paired_ok_pct"] = seconds.empty() ? 0.0 : 100.0 * succeeded / double(seconds.size());
        state.counters["read_median_ms"] = share(0.5);
        state.counters["read_p95_ms"] = share(0.95);
        state.counters["read_max_ms"] = seconds.empty() ? 0.0 : 1000.0 * seconds.back();
        state.counters["failed_before_first_answer"] = failedBeforeFirstAnswer;
        state.counters["first_answer_s"] = firstAnswerSeconds;
        state.counters["pairings_made"] = pairing.made();
        state.counters["pairings_ok"] = pairing.succeeded();
        state.counters["pairing_slowest_s"] = pairing.slowestSeconds();
        state.counters["alive_after"] = alive ? 1 : 0;
    }
    if (relay.state() != QProcess::NotRunning) {
        relay.kill();
        relay.waitForFinished();
    }
}

constexpr int rawClients = 8;
constexpr int readsPerRawClient = 50;

// Eight paired devices on threads of their own read back to back, so the server's main thread does
// nothing but serve: reads per second of the 2,500-entry snapshot, TLS handshake included.
void serveReadsToClientsOnOtherThreads(benchmark::State& state)
{
    ServedSnapshot served;
    runEventLoopFor(0.2);
    const bench::RawPskClient client = served.client();
    if (!warmUp(client, served.port()))
        state.SkipWithError("the server does not answer");
    int failures = 0;
    double cpu = 0;
    for (auto _ : state) {
        std::atomic<int> remaining = rawClients;
        std::atomic<int> failed = 0;
        QEventLoop done;
        const double cpuBefore = threadCpuSeconds();
        std::vector<std::thread> threads;
        for (int i = 0; i < rawClients; ++i) {
            threads.emplace_back([&] {
                for (int r = 0; r < readsPerRawClient; ++r) {
                    if (!client.readSnapshot(served.port()))
                        ++failed;
                }
                if (--remaining == 0)
                    QMetaObject::invokeMethod(&done, &QEventLoop::quit, Qt::QueuedConnection);
            });
        }
        done.exec();
        for (std::thread& thread : threads)
            thread.join();
        cpu += threadCpuSeconds() - cpuBefore;
        failures += failed;
    }
    const double reads = double(state.iterations()) * rawClients * readsPerRawClient;
    state.SetItemsProcessed(qint64(reads));
    state.counters["failed_reads"] = failures;
    state.counters["gui_cpu_ms_per_read"] = 1000.0 * cpu / reads;
}

} // namespace

BENCHMARK(readSnapshotsConcurrently)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(serveReadsToClientsOnOtherThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
// 8: as many connections as the server has slots; 16, 64, 1,000: a reconnect flood. Openings:
// 0 silent, 1 ClientHello, 2 record header.
BENCHMARK(readsWhilePeersHoldConnections)
    ->ArgsProduct({{8, 16, 64, 1000}, {0, 1, 2}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// 1,000 hostile peers, 200 of each kind.
BENCHMARK(readsWhileHostilePeersFloodFromAnotherAddress)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv)
{
    return vantorel::runBenchmarks<QCoreApplication>(argc, argv);
}
