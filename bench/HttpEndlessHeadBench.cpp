// What a server whose response head never ends costs the client: the time until the request
// fails and how far the process's peak resident memory grows meanwhile. The server sends header
// lines at about 1.5 MB/s (a fast link), the client waits up to `requestTimeoutSeconds`.
#include "core/foundation/HttpClient.h"
#include "core/foundation/HttpError.h"
#include "support/BenchmarkMain.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

using vantorel::HttpClient;

// 15 KiB every 10 ms.
constexpr int linesPerTick = 15;
constexpr int tickMs = 10;

long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// One ordinary exchange, so the network stack's one-time set-up is not counted.
void warmUp(const HttpClient::Options& options)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server, &QTcpServer::newConnection, [&server] {
        QTcpSocket* peer = server.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, peer, [peer] {
            peer->readAll();
            peer->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
        });
    });
    HttpClient client(options);
    QCoro::waitFor(client.send(vantorel::HttpRequest{.url = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort()))}, {}));
}

QCoro::Task<bool> failed(HttpClient* client, QUrl url)
{
    try {
        co_await client->send(vantorel::HttpRequest{.url = url}, {});
    } catch (const vantorel::HttpError&) {
        co_return true;
    }
    co_return false;
}

void endlessHead(benchmark::State& state)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const QByteArray line = "X-Padding: " + QByteArray(1010, 'v') + "\r\n";
    QObject::connect(&server, &QTcpServer::newConnection, [&server, line] {
        QTcpSocket* peer = server.nextPendingConnection();
        peer->write("HTTP/1.1 200 OK\r\n");
        auto* drip = new QTimer(peer);
        QObject::connect(drip, &QTimer::timeout, peer, [peer, line] {
            for (int i = 0; i < linesPerTick; ++i)
                peer->write(line);
        });
        drip->start(tickMs);
    });
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort()));
    HttpClient::Options options;
    options.requestTimeoutSeconds = double(state.range(0));
    options.resourceTimeoutSeconds = 2.0 * options.requestTimeoutSeconds;
    warmUp(options);
    const long before = peakResidentKiB();
    for (auto _ : state) {
        HttpClient client(options);
        QElapsedTimer elapsed;
        elapsed.start();
        if (!QCoro::waitFor(failed(&client, url)))
            state.SkipWithError("the endless head was accepted");
        state.counters["secondsToFail"] = double(elapsed.elapsed()) / 1000.0;
    }
    state.counters["peakGrowthKiB"] = double(peakResidentKiB() - before);
}

BENCHMARK(endlessHead)->Arg(5)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return vantorel::runBenchmarks<QCoreApplication>(argc, argv);
}
