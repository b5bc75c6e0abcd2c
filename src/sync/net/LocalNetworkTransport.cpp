#include "sync/net/LocalNetworkTransport.h"

#include "core/foundation/CancellationError.h"
#include "sync/net/SyncChannel.h"
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
    if (const auto channel = std::exchange(m_channel, nullptr))
        channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
}

QCoro::Task<NetworkEndpoint> LocalNetworkTransport::resolveEndpoint(CancelToken)
{
    if (!m_testEndpoint)
        throw UsageSyncError(UsageSyncError::Code::unavailable);
    co_return *m_testEndpoint;
}

QCoro::Task<UsageSyncSnapshot> LocalNetworkTransport::fetchSnapshot(CancelToken token)
{
    cancel();
    const QUuid operation = QUuid::createUuid();
    m_operationID = operation;
    const QPointer<LocalNetworkTransport> self(this);
    const QUuid hostID = m_host.hostID;
    const auto owns = [&self, &operation] { return self && self->m_operationID == operation; };

    std::shared_ptr<SyncChannel> channel;
    std::optional<SyncMessage> answer;
    std::exception_ptr failure;
    try {
        const NetworkEndpoint endpoint = co_await resolveEndpoint(token);
        if (!owns() || token.isCancelled())
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
    if (!owns())
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

} // namespace vantorel
