#pragma once

#include "core/foundation/Clock.h"
#include "core/foundation/PendingCompletion.h"
#include "core/foundation/TaskHandle.h"
#include "sync/net/MacSyncServing.h"
#include "sync/net/PairedHost.h"
#include "sync/net/PskConnection.h"
#include "sync/net/ProvenAddressBook.h"
#include "sync/net/PskListener.h"
#include "sync/net/UnprovenPlaces.h"

#include <QCoroTask>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <memory>
#include <optional>

namespace vantorel {

class Sleeper;
class SyncChannel;
class SyncNetworkServices;
struct SyncCredential;
struct SyncMessage;

// The Mac's end of local-network sync: keeps the latest accepted snapshot and answers one
// `readSnapshot` per connection from the registered iPhone, over a TLS-PSK listener keyed by the
// device's credential and advertised under the lower-case host id; pairing runs through a second
// listener. Everything runs on the main thread; network events re-check that the server is still
// running and the listener still current before they touch anything.
class LocalSyncServer final : public QObject, public MacSyncServing
{
public:
    // Connections of peers that proved the key, held at once (reads being answered not counted).
    static constexpr int maximumConnections = 8;
    // Connections whose peer has not proven the key yet, held at once; a newcomer beyond them
    // takes the place of the oldest of the address holding most, however far its handshake got.
    // Many, so that peers reopening every connection they lose, as fast as the listener takes
    // them, cannot push the paired device's connection out before its handshake ends; few enough
    // for the descriptor limit.
    static constexpr int maximumUnprovenConnections = 512;
    // Of those, the ones holding TLS state (their peer's whole hello went to OpenSSL, which keeps
    // about 40 kB each until the handshake ends and cannot release it sooner); a newcomer needing
    // it beyond them takes the place of the oldest of the address group holding most, so a flood
    // displaces its own. A paired device on a slow network (Wi-Fi power saving, a link the flood
    // loads) needs a second or so for its handshake after its hello, while the listener starts
    // about 500 a second.
    static constexpr int maximumUnprovenTlsSessions = 128;
    // Of both, connections from an address a paired device proved the key from lately keep this
    // share against other addresses' (they may take what nobody else needs), and give way among
    // themselves beyond it: others may flood from such an address too, and must leave room for the
    // device on a new address and for a device pairing.
    static constexpr int rememberedShareDivisor = 2;
    // How long an accepted connection may take to complete its TLS handshake: a peer without the
    // key must not hold one of the slots for long.
    static constexpr double handshakeTimeoutSeconds = 2.0;
    // How long an open connection may take to send its request.
    static constexpr double requestTimeoutSeconds = 10.0;
    static constexpr double invitationLifetimeSeconds = 300.0;
    // A pending request is held at least this long, however close the invitation's expiry.
    static constexpr double minimumPairingWaitSeconds = 1.0;

    // The status texts sent through onStatusChange.
    static QString statusOff() { return QStringLiteral("連携OFF"); }
    static QString statusAwaitingRegistration() { return QStringLiteral("iPhoneの登録待ち"); }
    static QString statusAwaitingConnection() { return QStringLiteral("iPhoneの接続待ち"); }
    static QString statusPairingReady() { return QStringLiteral("接続コードを読み取れます"); }
    static QString statusInvalidSnapshot() { return QStringLiteral("同期データを確認できませんでした"); }
    static QString statusOlderSnapshot() { return QStringLiteral("古い同期データを受け付けませんでした"); }
    static QString statusPairingExpired() { return QStringLiteral("接続コードの有効期限が切れました"); }
    static QString statusPaired() { return QStringLiteral("iPhone登録済み"); }
    static QString statusPairingReplyFailed()
    {
        return QStringLiteral("登録結果を送信できませんでした。再登録してください");
    }

    // `hostName` is kept sanitized (fallback "Mac", at most 128 characters). `services`,
    // `sleeper` and the clock's target must outlive the server, and so must `provenAddresses`,
    // which keeps where the registered device proved its key from beyond this server's life (the
    // server keeps its own without one). Without `advertiseBonjour` the listeners are not
    // published by DNS-SD.
    LocalSyncServer(const QUuid& hostID, const QString& hostName, SyncNetworkServices& services, Sleeper& sleeper,
                    Clock clock, bool advertiseBonjour = true, ProvenAddressBook* provenAddresses = nullptr);
    // Cancels the listeners and closes open connections without calling either callback.
    ~LocalSyncServer() override;

    QUuid hostID() const { return m_hostID; }
    QString hostName() const { return m_hostName; }

    PairingRequestHandler onPairingRequest() const override { return m_onPairingRequest; }
    void setOnPairingRequest(PairingRequestHandler handler) override { m_onPairingRequest = std::move(handler); }
    StatusHandler onStatusChange() const override { return m_onStatusChange; }
    void setOnStatusChange(StatusHandler handler) override { m_onStatusChange = std::move(handler); }
    bool listenerDown() const override;

    void updateSnapshot(const UsageSyncSnapshot& snapshot) override;
    void start(const std::optional<RegisteredSyncDevice>& registeredDevice) override;
    void stop() override;
    void cancelPairing() override;
    PairingInvitation beginPairing() override;
    void approvePairing(const QUuid& requestID, const Persist& persist) override;
    void rejectPairing(const QUuid& requestID) override;

private:
    struct OwnedListener
    {
        std::unique_ptr<PskListener> listener;
        // Which listener a late report or connection came from; never reused.
        quint64 serial = 0;
        // Whether its last state was waiting or failed; nothing before its first report.
        std::optional<bool> down;
    };

    OwnedListener makeListener(const SyncCredential& credential, const QString& name, bool isPairing);
    static void cancelListener(OwnedListener& owned);
    bool isCurrentListener(quint64 serial, bool isPairing) const;
    void handleAdvertisingCheck(QUuid generation, const std::optional<NetworkError>& unavailable);
    void handleListenerState(quint64 serial, bool isPairing, PskListener::State state,
                             const std::optional<NetworkError>& error);
    void handleConnection(quint64 serial, bool isPairing, std::unique_ptr<PskConnection> connection);
    static QCoro::Task<> serve(QPointer<LocalSyncServer> server, std::shared_ptr<SyncChannel> channel, bool isPairing);
    QCoro::Task<> answerRead(const SyncMessage& request, std::shared_ptr<SyncChannel> channel);
    // The frame answering a read of the stored snapshot, encoded on a worker thread once per
    // stored snapshot and shared by every read.
    PendingCompletion<QByteArray> snapshotFrame();
    // A connection's peer proved the key: whether it may hold one of the maximumConnections slots,
    // which the oldest proven connection still silent gives up for it when they are all taken.
    bool admitProven(const QUuid& channelID);
    // An unproven connection is about to set TLS up: when its side of the places is full, one
    // session gives way (never this one).
    bool admitTlsSetup(const QUuid& channelID);
    // Takes a connection off the lists of those waiting to prove the key or to send a request.
    void forgetWaiting(QUuid channelID);
    // Closes a connection at once and frees its place; its serving task ends on its own. Both take
    // the id by value: callers pass an element of the very lists these remove it from.
    void dropConnection(QUuid channelID);
    static QCoro::Task<> answerPairing(QPointer<LocalSyncServer> server, const SyncMessage& request,
                                       std::shared_ptr<SyncChannel> channel);
    static QCoro::Task<> expire(QPointer<LocalSyncServer> server, Sleeper& sleeper, CancelToken token);
    static QCoro::Task<> reply(QPointer<LocalSyncServer> server, QUuid generation, std::shared_ptr<SyncChannel> channel,
                               PairedHost host);
    static QCoro::Task<> refuse(QPointer<LocalSyncServer> server, std::shared_ptr<SyncChannel> channel);
    // Drops the invitation, its expiry and its listener.
    void endPairingOffer();
    void endConnection(const QUuid& channelID);
    // Stops without the closing text; false when a callback destroyed, stopped or restarted the
    // server meanwhile.
    bool stopQuietly();

    // Call the handler through a copy; false when it destroyed, stopped or restarted the server,
    // so the caller must not go on.
    bool notifyStatus(const QString& text);
    bool notifyPairingRequest(const std::optional<SyncPairingRequest>& request);

    PairingRequestHandler m_onPairingRequest;
    StatusHandler m_onStatusChange;
    const QUuid m_hostID;
    const QString m_hostName;
    const bool m_advertiseBonjour;
    SyncNetworkServices& m_services;
    ProvenAddressBook m_ownProvenAddresses;
    ProvenAddressBook& m_provenAddresses;
    Sleeper& m_sleeper;
    Clock m_clock;
    bool m_running = false;
    QUuid m_generation;
    OwnedListener m_registeredListener;
    OwnedListener m_pairingListener;
    // Running without a registered listener, the check found no discovery daemon.
    bool m_discoveryMissing = false;
    quint64 m_lastListenerSerial = 0;
    std::optional<UsageSyncSnapshot> m_snapshot;
    // Dropped whenever m_snapshot changes.
    std::optional<PendingCompletion<QByteArray>> m_snapshotFrame;
    std::optional<PairingInvitation> m_invitation;
    TaskHandle m_expiryTask;
    struct Pending
    {
        SyncPairingRequest request;
        std::shared_ptr<SyncChannel> channel;
    };
    std::optional<Pending> m_pending;
    // Every connection from hand-over until its serving task ends; at most maximumConnections.
    QHash<QUuid, std::shared_ptr<SyncChannel>> m_channels;
    QSet<QUuid> m_pairingChannels;
    // Those channels whose peer has not proven the key yet, and of them those holding TLS state.
    UnprovenPlaces m_unproven{maximumUnprovenConnections, maximumUnprovenConnections / rememberedShareDivisor};
    UnprovenPlaces m_unprovenTls{maximumUnprovenTlsSessions, maximumUnprovenTlsSessions / rememberedShareDivisor};
    // The ids of those channels whose peer proved the key and has not sent its request yet,
    // oldest first: the first to give way to a newly proven peer when every slot is taken.
    QList<QUuid> m_awaitingRequest;
    // The ids of those channels whose read is being answered: they hold no slot, since the peer
    // may open its next connection before their serving task has ended.
    QSet<QUuid> m_answering;
};

} // namespace vantorel
