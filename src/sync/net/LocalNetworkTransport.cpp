#include "sync/net/LocalNetworkTransport.h"

#include "core/foundation/CancellationError.h"
#include "sync/model/SyncDisplayName.h"
#include "sync/net/SyncChannel.h"
#include "sync/net/SyncDiscovery.h"
#include "sync/net/SyncNetworkParameters.h"
#include "sync/net/SyncNetworkServices.h"

#include <QPointer>

namespace vantorel {

LocalNetworkTransport::LocalNetworkTransport(PairedHost host, SyncNetworkServices& services, Sleeper& sleeper,
                                             std::optional<NetworkEndpoint> testEndpoint)
    : m_host(std::move(host))
    , m_services(services)
    , m_sleeper(sleeper)
    , m_testEndpoint(std::move(testEndpoint))
{
}

LocalNetworkTransport::~LocalNetworkTransport()
{
    cancel();
}

void LocalNetworkTransport::cancel()
{
    m_operationID.reset();
    if (const auto discovery = std::exchange(m_discovery, nullptr))
        discovery->cancel();
    if (const auto channel = std::exchange(m_channel, nullptr))
        channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
}

QCoro::Task<NetworkEndpoint> LocalNetworkTransport::resolveEndpoint(CancelToken token)
{
    if (m_testEndpoint)
        co_return *m_testEndpoint;
    const auto discovery = SyncDiscovery::create(m_services, m_sleeper);
    m_discovery = discovery;
    // Nothing of this transport is touched after the wait: cancel() may end it, or drop the transport.
    co_return co_await discovery->resolve(m_host.serviceName(), token);
}

QCoro::Task<UsageSyncSnapshot> LocalNetworkTransport::fetchSnapshot(CancelToken token)
{
    cancel();
    const QUuid operation = QUuid::createUuid();
    m_operationID = operation;
    const QPointer<LocalNetworkTransport> self(this);
    const QUuid hostID = m_host.hostID;

    std::shared_ptr<SyncChannel> channel;
    std::optional<SyncMessage> answer;
    std::exception_ptr failure;
    try {
        const NetworkEndpoint endpoint = co_await resolveEndpoint(token);
        if (!self || self->m_operationID != operation || token.isCancelled())
            throw CancellationError();
        channel = SyncChannel::create(
            m_services.makeConnection(endpoint, SyncNetworkParameters::make(m_host.credential)), m_sleeper);
        m_channel = channel;
        co_await channel->open(token);
        co_await channel->send(SyncMessage::readSnapshot(), token);
        answer = co_await channel->receive(answerTimeoutSeconds, token);
    } catch (...) {
        failure = std::current_exception();
    }
    if (channel)
        channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
    // A superseded fetch leaves the newer one's fields alone, and ends as cancelled whatever
    // its interrupted wait ended with.
    if (!self || self->m_operationID != operation)
        throw CancellationError();
    self->cancel();
    if (failure)
        std::rethrow_exception(failure);
    if (token.isCancelled())
        throw CancellationError();
    if (const auto* snapshot = answer->as<SyncMessage::Snapshot>())
        co_return snapshot->snapshot.validated(hostID);
    if (const auto* refusal = answer->as<SyncMessage::Failure>())
        throw refusal->error;
    throw UsageSyncError(UsageSyncError::Code::invalidData);
}

QCoro::Task<PairedHost> LocalNetworkTransport::pair(PairingInvitation invitation, QString deviceName,
                                                    SyncNetworkServices& services, Sleeper& sleeper, Clock clock,
                                                    std::optional<NetworkEndpoint> endpoint, CancelToken token)
{
    invitation.validate(clock());
    const auto discovery = SyncDiscovery::create(services, sleeper);
    std::shared_ptr<SyncChannel> channel;
    std::optional<SyncMessage> answer;
    std::exception_ptr failure;
    try {
        if (!endpoint)
            endpoint = co_await discovery->resolve(invitation.serviceName, token);
        invitation.validate(clock());
        channel = SyncChannel::create(
            services.makeConnection(*endpoint, SyncNetworkParameters::make(invitation.credential)), sleeper);
        co_await channel->open(token);
        co_await channel->send(SyncMessage::pair(SyncDisplayName::sanitized(
                                   deviceName, SyncDisplayName::deviceNameFallback(),
                                   SyncDisplayName::maximumDeviceNameCharacters)),
                               token);
        answer = co_await channel->receive(std::max(invitation.expiresAt - clock(), minimumPairingWaitSeconds), token);
    } catch (...) {
        failure = std::current_exception();
    }
    if (channel)
        channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
    discovery->cancel();
    if (failure)
        std::rethrow_exception(failure);
    token.throwIfCancelled();
    if (const auto* refusal = answer->as<SyncMessage::Failure>())
        throw refusal->error;
    const auto* paired = answer->as<SyncMessage::Paired>();
    if (!paired)
        throw UsageSyncError(UsageSyncError::Code::invalidData);
    const PairedHost& host = paired->host;
    const bool reusesInvitationKey = host.credential == invitation.credential;
    if (host.hostID != invitation.hostID || host.credential.key.size() != SyncCredential::keyBytes
        || reusesInvitationKey
        || !SyncDisplayName::isValid(host.hostName, SyncDisplayName::maximumHostNameCharacters)) {
        throw UsageSyncError(UsageSyncError::Code::invalidData);
    }
    co_return PairedHost(host);
}

} // namespace vantorel
