#include "sync/net/QtPskListener.h"

#include "sync/net/AcceptBudget.h"
#include "sync/net/HeldConnections.h"
#include "sync/net/OpensslPskConnection.h"
#include "sync/net/OpensslPskContext.h"
#include "sync/net/PreferredConnections.h"
#include "sync/net/ProvenAddresses.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <sys/resource.h>
#include <sys/socket.h>

namespace vantorel {

namespace {

// Out of descriptors (or kernel memory), accept fails at once while the connection stays queued;
// accepting resumes after this pause instead of retrying in a loop.
constexpr int acceptPauseMilliseconds = 1000;

// A reconnect flood must not take the event loop: at most this many handshakes of peers that have
// not proven the key start per window (500 a second, each costing the main thread up to a tenth
// of a millisecond, and its accept and close as much again), the rest are held, a turn for each
// address. Each finished handshake lets one more start at once, so paired devices are not held to
// that rate. Connections from an address a paired device proved the key from lately are held apart
// and take every other start while others wait too, so their turn never waits behind the round.
constexpr int startsPerWindow = 5;
constexpr int budgetWindowMilliseconds = 10;
constexpr int maximumStartCredit = startsPerWindow;
// Accepting costs no TLS, so connections are taken as fast as they come, until more arrive than
// can be held: each then pushes a held one out, whose peer may reconnect at once. At most this
// many are pushed out per window (1,000 a second); beyond it the rest wait in the kernel's queue,
// where they cost nothing, for the next window. Every connection taken is one more closed: under a
// flood of 1,000 peers the two budgets together keep the main thread near a tenth of a core and a
// phone's read on another address within half a second.
constexpr int dropsPerWindow = 10;
// Deep enough that a flood of peers reopening their connections cannot overflow it (the kernel
// caps it at net.core.somaxconn): a full queue drops the next connection attempt, and its retry
// comes only a second or more later.
constexpr int listenBacklog = 4096;
// Whole hellos from a remembered address wait beyond the preferred places, up to as many as a flood
// of a thousand peers keeps open at once: left in the kernel's queue instead, they would hold every
// other address back behind them. Each holds a descriptor, so the process's limit is raised to make
// room (desktop sessions start at 1,024), and they get only what is left beside the rest: the held
// and preferred connections, the server's, lingering closes and the application's own files.
constexpr rlim_t maximumWaitingHellos = 1024;
constexpr rlim_t descriptorsForTheRest = 1536;

int waitingPlaces()
{
    static const int places = [] {
        rlimit limit{};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
            return 0;
        const rlim_t wanted = descriptorsForTheRest + maximumWaitingHellos;
        if (limit.rlim_cur < wanted && limit.rlim_cur < limit.rlim_max) {
            const rlimit raised{std::min(wanted, limit.rlim_max), limit.rlim_max};
            if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
                limit = raised;
        }
        return limit.rlim_cur <= descriptorsForTheRest
            ? 0
            : int(std::min(maximumWaitingHellos, limit.rlim_cur - descriptorsForTheRest));
    }();
    return places;
}

} // namespace

// QTcpServer only listens here; accepting is ours. At the descriptor limit Qt 6.4 either retries
// the failing accept in a busy loop or stops accepting for good, without telling. We also take the
// descriptor before any handshake: QSslServer would only hand a socket over after it, but the
// connection's owner must run the handshake under its own time-out. One timer serves both
// budgets, armed only while one of them holds something back.
// Which addresses proved the key is kept in memory only, shared by the listeners of one key: a
// listener of another key serves another device.
class QtPskListener::Server final : public QTcpServer
{
public:
    Server(QtPskListener& owner, std::shared_ptr<ProvenAddresses> proven)
        : m_owner(owner)
        , m_preferred(&PreferredConnections::peek, PreferredConnections::defaultMaximumHeld, waitingPlaces())
        , m_proven(proven ? std::move(proven) : std::make_shared<ProvenAddresses>())
        , m_starts(startsPerWindow, budgetWindowMilliseconds, maximumStartCredit)
        , m_drops(dropsPerWindow, budgetWindowMilliseconds, 0)
    {
        m_clock.start();
        m_resume.setSingleShot(true);
        QObject::connect(&m_resume, &QTimer::timeout, this, [this] { resume(); });
    }

    ~Server() override { closeHeld(); }

    bool start(const QHostAddress& address)
    {
        setListenBacklogSize(listenBacklog);
        if (!listen(address, 0))
            return false;
        pauseAccepting();
        m_notifier = std::make_unique<QSocketNotifier>(socketDescriptor(), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { acceptPending(); });
        return true;
    }

    // A peer proved the key from `address`: its later connections are preferred, and one more
    // handshake may start at once.
    void proven(const QByteArray& address)
    {
        m_proven->remember(address, ProvenAddresses::now());
        m_starts.credit();
        startHeld();
    }

    void stop()
    {
        m_resume.stop();
        m_notifier.reset();
        close();
        closeHeld();
    }

private:
    // The sanitizer's vptr check needs a pipe to inspect an object, and these run when no
    // descriptor may be left: it would report every object here as invalid.
    __attribute__((no_sanitize("vptr"))) void resume()
    {
        if (m_notifier && !m_notifier->isEnabled()) {
            const qint64 paused = m_acceptPausedUntil - m_clock.elapsed();
            if (paused <= 0) {
                m_notifier->setEnabled(true);
                acceptPending();
                return;
            }
            resumeWithin(paused);
        }
        startHeld();
    }

    __attribute__((no_sanitize("vptr"))) void acceptPending()
    {
        for (;;) {
            if (!m_drops.allows(m_clock.elapsed())) {
                holdBackAccepting(m_drops.waitFrom(m_clock.elapsed()));
                break;
            }
            sockaddr_storage peer{};
            socklen_t peerLength = sizeof peer;
            const int descriptor = ::accept4(int(socketDescriptor()), reinterpret_cast<sockaddr*>(&peer), &peerLength,
                                             SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (descriptor >= 0) {
                const QByteArray address = ProvenAddresses::addressOf(peer);
                const int givenUp = m_proven->contains(address, ProvenAddresses::now())
                    ? m_preferred.hold(descriptor, PreferredConnections::peek(descriptor), address)
                    : m_held.hold(HeldConnections::addressGroup(address), descriptor);
                if (givenUp >= 0) {
                    m_drops.spend();
                    ::close(givenUp);
                }
                continue;
            }
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                holdBackAccepting(acceptPauseMilliseconds);
            break;
        }
        startHeld();
    }

    __attribute__((no_sanitize("vptr"))) void startHeld()
    {
        while (!m_held.isEmpty() || !m_preferred.isEmpty()) {
            if (!m_starts.allows(m_clock.elapsed())) {
                resumeWithin(m_starts.waitFrom(m_clock.elapsed()));
                return;
            }
            m_starts.spend();
            m_preferredWentLast = !m_preferred.isEmpty() && (m_held.isEmpty() || !m_preferredWentLast);
            handOver(m_preferredWentLast ? m_preferred.next() : m_held.next());
        }
    }

    __attribute__((no_sanitize("vptr"))) void handOver(int descriptor)
    {
        sockaddr_storage peer{};
        socklen_t peerLength = sizeof peer;
        // A peer already gone has no address; its connection fails on its first read.
        if (::getpeername(descriptor, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
            peer.ss_family = AF_UNSPEC;
        const QByteArray address = ProvenAddresses::addressOf(peer);
        // Remembered connections give way by their very address, as they are remembered.
        const bool remembered = m_proven->contains(address, ProvenAddresses::now());
        m_owner.accept(descriptor, {remembered ? address : HeldConnections::addressGroup(address), remembered},
                       address);
    }

    __attribute__((no_sanitize("vptr"))) void holdBackAccepting(qint64 milliseconds)
    {
        m_notifier->setEnabled(false);
        m_acceptPausedUntil = m_clock.elapsed() + milliseconds;
        resumeWithin(milliseconds);
    }

    void resumeWithin(qint64 milliseconds)
    {
        if (!m_resume.isActive() || m_resume.remainingTime() > milliseconds)
            m_resume.start(int(milliseconds));
    }

    void closeHeld()
    {
        for (const int descriptor : m_held.takeAll())
            ::close(descriptor);
        for (const int descriptor : m_preferred.takeAll())
            ::close(descriptor);
    }

    QtPskListener& m_owner;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_resume;
    QElapsedTimer m_clock;
    HeldConnections m_held;
    PreferredConnections m_preferred;
    std::shared_ptr<ProvenAddresses> m_proven;
    // Whether the last start went to a preferred connection.
    bool m_preferredWentLast = false;
    AcceptBudget m_starts;
    AcceptBudget m_drops;
    qint64 m_acceptPausedUntil = 0;
};

QtPskListener::QtPskListener(PskParameters parameters, QHostAddress address, std::optional<Advertisement> advertisement,
                             DnsSdPublisher* publisher, std::shared_ptr<ProvenAddresses> provenAddresses)
    : m_address(std::move(address))
    , m_advertisement(std::move(advertisement))
    , m_publisher(publisher)
    , m_server(std::make_unique<Server>(*this, std::move(provenAddresses)))
    , m_tls(OpensslPskContext::make(std::move(parameters)))
{
}

QtPskListener::~QtPskListener()
{
    m_registration.reset();
    m_server->stop();
}

void QtPskListener::setStateHandler(StateHandler handler)
{
    m_stateHandler = std::move(handler);
}

void QtPskListener::setNewConnectionHandler(ConnectionHandler handler)
{
    m_connectionHandler = std::move(handler);
}

void QtPskListener::report(State state, std::optional<NetworkError> error)
{
    QMetaObject::invokeMethod(
        &m_context,
        [this, state, error = std::move(error)] {
            if (!m_stateHandler || m_cancelled)
                return;
            // A copy, so a handler that destroys this listener does not destroy itself mid-call.
            const StateHandler handler = m_stateHandler;
            handler(state, error);
        },
        Qt::QueuedConnection);
}

void QtPskListener::start()
{
    if (m_started || m_cancelled)
        return;
    m_started = true;
    if (!m_server->start(m_address)) {
        report(State::failed, NetworkError::fromSocketError(m_server->serverError(), m_server->errorString()));
        return;
    }
    if (m_advertisement && m_publisher) {
        m_registration = m_publisher->publish(m_advertisement->name, m_advertisement->type, m_server->serverPort(),
                                              [this](const NetworkError& error) {
                                                  m_advertisingFailed = true;
                                                  if (!m_cancelled)
                                                      report(State::failed, error);
                                              });
        // Not found by anyone (no discovery daemon, a name clash): not ready either.
        if (m_advertisingFailed)
            return;
    }
    report(State::ready);
}

void QtPskListener::accept(qintptr socketDescriptor, PskConnection::Origin origin, const QByteArray& address)
{
    // Handed over on a later turn, not from inside QTcpServer's accept loop, so the handler may
    // drop this listener. A hand-over that never runs closes the connection with the lambda.
    auto connection = std::make_shared<std::unique_ptr<PskConnection>>(
        std::make_unique<OpensslPskConnection>(
            socketDescriptor, m_tls,
            [server = QPointer<Server>(m_server.get()), address] {
                if (server)
                    server->proven(address);
            },
            std::move(origin)));
    QMetaObject::invokeMethod(
        &m_context,
        [this, connection] {
            if (!m_connectionHandler || m_cancelled)
                return;
            // A copy, so the handler's captures outlive a handler that destroys this listener.
            const ConnectionHandler handler = m_connectionHandler;
            handler(std::move(*connection));
        },
        Qt::QueuedConnection);
}

void QtPskListener::cancel()
{
    if (m_cancelled)
        return;
    m_cancelled = true;
    m_stateHandler = {};
    m_connectionHandler = {};
    m_registration.reset();
    m_server->stop();
}

quint16 QtPskListener::port() const
{
    return m_server->isListening() ? m_server->serverPort() : 0;
}

} // namespace vantorel
