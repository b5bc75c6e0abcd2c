#include "support/FakeMacSyncServing.h"

#include "sync/model/UsageSyncError.h"

namespace vantorel {

namespace {

void rethrowIf(const std::exception_ptr& error)
{
    if (error)
        std::rethrow_exception(error);
}

class FakeServer final : public MacSyncServing
{
public:
    FakeServer(FakeMacSyncServers& log, qsizetype index) : m(log), i(index) {}

    PairingRequestHandler onPairingRequest() const override { return m.pairingHandlers[i]; }
    void setOnPairingRequest(PairingRequestHandler handler) override { m.pairingHandlers[i] = handler; }
    StatusHandler onStatusChange() const override { return m.statusHandlers[i]; }
    void setOnStatusChange(StatusHandler handler) override { m.statusHandlers[i] = handler; }
    bool listenerDown() const override { return m.listenerDown; }
    void updateSnapshot(const UsageSyncSnapshot& s) override { m.calls << u"snapshot " + QString::number(s.revision); }
    void start(const std::optional<RegisteredSyncDevice>&) override
    {
        m.calls << QStringLiteral("start");
        rethrowIf(m.startError);
    }
    void stop() override
    {
        m.calls << QStringLiteral("stop");
        if (m.statusHandlers[i])
            m.statusHandlers[i](QStringLiteral("連携OFF"));
    }
    void cancelPairing() override { m.calls << QStringLiteral("cancelPairing"); }
    PairingInvitation beginPairing() override
    {
        m.calls << QStringLiteral("beginPairing");
        if (!m.invitation)
            throw UsageSyncError(UsageSyncError::Code::unavailable);
        return *m.invitation;
    }
    void approvePairing(const QUuid&, const Persist& persist) override
    {
        m.calls << QStringLiteral("approve");
        rethrowIf(m.approveError);
        if (!m.approveSkipsPersist)
            persist(m.approvedDevice);
        rethrowIf(m.approveErrorAfterPersist);
    }
    void rejectPairing(const QUuid&) override { m.calls << QStringLiteral("reject"); }

private:
    FakeMacSyncServers& m;
    qsizetype i;
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

void FakeMacSyncServers::report(const QString& text, bool down)
{
    listenerDown = down;
    statusHandlers.last()(text);
}

QCoro::Task<std::optional<RegisteredSyncDevice>> FakeMacSyncDeviceStorage::load(CancelToken token)
{
    PendingCompletion<std::optional<RegisteredSyncDevice>> loaded;
    if (loadsAtOnce)
        loaded.complete(stored);
    else
        waiting.append(loaded);
    return awaitLoad(loaded, std::move(token));
}

void FakeMacSyncDeviceStorage::save(const RegisteredSyncDevice& device)
{
    rethrowIf(saveError);
    stored = device;
}

void FakeMacSyncDeviceStorage::remove()
{
    rethrowIf(removeError);
    stored.reset();
}

} // namespace vantorel
