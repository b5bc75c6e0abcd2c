#include "sync/net/LocalSyncServer.h"

#include "core/foundation/AppDiagnostics.h"
#include "core/foundation/Sleeper.h"
#include "sync/model/SyncDisplayName.h"
#include "sync/net/SyncChannel.h"
#include "sync/net/SyncNetworkParameters.h"
#include "sync/net/SyncNetworkServices.h"
#include "sync/net/SyncServiceName.h"

#include <QThreadPool>

#include <algorithm>

namespace vantorel {

namespace {

UsageSyncError asUsageSyncError(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const UsageSyncError& failure) {
        return failure;
    } catch (...) {
        return UsageSyncError(UsageSyncError::Code::invalidData);
    }
}

} // namespace

LocalSyncServer::LocalSyncServer(const QUuid& hostID, const QString& hostName, SyncNetworkServices& services,
                                 Sleeper& sleeper, Clock clock, bool advertiseBonjour,
                                 ProvenAddressBook* provenAddresses)
    : m_hostID(hostID)
    , m_hostName(SyncDisplayName::sanitized(hostName, SyncDisplayName::hostNameFallback(),
                                            SyncDisplayName::maximumHostNameCharacters))
    , m_advertiseBonjour(advertiseBonjour)
    , m_services(services)
    , m_provenAddresses(provenAddresses ? *provenAddresses : m_ownProvenAddresses)
    , m_sleeper(sleeper)
    , m_clock(std::move(clock))
    , m_generation(QUuid::createUuid())
{
}

LocalSyncServer::~LocalSyncServer()
{
    m_expiryTask.cancel();
    cancelListener(m_registeredListener);
    cancelListener(m_pairingListener);
    // The serving tasks find the server gone and end without touching it.
    for (const auto& channel : std::exchange(m_channels, {}))
        channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
}

bool LocalSyncServer::notifyStatus(const QString& text)
{
    if (!m_onStatusChange)
        return true;
    const StatusHandler handler = m_onStatusChange;
    const QPointer<LocalSyncServer> self(this);
    const QUuid generation = m_generation;
    handler(text);
    return self && self->m_generation == generation;
}

bool LocalSyncServer::notifyPairingRequest(const std::optional<SyncPairingRequest>& request)
{
    if (!m_onPairingRequest)
        return true;
    const PairingRequestHandler handler = m_onPairingRequest;
    const QPointer<LocalSyncServer> self(this);
    const QUuid generation = m_generation;
    handler(request);
    return self && self->m_generation == generation;
}

void LocalSyncServer::updateSnapshot(const UsageSyncSnapshot& snapshot)
{
    try {
        snapshot.validate(m_hostID);
    } catch (...) {
        // Nothing stale is served in place of a snapshot the Mac could not vouch for.
        m_snapshot.reset();
        m_snapshotFrame.reset();
        notifyStatus(statusInvalidSnapshot());
        return;
    }
    try {
        // The snapshot kept was validated for this host too.
        snapshot.checkFollows(m_snapshot);
    } catch (...) {
        notifyStatus(statusOlderSnapshot());
        return;
    }
    // An accepted snapshot of the same revision has the same content, so its frame stays.
    if (!m_snapshot || m_snapshot->revision != snapshot.revision)
        m_snapshotFrame.reset();
    m_snapshot = snapshot;
}

void LocalSyncServer::start(const std::optional<RegisteredSyncDevice>& registeredDevice)
{
    if (!stopQuietly() || !notifyStatus(statusOff()))
        return;
    m_running = true;
    if (!registeredDevice) {
        if (!notifyStatus(statusAwaitingRegistration()) || !m_advertiseBonjour)
            return;
        // No listener reports until pairing begins: a missing daemon is told at once instead.
        const QPointer<LocalSyncServer> self(this);
        m_services.checkAdvertising([self, generation = m_generation](const std::optional<NetworkError>& unavailable) {
            if (self)
                self->handleAdvertisingCheck(generation, unavailable);
        });
        return;
    }
    OwnedListener listener = makeListener(registeredDevice->credential, SyncServiceName::registered(m_hostID), false);
    m_registeredListener = std::move(listener);
    m_registeredListener.listener->start();
}

void LocalSyncServer::stop()
{
    if (stopQuietly())
        notifyStatus(statusOff());
}

bool LocalSyncServer::stopQuietly()
{
    m_running = false;
    m_discoveryMissing = false;
    m_generation = QUuid::createUuid();
    const QUuid generation = m_generation;
    cancelListener(m_registeredListener);
    const QPointer<LocalSyncServer> self(this);
    cancelPairing();
    if (!self || m_generation != generation)
        return false;
    m_unproven.clear();
    m_unprovenTls.clear();
    m_awaitingRequest.clear();
    m_answering.clear();
    for (const auto& channel : std::exchange(m_channels, {}))
        channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
    return true;
}

void LocalSyncServer::cancelPairing()
{
    m_pending.reset();
    endPairingOffer();
    for (const QUuid& id : std::exchange(m_pairingChannels, {})) {
        forgetWaiting(id);
        if (const auto channel = m_channels.take(id))
            channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
    }
    notifyPairingRequest(std::nullopt);
}

PairingInvitation LocalSyncServer::beginPairing()
{
    if (!m_running)
        throw UsageSyncError(UsageSyncError::Code::unavailable);
    const QPointer<LocalSyncServer> self(this);
    cancelPairing();
    if (!self || !m_running)
        throw UsageSyncError(UsageSyncError::Code::unavailable);
    const PairingInvitation invitation(m_hostID, m_hostName, SyncCredential::random(),
                                       m_clock() + invitationLifetimeSeconds);
    OwnedListener listener = makeListener(invitation.credential, invitation.serviceName, true);
    m_invitation = invitation;
    m_pairingListener = std::move(listener);
    m_pairingListener.listener->start();
    m_expiryTask = TaskHandle::start([self, &sleeper = m_sleeper](CancelToken token) {
        return expire(self, sleeper, token);
    });
    return invitation;
}

QCoro::Task<> LocalSyncServer::expire(QPointer<LocalSyncServer> server, Sleeper& sleeper, CancelToken token)
{
    try {
        co_await sleeper.sleep(invitationLifetimeSeconds, token);
    } catch (const CancellationError&) {
        co_return;
    }
    if (!server || token.isCancelled())
        co_return;
    server->cancelPairing();
    if (server)
        server->notifyStatus(statusPairingExpired());
}

QCoro::Task<> LocalSyncServer::answerPairing(QPointer<LocalSyncServer> server, const SyncMessage& request,
                                             std::shared_ptr<SyncChannel> channel)
{
    const auto* pair = request.as<SyncMessage::Pair>();
    if (!pair || !server->m_invitation)
        throw UsageSyncError(UsageSyncError::Code::invalidData);
    const PairingInvitation invitation = *server->m_invitation;
    invitation.validate(server->m_clock());
    if (server->m_pending)
        throw UsageSyncError(UsageSyncError::Code::pairingBusy);
    const SyncPairingRequest pending{QUuid::createUuid(),
                                     SyncDisplayName::sanitized(pair->deviceName, SyncDisplayName::deviceNameFallback(),
                                                                SyncDisplayName::maximumDeviceNameCharacters),
                                     invitation.expiresAt};
    server->m_pending = Pending{pending, channel};
    const double wait = std::max(invitation.expiresAt - server->m_clock(), minimumPairingWaitSeconds);
    if (!server->notifyPairingRequest(pending))
        throw UsageSyncError(UsageSyncError::Code::cancelled);
    // The iPhone sends nothing more: approval or rejection ends this wait by closing the channel.
    co_await channel->receive(wait);
    throw UsageSyncError(UsageSyncError::Code::invalidData);
}

void LocalSyncServer::approvePairing(const QUuid& requestID, const Persist& persist)
{
    if (!m_pending || m_pending->request.id != requestID || !m_invitation)
        throw UsageSyncError(UsageSyncError::Code::notPaired);
    m_invitation->validate(m_clock());
    const RegisteredSyncDevice device{m_pending->request.deviceName, SyncCredential::random(), m_clock()};
    // Made before the device is persisted: a listener that cannot be made must leave the old
    // device registered rather than both devices without a working key.
    OwnedListener listener = makeListener(device.credential, SyncServiceName::registered(m_hostID), false);
    const QPointer<LocalSyncServer> self(this);
    const QUuid generation = m_generation;
    persist(device);
    if (!self || m_generation != generation || !m_pending || m_pending->request.id != requestID)
        return;

    cancelListener(m_registeredListener);
    for (auto it = m_channels.cbegin(); it != m_channels.cend(); ++it) {
        if (!m_pairingChannels.contains(it.key()))
            it.value()->close(UsageSyncError(UsageSyncError::Code::cancelled));
    }
    m_registeredListener = std::move(listener);
    m_registeredListener.listener->start();

    const std::shared_ptr<SyncChannel> channel = std::exchange(m_pending, std::nullopt)->channel;
    endPairingOffer();
    for (const QUuid& id : std::exchange(m_pairingChannels, {})) {
        if (id == channel->id())
            continue;
        if (const auto other = m_channels.take(id))
            other->close(UsageSyncError(UsageSyncError::Code::cancelled));
    }
    if (!notifyPairingRequest(std::nullopt))
        return;
    reply(self, m_generation, channel, PairedHost{m_hostID, m_hostName, device.credential, m_clock()});
}

QCoro::Task<> LocalSyncServer::reply(QPointer<LocalSyncServer> server, QUuid generation,
                                     std::shared_ptr<SyncChannel> channel, PairedHost host)
{
    bool sent = true;
    try {
        co_await channel->send(SyncMessage::paired(std::move(host)));
    } catch (...) {
        sent = false;
    }
    if (server && server->m_running && server->m_generation == generation)
        server->notifyStatus(sent ? statusPaired() : statusPairingReplyFailed());
    channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
    if (server)
        server->m_channels.remove(channel->id());
}

void LocalSyncServer::rejectPairing(const QUuid& requestID)
{
    if (!m_pending || m_pending->request.id != requestID)
        return;
    const std::shared_ptr<SyncChannel> channel = std::exchange(m_pending, std::nullopt)->channel;
    endPairingOffer();
    const QPointer<LocalSyncServer> self(this);
    if (!notifyPairingRequest(std::nullopt))
        return;
    refuse(self, channel);
}

QCoro::Task<> LocalSyncServer::refuse(QPointer<LocalSyncServer> server, std::shared_ptr<SyncChannel> channel)
{
    try {
        co_await channel->send(SyncMessage::failure(UsageSyncError(UsageSyncError::Code::pairingRejected)));
    } catch (...) {
    }
    channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
    if (server) {
        server->m_channels.remove(channel->id());
        server->m_pairingChannels.remove(channel->id());
    }
}

// Drops the invitation, its expiry and its listener.
void LocalSyncServer::endPairingOffer()
{
    m_invitation.reset();
    m_expiryTask.cancel();
    cancelListener(m_pairingListener);
}

LocalSyncServer::OwnedListener LocalSyncServer::makeListener(const SyncCredential& credential, const QString& name,
                                                             bool isPairing)
{
    const PskParameters parameters = SyncNetworkParameters::make(credential);
    // An invitation's listener remembers for itself: its key serves one pairing.
    OwnedListener owned{m_services.makeListener(parameters, m_advertiseBonjour ? std::optional(name) : std::nullopt,
                                                isPairing ? nullptr : m_provenAddresses.of(parameters.identity)),
                        ++m_lastListenerSerial};
    const QPointer<LocalSyncServer> self(this);
    const quint64 serial = owned.serial;
    owned.listener->setNewConnectionHandler([self, serial, isPairing](std::unique_ptr<PskConnection> connection) {
        if (self)
            self->handleConnection(serial, isPairing, std::move(connection));
    });
    owned.listener->setStateHandler(
        [self, serial, isPairing](PskListener::State state, const std::optional<NetworkError>& error) {
            if (error)
                AppDiagnostics::log(QStringLiteral("Sync listener: ") + error->detail);
            if (self)
                self->handleListenerState(serial, isPairing, state, error);
        });
    return owned;
}

void LocalSyncServer::cancelListener(OwnedListener& owned)
{
    if (owned.listener)
        owned.listener->cancel();
    owned = {};
}

bool LocalSyncServer::isCurrentListener(quint64 serial, bool isPairing) const
{
    const OwnedListener& current = isPairing ? m_pairingListener : m_registeredListener;
    return m_running && current.listener && current.serial == serial;
}

bool LocalSyncServer::listenerDown() const
{
    if (!m_running)
        return false;
    // The pairing listener, once it has reported, tells what a new iPhone can reach now.
    if (m_pairingListener.listener && m_pairingListener.down)
        return *m_pairingListener.down;
    if (m_registeredListener.listener)
        return m_registeredListener.down.value_or(false);
    return m_discoveryMissing;
}

void LocalSyncServer::handleAdvertisingCheck(QUuid generation, const std::optional<NetworkError>& unavailable)
{
    // A listener made meanwhile reports for itself.
    if (!unavailable || !m_running || m_generation != generation || m_registeredListener.listener
        || m_pairingListener.listener)
        return;
    m_discoveryMissing = true;
    notifyStatus(unavailable->isDiscoveryDaemonMissing() ? statusDiscoveryDaemonMissing() : statusCheckNetwork());
}

void LocalSyncServer::handleListenerState(quint64 serial, bool isPairing, PskListener::State state,
                                          const std::optional<NetworkError>& error)
{
    if (!isCurrentListener(serial, isPairing))
        return;
    OwnedListener& owned = isPairing ? m_pairingListener : m_registeredListener;
    switch (state) {
    case PskListener::State::ready:
        owned.down = false;
        notifyStatus(isPairing ? statusPairingReady() : statusAwaitingConnection());
        break;
    case PskListener::State::waiting:
    case PskListener::State::failed:
        owned.down = true;
        // Left as it is: the owner decides whether to start again.
        notifyStatus(error && error->isDiscoveryDaemonMissing() ? statusDiscoveryDaemonMissing()
                                                                : statusCheckNetwork());
        break;
    case PskListener::State::setup:
    case PskListener::State::cancelled:
        break;
    }
}

void LocalSyncServer::handleConnection(quint64 serial, bool isPairing, std::unique_ptr<PskConnection> connection)
{
    // A refused connection is dropped unstarted: it closes before any TLS byte is sent.
    if (!isCurrentListener(serial, isPairing))
        return;
    // Only a peer that proved the key holds a slot against a newcomer: a flood of peers that
    // connect, or even begin a handshake, and stall must not lock the paired device out.
    const PskConnection::Origin origin = connection->origin();
    if (const std::optional<QUuid> givingWay = m_unproven.givingWayTo(origin))
        dropConnection(*givingWay);
    PskConnection& owned = *connection;
    const auto channel = SyncChannel::create(std::move(connection), m_sleeper);
    owned.setTlsSetupHandler([self = QPointer<LocalSyncServer>(this), id = channel->id()] {
        return !self || self->admitTlsSetup(id);
    });
    m_channels.insert(channel->id(), channel);
    m_unproven.hold(channel->id(), origin);
    if (isPairing)
        m_pairingChannels.insert(channel->id());
    serve(QPointer<LocalSyncServer>(this), channel, isPairing);
}

bool LocalSyncServer::admitTlsSetup(const QUuid& channelID)
{
    const PskConnection::Origin* origin = m_unproven.originOf(channelID);
    if (!origin || m_unprovenTls.contains(channelID))
        return true;
    // A copy: releasing the connection that gives way may move this one's entry.
    const PskConnection::Origin from = *origin;
    // What OpenSSL holds for a peer that sent a hello and stalls cannot be freed short of closing.
    if (const std::optional<QUuid> givingWay = m_unprovenTls.givingWayTo(from))
        dropConnection(*givingWay);
    m_unprovenTls.hold(channelID, from);
    return true;
}

void LocalSyncServer::forgetWaiting(QUuid channelID)
{
    m_unproven.release(channelID);
    m_unprovenTls.release(channelID);
    m_awaitingRequest.removeOne(channelID);
}

void LocalSyncServer::dropConnection(QUuid channelID)
{
    forgetWaiting(channelID);
    m_pairingChannels.remove(channelID);
    if (const auto channel = m_channels.take(channelID))
        channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
}

bool LocalSyncServer::admitProven(const QUuid& channelID)
{
    forgetWaiting(channelID);
    // A phone that changed networks leaves connections behind that proved the key and will never
    // send anything: the oldest of them gives way, so the phone is not refused by its own.
    const auto proven = [this] { return m_channels.size() - m_unproven.size() - m_answering.size(); };
    while (proven() > maximumConnections && !m_awaitingRequest.isEmpty())
        dropConnection(m_awaitingRequest.front());
    if (proven() <= maximumConnections) {
        m_awaitingRequest.append(channelID);
        return true;
    }
    // Every slot holds a request being dealt with: closed before anything is sent, as a
    // connection refused at once would be.
    dropConnection(channelID);
    return false;
}

QCoro::Task<> LocalSyncServer::serve(QPointer<LocalSyncServer> server, std::shared_ptr<SyncChannel> channel,
                                     bool isPairing)
{
    std::exception_ptr failure;
    try {
        co_await channel->open({}, handshakeTimeoutSeconds);
        if (!server || !server->admitProven(channel->id()))
            throw UsageSyncError(UsageSyncError::Code::cancelled);
        const SyncMessage request = co_await channel->receive(requestTimeoutSeconds);
        if (!server)
            throw UsageSyncError(UsageSyncError::Code::cancelled);
        server->m_awaitingRequest.removeOne(channel->id());
        if (isPairing) {
            co_await answerPairing(server, request, channel);
        } else {
            server->m_answering.insert(channel->id());
            co_await server->answerRead(request, channel);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // After a failed open or receive the channel is closed already and a send would fail at once:
    // only the refusals the server decides itself reach the peer.
    if (failure && !channel->isClosed()) {
        try {
            co_await channel->send(SyncMessage::failure(asUsageSyncError(failure)));
        } catch (...) {
        }
    }
    channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
    if (server)
        server->endConnection(channel->id());
}

QCoro::Task<> LocalSyncServer::answerRead(const SyncMessage& request, std::shared_ptr<SyncChannel> channel)
{
    if (!request.as<SyncMessage::ReadSnapshot>())
        throw UsageSyncError(UsageSyncError::Code::invalidData);
    if (!m_snapshot)
        throw UsageSyncError(UsageSyncError::Code::unavailable);
    const PendingCompletion<QByteArray> frame = snapshotFrame();
    // The server may be gone once the frame is ready: only the channel is used from here on.
    QByteArray bytes = co_await frame;
    co_await channel->sendFrame(std::move(bytes));
}

PendingCompletion<QByteArray> LocalSyncServer::snapshotFrame()
{
    if (m_snapshotFrame)
        return *m_snapshotFrame;
    const PendingCompletion<QByteArray> frame;
    m_snapshotFrame = frame;
    // Encoding the whole snapshot is too much work for the main thread.
    QThreadPool::globalInstance()->start([frame, message = SyncMessage::snapshot(*m_snapshot)] {
        try {
            frame.complete(SyncChannel::frameOf(message));
        } catch (...) {
            frame.fail(std::current_exception());
        }
    });
    return frame;
}

void LocalSyncServer::endConnection(const QUuid& channelID)
{
    forgetWaiting(channelID);
    m_answering.remove(channelID);
    m_channels.remove(channelID);
    m_pairingChannels.remove(channelID);
    if (m_pending && m_pending->channel->id() == channelID) {
        m_pending.reset();
        notifyPairingRequest(std::nullopt);
    }
}

} // namespace vantorel
