#include "sync/net/LocalSyncServer.h"

#include "core/foundation/AppDiagnostics.h"
#include "sync/model/SyncDisplayName.h"
#include "sync/net/SyncChannel.h"
#include "sync/net/SyncNetworkParameters.h"
#include "sync/net/SyncNetworkServices.h"
#include "sync/net/SyncServiceName.h"

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
                                 Sleeper& sleeper, Clock clock, bool advertiseBonjour)
    : m_hostID(hostID)
    , m_hostName(SyncDisplayName::sanitized(hostName, SyncDisplayName::hostNameFallback(),
                                            SyncDisplayName::maximumHostNameCharacters))
    , m_advertiseBonjour(advertiseBonjour)
    , m_services(services)
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
        notifyStatus(statusInvalidSnapshot());
        return;
    }
    try {
        snapshot.checkAccepted(m_snapshot);
    } catch (...) {
        notifyStatus(statusOlderSnapshot());
        return;
    }
    m_snapshot = snapshot;
}

void LocalSyncServer::start(const std::optional<RegisteredSyncDevice>& registeredDevice)
{
    if (!stopQuietly() || !notifyStatus(statusOff()))
        return;
    m_running = true;
    if (!registeredDevice) {
        notifyStatus(statusAwaitingRegistration());
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
    m_generation = QUuid::createUuid();
    const QUuid generation = m_generation;
    cancelListener(m_registeredListener);
    const QPointer<LocalSyncServer> self(this);
    cancelPairing();
    if (!self || m_generation != generation)
        return false;
    for (const auto& channel : std::exchange(m_channels, {}))
        channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
    return true;
}

void LocalSyncServer::cancelPairing()
{
    m_expiryTask.cancel();
    m_invitation.reset();
    m_pending.reset();
    cancelListener(m_pairingListener);
    for (const QUuid& id : std::exchange(m_pairingChannels, {})) {
        if (const auto channel = m_channels.take(id))
            channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
    }
    notifyPairingRequest(std::nullopt);
}

PairingInvitation LocalSyncServer::beginPairing()
{
    throw UsageSyncError(UsageSyncError::Code::unavailable);
}

void LocalSyncServer::approvePairing(const QUuid&, const Persist&)
{
}

void LocalSyncServer::rejectPairing(const QUuid&)
{
}

LocalSyncServer::OwnedListener LocalSyncServer::makeListener(const SyncCredential& credential, const QString& name,
                                                             bool isPairing)
{
    const PskParameters parameters = SyncNetworkParameters::make(credential);
    OwnedListener owned{m_services.makeListener(parameters, m_advertiseBonjour ? std::optional(name) : std::nullopt),
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
                self->handleListenerState(serial, isPairing, state);
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

void LocalSyncServer::handleListenerState(quint64 serial, bool isPairing, PskListener::State state)
{
    if (!isCurrentListener(serial, isPairing))
        return;
    switch (state) {
    case PskListener::State::ready:
        notifyStatus(isPairing ? statusPairingReady() : statusAwaitingConnection());
        break;
    case PskListener::State::waiting:
    case PskListener::State::failed:
        // Left as it is: the owner decides whether to start again.
        notifyStatus(statusCheckNetwork());
        break;
    case PskListener::State::setup:
    case PskListener::State::cancelled:
        break;
    }
}

void LocalSyncServer::handleConnection(quint64 serial, bool isPairing, std::unique_ptr<PskConnection> connection)
{
    // A refused connection is dropped unstarted: it closes before any TLS byte is sent.
    if (!isCurrentListener(serial, isPairing) || m_channels.size() >= maximumConnections)
        return;
    const auto channel = SyncChannel::create(std::move(connection), m_sleeper);
    m_channels.insert(channel->id(), channel);
    if (isPairing)
        m_pairingChannels.insert(channel->id());
    serve(QPointer<LocalSyncServer>(this), channel, isPairing);
}

QCoro::Task<> LocalSyncServer::serve(QPointer<LocalSyncServer> server, std::shared_ptr<SyncChannel> channel,
                                     bool isPairing)
{
    std::exception_ptr failure;
    try {
        co_await channel->open();
        const SyncMessage request = co_await channel->receive(requestTimeoutSeconds);
        if (!server)
            throw UsageSyncError(UsageSyncError::Code::cancelled);
        if (isPairing)
            throw UsageSyncError(UsageSyncError::Code::invalidData);
        co_await server->answerRead(request, channel);
    } catch (...) {
        failure = std::current_exception();
    }
    // After a failed open or receive the channel is closed already and this send fails at once:
    // only the refusals the server decides itself reach the peer.
    if (failure) {
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
    co_await channel->send(SyncMessage::snapshot(*m_snapshot));
}

void LocalSyncServer::endConnection(const QUuid& channelID)
{
    m_channels.remove(channelID);
    m_pairingChannels.remove(channelID);
    if (m_pending && m_pending->channel->id() == channelID) {
        m_pending.reset();
        notifyPairingRequest(std::nullopt);
    }
}

} // namespace vantorel
