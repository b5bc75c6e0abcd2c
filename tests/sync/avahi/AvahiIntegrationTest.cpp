#include "sync/model/SyncModelFixtures.h"
#include "sync/net/AvahiDnsSdBrowser.h"
#include "sync/net/AvahiDnsSdPublisher.h"
#include "sync/net/LocalNetworkTransport.h"
#include "sync/net/LocalSyncServer.h"
#include "sync/net/NetTestOutcome.h"
#include "sync/net/QtSyncNetworkServices.h"
#include "sync/net/SyncServiceName.h"
#include "support/ManualSleeper.h"
#include "support/QtPrinters.h"
#include "support/TaskOutcome.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace vantorel;
using namespace vantorel::test;

namespace {

constexpr int waitMilliseconds = 15'000;

bool run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    const bool ended = QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, waitMilliseconds);
    if (output)
        *output = process.readAllStandardOutput();
    return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

// Fixtures need a name with linkage: GCC rejects a test deriving from an anonymous one when this
// file is part of a unity batch.
namespace avahiIntegrationTest {

// A private system bus and an avahi-daemon in a network namespace that has only loopback, so
// nothing is announced on a real network. One per test program: the daemon's pid file has one
// fixed place.
class AvahiIntegration : public testing::Test
{
public:
    static void SetUpTestSuite()
    {
        const QStringList tools = {QStringLiteral("ip"), QStringLiteral("dbus-daemon"), QStringLiteral("avahi-daemon"),
                                   QStringLiteral("avahi-browse"), QStringLiteral("avahi-publish")};
        const auto missing = std::find_if(tools.begin(), tools.end(), [](const QString& tool) {
            return QStandardPaths::findExecutable(tool, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")}).isEmpty();
        });
        if (geteuid() != 0 || missing != tools.end())
            return;
        s_dir = new QTemporaryDir;
        s_namespace = QStringLiteral("vantorel-avahi-%1").arg(getpid());
        QFile bus(s_dir->filePath(QStringLiteral("bus.conf")));
        bus.open(QIODevice::WriteOnly);
        bus.write(QStringLiteral(R"(<busconfig><type>system</type><listen>unix:path=%1</listen><auth>EXTERNAL</auth>
<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/><allow receive_sender="*"/>
</policy></busconfig>)").arg(s_dir->filePath(QStringLiteral("bus.sock"))).toUtf8());
        bus.close();
        QFile avahi(s_dir->filePath(QStringLiteral("avahi.conf")));
        avahi.open(QIODevice::WriteOnly);
        avahi.write("[server]\nallow-interfaces=lo\nuse-ipv6=no\n[wide-area]\nenable-wide-area=no\n"
                    "[publish]\npublish-hinfo=no\npublish-workstation=no\n");
        avahi.close();
        QByteArray pid;
        if (!run(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("add"), s_namespace})
            || !run(QStringLiteral("ip"), {QStringLiteral("-n"), s_namespace, QStringLiteral("link"), QStringLiteral("set"),
                                           QStringLiteral("lo"), QStringLiteral("up")})
            || !run(QStringLiteral("dbus-daemon"), {QStringLiteral("--fork"), QStringLiteral("--print-pid"),
                                                    QStringLiteral("--config-file=") + bus.fileName()},
                    &pid)) {
            return;
        }
        s_busPid = pid.trimmed().toInt();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + s_dir->filePath(QStringLiteral("bus.sock")).toUtf8());
        s_ready = startDaemon();
    }

    static void TearDownTestSuite()
    {
        stopDaemon();
        if (s_busPid > 0)
            kill(s_busPid, SIGTERM);
        if (!s_namespace.isEmpty())
            run(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("del"), s_namespace});
        delete s_dir;
    }

    static bool startDaemon()
    {
        QFile::remove(QStringLiteral("/run/avahi-daemon/pid"));
        s_daemon = new QProcess;
        s_daemon->setProcessChannelMode(QProcess::MergedChannels);
        s_daemon->start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("exec"), s_namespace,
                                               QStringLiteral("avahi-daemon"), QStringLiteral("--no-drop-root"),
                                               QStringLiteral("--no-rlimits"), QStringLiteral("--no-chroot"),
                                               QStringLiteral("-f"), s_dir->filePath(QStringLiteral("avahi.conf"))});
        QByteArray output;
        return QTest::qWaitFor([&] {
            output += s_daemon->readAll();
            return output.contains("Server startup complete") || s_daemon->state() == QProcess::NotRunning;
        }, waitMilliseconds) && s_daemon->state() == QProcess::Running;
    }

    static void stopDaemon()
    {
        if (!s_daemon)
            return;
        s_daemon->terminate();
        s_daemon->waitForFinished(waitMilliseconds);
        delete std::exchange(s_daemon, nullptr);
    }

    // What `avahi-browse -rpt` resolves of the sync service type, one line per instance.
    static QByteArray browse()
    {
        QByteArray output;
        run(QStringLiteral("avahi-browse"), {QStringLiteral("-rpt"), QStringLiteral("_vantorel._tcp")}, &output);
        return output;
    }

    static bool browseSees(const QByteArray& line)
    {
        return QTest::qWaitFor([&] { return browse().contains(line); }, waitMilliseconds);
    }

    void SetUp() override
    {
        if (!s_ready)
            GTEST_SKIP() << "needs root, ip, dbus-daemon, avahi-daemon and avahi-utils";
        server.setOnStatusChange([this](const QString& text) { statuses.append(text); });
        server.setOnPairingRequest([this](const std::optional<SyncPairingRequest>& r) { requests.append(r); });
    }

    void TearDown() override
    {
        for (const auto& process : m_publishers) {
            process->kill();
            process->waitForFinished();
        }
    }

    // Runs avahi-publish until the test ends; `host` names a host other than this one.
    QProcess& publishElsewhere(const QString& name, const QString& host = {})
    {
        auto& process = *m_publishers.emplace_back(std::make_unique<QProcess>());
        process.setProcessChannelMode(QProcess::MergedChannels);
        QStringList arguments{QStringLiteral("-s"), name, QStringLiteral("_vantorel._tcp"), QStringLiteral("4242")};
        if (!host.isEmpty())
            arguments.prepend(QStringLiteral("--host=") + host);
        process.start(QStringLiteral("avahi-publish"), arguments);
        return process;
    }

    static inline QTemporaryDir* s_dir = nullptr;
    static inline QString s_namespace;
    static inline int s_busPid = 0;
    static inline QProcess* s_daemon = nullptr;
    static inline bool s_ready = false;

    ManualSleeper sleeper;
    ManualClock clock = sleeper.clock();
    AvahiDnsSdPublisher publisher;
    QtSyncNetworkServices services{&publisher, [] { return std::make_unique<AvahiDnsSdBrowser>(); },
                                   QHostAddress::LocalHost};
    LocalSyncServer server{hostA, QStringLiteral("Mac"), services, sleeper, clock.clock()};
    QStringList statuses;
    QList<std::optional<SyncPairingRequest>> requests;
    std::vector<std::unique_ptr<QProcess>> m_publishers;
};

} // namespace avahiIntegrationTest

using avahiIntegrationTest::AvahiIntegration;

namespace {

const RegisteredSyncDevice device{QStringLiteral("iPhone"), SyncCredential{uuidNumber(3), QByteArray(32, 'd')}, Date()};

} // namespace

TEST_F(AvahiIntegration, EachSideSeesTheOthersPublication)
{
    server.start(device);
    ASSERT_TRUE(QTest::qWaitFor([&] { return statuses.contains(LocalSyncServer::statusAwaitingConnection()); },
                                waitMilliseconds));
    EXPECT_TRUE(browseSees(";lo;IPv4;" + SyncServiceName::registered(hostA).toUtf8() + ";_vantorel._tcp;local;"));

    publishElsewhere(QStringLiteral("elsewhere"));
    AvahiDnsSdBrowser browser;
    QList<NetworkEndpoint> results;
    browser.setResultsHandler([&](const QList<NetworkEndpoint>& current) { results = current; });
    browser.start(QStringLiteral("_vantorel._tcp"), QStringLiteral("local."));
    const NetworkEndpoint expected = ServiceEndpoint{QStringLiteral("elsewhere"), QStringLiteral("_vantorel._tcp"),
                                                     QStringLiteral("local"), QStringLiteral("lo"),
                                                     QStringLiteral("127.0.0.1"), 4242};
    EXPECT_TRUE(QTest::qWaitFor([&] { return results.contains(expected); }, waitMilliseconds));
}

TEST_F(AvahiIntegration, PairsAndReadsThroughDiscovery)
{
    server.updateSnapshot(emptySnapshot());
    server.start(std::nullopt);
    const PairingInvitation invitation = server.beginPairing();
    const auto iPhone = startTask(
        LocalNetworkTransport::pair(invitation, QStringLiteral("iPhone"), services, sleeper, clock.clock()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !requests.isEmpty() && requests.last(); }, waitMilliseconds));
    server.approvePairing(requests.last()->id, [](const RegisteredSyncDevice&) {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return iPhone->finished; }, waitMilliseconds));
    ASSERT_TRUE(iPhone->value) << errorName(iPhone->error);

    LocalNetworkTransport transport(*iPhone->value, services, sleeper);
    const auto read = startTask(transport.fetchSnapshot());
    ASSERT_TRUE(QTest::qWaitFor([&] { return read->finished; }, waitMilliseconds));
    EXPECT_EQ(read->value, emptySnapshot()) << errorName(read->error);
}

TEST_F(AvahiIntegration, AClashFailsTheListenerAndARestartedDaemonSeesThePublicationAgain)
{
    QProcess& clash = publishElsewhere(SyncServiceName::registered(hostA));
    QByteArray said;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (said += clash.readAll()).contains("Established"); }, waitMilliseconds));
    server.start(device);
    EXPECT_TRUE(QTest::qWaitFor([&] { return statuses.contains(LocalSyncServer::statusCheckNetwork()); },
                                waitMilliseconds));
    clash.kill();
    clash.waitForFinished();

    server.start(device);
    const QByteArray line = ";lo;IPv4;" + SyncServiceName::registered(hostA).toUtf8() + ";_vantorel._tcp;local;";
    ASSERT_TRUE(browseSees(line));
    stopDaemon();
    ASSERT_TRUE(startDaemon());
    EXPECT_TRUE(browseSees(line));
}

// Turned on without a registered device, the server has no listener to fail: it asks the bus
// whether the daemon runs and says so at once when it does not.
TEST_F(AvahiIntegration, WithoutARegisteredDeviceAStoppedDaemonIsToldAtOnce)
{
    std::optional<std::optional<NetworkError>> answer;
    publisher.checkAvailability([&](const std::optional<NetworkError>& unavailable) { answer = unavailable; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, waitMilliseconds));
    EXPECT_EQ(*answer, std::nullopt);

    stopDaemon();
    server.start(std::nullopt);
    EXPECT_TRUE(QTest::qWaitFor([&] { return statuses.contains(LocalSyncServer::statusDiscoveryDaemonMissing()); },
                                waitMilliseconds));
    EXPECT_TRUE(server.listenerDown());
    ASSERT_TRUE(startDaemon());
}

TEST_F(AvahiIntegration, AnInstanceThatCannotResolveHoldsBackNoOther)
{
    // Its host has no address record: the daemon gives up resolving it only after its own
    // time-out of about five seconds.
    QProcess& stale = publishElsewhere(QStringLiteral("stale"), QStringLiteral("gone.local"));
    QByteArray said;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (said += stale.readAll()).contains("Established"); }, waitMilliseconds));
    QProcess& fresh = publishElsewhere(QStringLiteral("fresh"));
    said.clear();
    ASSERT_TRUE(QTest::qWaitFor([&] { return (said += fresh.readAll()).contains("Established"); }, waitMilliseconds));

    AvahiDnsSdBrowser browser;
    QList<NetworkEndpoint> results;
    browser.setResultsHandler([&](const QList<NetworkEndpoint>& current) { results = current; });
    browser.start(QStringLiteral("_vantorel._tcp"), QStringLiteral("local."));
    const NetworkEndpoint expected = ServiceEndpoint{QStringLiteral("fresh"), QStringLiteral("_vantorel._tcp"),
                                                     QStringLiteral("local"), QStringLiteral("lo"),
                                                     QStringLiteral("127.0.0.1"), 4242};
    // Well inside the daemon's resolving time-out.
    constexpr int reportedWithinMilliseconds = 3'000;
    EXPECT_TRUE(QTest::qWaitFor([&] { return results.contains(expected); }, reportedWithinMilliseconds));
    EXPECT_EQ(results.size(), 1) << "the stale instance is not reported unresolved";
}
