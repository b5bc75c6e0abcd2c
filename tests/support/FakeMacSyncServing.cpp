#include "support/FakeMacSyncServing.h"

#include "sync/net/SyncCredential.h"

namespace vantorel {

namespace {

class FakeServer final : public MacSyncServing
{
public:
    FakeServer(FakeMacSyncServers& log, qsizetype index)
        : m_log(log)
        , m_index(index)
    {
    }

    PairingRequestHandler onPairingRequest() const override { return m_log.pairingHandlers[m_index]; }
    void setOnPairingRequest(PairingRequestHandler handler) override { m_log.pairingHandlers[m_index] = handler; }
    StatusHandler onStatusChange() const override { return m_log.statusHandlers[m_index]; }
    void setOnStatusChange(StatusHandler handler) override { m_log.statusHandlers[m_index] = handler; }

    void updateSnapshot(const UsageSyncSnapshot& snapshot) override
    {
        m_log.calls << u"snapshot " + QString::number(snapshot.revision);
    }
    void start(const std::optional<RegisteredSyncDevice>&) override
    {
        m_log.calls << QStringLiteral("start");
        if (m_log.startError)
            std::rethrow_exception(m_log.startError);
    }
    void stop() override
    {
        m_log.calls << QStringLiteral("stop");
        if (auto handler = m_log.statusHandlers[m_index])
            handler(QStringLiteral("連携OFF"));
    }
    void cancelPairing() override { m_log.calls << QStringLiteral("cancelPairing"); }
    PairingInvitation beginPairing() override
    {
        m_log.calls << QStringLiteral("beginPairing");
        if (m_log.beginPairingError)
            std::rethrow_exception(m_log.beginPairingError);
        return *m_log.invitation;
    }
    void approvePairing(const QUuid&, const Persist& persist) override
    {
        m_log.calls << QStringLiteral("approve");
        if (m_log.approveError)
            std::rethrow_exception(m_log.approveError);
        if (!m_log.approveSkipsPersist)
            persist(m_log.approvedDevice);
        if (m_log.approveErrorAfterPersist)
            std::rethrow_exception(m_log.approveErrorAfterPersist);
    }
    void rejectPairing(const QUuid&) override { m_log.calls << QStringLiteral("reject"); }

private:
    FakeMacSyncServers& m_log;
    qsizetype m_index;
};

QCoro::Task<std::optional<RegisteredSyncDevice>> awaitLoad(PendingCompletion<std::optional<RegisteredSyncDevice>> loaded,
                                                          CancelToken token)
{
    const auto registration = token.onCancel([loaded] { loaded.cancel(); });
    co_return co_await loaded;
}

} // namespace

MacSyncCoordinator::ServerFactory FakeMacSyncServers::factory()
{
    return [this](const QUuid& hostID, const QString& hostName) -> std::unique_ptr<MacSyncServing> {
        created.append({hostID, hostName});
        pairingHandlers.append(MacSyncServing::PairingRequestHandler());
        statusHandlers.append(MacSyncServing::StatusHandler());
        return std::make_unique<FakeServer>(*this, created.size() - 1);
    };
}

QCoro::Task<std::optional<RegisteredSyncDevice>> FakeMacSyncDeviceStorage::load(CancelToken token)
{
    ++loads;
    PendingCompletion<std::optional<RegisteredSyncDevice>> loaded;
    if (loadsAtOnce) {
        if (loadError)
            loaded.fail(loadError);
        else
            loaded.complete(stored);
    } else {
        waiting.append(loaded);
    }
    return awaitLoad(loaded, std::move(token));
}

void FakeMacSyncDeviceStorage::save(const RegisteredSyncDevice& device)
{
    ++saves;
    if (saveError)
        std::rethrow_exception(saveError);
    stored = device;
}

void FakeMacSyncDeviceStorage::remove()
{
    if (removeError)
        std::rethrow_exception(removeError);
    stored.reset();
}

void FakeMacSyncDeviceStorage::completeLoad(const std::optional<RegisteredSyncDevice>& device)
{
    waiting.takeFirst().complete(device);
}

void FakeMacSyncDeviceStorage::failLoad(std::exception_ptr error)
{
    waiting.takeFirst().fail(error);
}

} // namespace vantorel
