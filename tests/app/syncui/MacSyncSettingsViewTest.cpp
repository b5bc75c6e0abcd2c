#include "SyncUiFixtures.h"

#include "app/platform/QtPasteboard.h"
#include "app/syncui/MacSyncClipboard.h"
#include "app/syncui/MacSyncCoordinator.h"
#include "app/syncui/MacSyncQRCode.h"
#include "app/syncui/MacSyncSettingsView.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ToggleSwitch.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "core/foundation/SecretStore.h"
#include "core/foundation/SecretStoreError.h"
#include "sync/model/UsageSyncError.h"
#include "sync/net/LocalSyncServer.h"
#include "support/DrainEvents.h"
#include "support/FakeMacSyncServing.h"
#include "support/FakePasteboard.h"
#include "support/FakeSyncNetworkServices.h"
#include "support/ManualSleeper.h"
#include "support/QrDecode.h"
#include "support/ViewTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include <qrencode.h>

using namespace vantorel;
using namespace vantorel::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const RegisteredSyncDevice markupPhone{u"<b>x</b>"_s, SyncCredential{idNumber(77), QByteArray(32, 'k')}, syncNow};

struct SyncRig
{
    std::shared_ptr<ManualSleeper> sleeper = std::make_shared<ManualSleeper>(ManualClock(syncNow));
    std::shared_ptr<InMemorySettingsStore> defaults = std::make_shared<InMemorySettingsStore>();
    std::shared_ptr<FakeMacSyncDeviceStorage> storage = std::make_shared<FakeMacSyncDeviceStorage>();
    FakeMacSyncServers servers;
    // Instead of the fake servers when set.
    MacSyncCoordinator::ServerFactory serverFactory;
    FakePasteboard pasteboard;
    std::unique_ptr<MacSyncCoordinator> sync;
    std::unique_ptr<MacSyncSettingsView> view;

    ~SyncRig()
    {
        view.reset();
        sync.reset();
        drainEvents();
    }
    MacSyncSettingsView& make(bool enable)
    {
        sync = std::make_unique<MacSyncCoordinator>(defaults, storage, u"Studio"_s, sleeper->clock().clock(), sleeper,
                                                    serverFactory ? serverFactory : servers.factory());
        if (enable)
            sync->setEnabled(true);
        drainEvents();
        view = std::make_unique<MacSyncSettingsView>(*sync, pasteboard, sleeper);
        return *view;
    }
    void pair(const QString& host = u"Studio"_s, quint32 key = 1, double lifetime = 300)
    {
        servers.invitation = PairingInvitation(sync->hostID(), host, SyncCredential{idNumber(key), QByteArray(32, 'p')},
                                               sleeper->clock().now() + lifetime);
        sync->beginPairing();
    }
    template <typename T = QWidget>
    T* child(const QString& name) const
    {
        return view->findChild<T*>(name);
    }
    bool shown(const QString& name) const
    {
        const QWidget* w = child(name);
        return w && w->isVisibleTo(view.get());
    }
};

QString text(const QWidget* widget)
{
    if (auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    return qobject_cast<const QAbstractButton*>(widget)->text();
}

} // namespace

TEST(MacSyncQRCode, EncodesTheBytesAndRefusesWhatDoesNotFit)
{
    for (const QString& s : {u"vantorel-pair://v1?host=Studio&key=abc"_s, u"スタジオのMac・日本語"_s}) {
        const QImage image = MacSyncQRCode::image(s);
        const QByteArray bytes = s.toUtf8();
        QRcode* code = QRcode_encodeData(int(bytes.size()), reinterpret_cast<const uchar*>(bytes.data()), 0,
                                         QR_ECLEVEL_M);
        EXPECT_EQ(image.width(), (code->width + 8) * 4);
        EXPECT_EQ(image.height(), image.width());
        QRcode_free(code);
        EXPECT_EQ(decodeQr(image), bytes);
    }
    EXPECT_FALSE(MacSyncQRCode::image(QString(2331, u'a')).isNull());
    for (qsizetype bytes : {0, 2332, 4097}) {
        MacSyncQRCodeView view(QString(bytes, u'a'));
        EXPECT_TRUE(view.image().isNull());
        EXPECT_TRUE(view.accessibleName().isEmpty());
        EXPECT_EQ(view.findChild<QLabel*>(u"qrFallback"_s)->text(), u"QRコードを表示できません"_s);
    }
}

TEST(MacSyncClipboard, CopiesOnlyShortLivedStringsAndClearsOnlyItsOwn)
{
    struct Row {
        double lifetime;
        qsizetype bytes;
        bool share, copied;
    } rows[] = {{300, 4096, false, true}, {300, 10, true, true},    {300.5, 10, false, false}, {0, 10, false, false},
                {-5, 10, false, false},   {300, 0, false, false},   {300, 4097, false, false}};
    for (const Row& row : rows) {
        auto sleeper = std::make_shared<ManualSleeper>(ManualClock(syncNow));
        FakePasteboard board;
        board.copyFromAnotherProgram(u"mine"_s);
        MacSyncClipboard clipboard(board, sleeper->clock().clock(), sleeper);
        EXPECT_EQ(clipboard.copy(QString(row.bytes, u'c'), syncNow + row.lifetime, row.share), row.copied) << row.lifetime;
        EXPECT_EQ(board.contents, row.copied ? QString(row.bytes, u'c') : u"mine"_s);
        EXPECT_EQ(board.hostOnly, row.copied && !row.share);
        sleeper->advance(std::max(row.lifetime, 1.0));
        EXPECT_EQ(board.contents, row.copied ? QString() : u"mine"_s) << "cleared at expiry";
    }

    // Someone else's copy stays: a reported one (count moved) and one seen only in the contents.
    for (bool countMoves : {true, false}) {
        auto sleeper = std::make_shared<ManualSleeper>(ManualClock(syncNow));
        FakePasteboard board;
        MacSyncClipboard clipboard(board, sleeper->clock().clock(), sleeper);
        ASSERT_TRUE(clipboard.copy(u"code"_s, syncNow + 60, false));
        countMoves ? board.copyFromAnotherProgram(u"user"_s) : void(board.contents = u"user"_s);
        sleeper->advance(60);
        EXPECT_EQ(board.contents, u"user"_s);
    }

    auto sleeper = std::make_shared<ManualSleeper>(ManualClock(syncNow));
    FakePasteboard board;
    MacSyncClipboard clipboard(board, sleeper->clock().clock(), sleeper);
    clipboard.copy(u"first"_s, syncNow + 100, false);
    const int changes = board.changes;
    clipboard.copy(u"second"_s, syncNow + 200, true);
    EXPECT_EQ(board.changes, changes + 2); // the first removed, then the second written
    EXPECT_EQ(sleeper->pendingCount(), 1);
    sleeper->advance(100);
    EXPECT_EQ(board.contents, u"second"_s);
    sleeper->advance(100);
    EXPECT_EQ(board.contents, QString());

    QtPasteboard system;
    MacSyncClipboard real(system, sleeper->clock().clock(), sleeper);
    ASSERT_TRUE(real.copy(u"pair-code"_s, sleeper->clock().now() + 60, false));
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(QtPasteboard::secretHintType()), "secret");
    real.clearOwnedContents();
    EXPECT_EQ(system.string(), QString());
    drainEvents(); // the cancelled expiry wait ends on a later turn
}

class MacSyncSettingsViewTest : public ViewTest
{
};

TEST_F(MacSyncSettingsViewTest, RowsFollowEveryState)
{
    const QStringList optional = {u"errorText"_s, u"deviceName"_s, u"noDevice"_s, u"retryRevocationButton"_s,
                                  u"revokeButton"_s, u"registerButton"_s, u"countdown"_s, u"requestName"_s,
                                  u"storeMissingText"_s};
    struct Row {
        QString name;
        std::function<void(SyncRig&)> script;
        QStringList shown;
        bool switchEnabled;
        QString symbol, registerText;
    } rows[] = {
        {u"off"_s, [](SyncRig& r) { r.make(false); }, {u"noDevice"_s}, true, u"wifi.slash"_s, {}},
        {u"revocation-pending"_s, [](SyncRig& r) { r.defaults->set(MacSyncCoordinator::revocationPendingKey(), true); r.make(false); },
         {u"errorText"_s, u"noDevice"_s, u"retryRevocationButton"_s}, false, u"wifi.slash"_s, {}},
        {u"registration-unreadable"_s,
         [](SyncRig& r) {
             r.storage->loadsAtOnce = false;
             r.make(true);
             r.storage->waiting.takeFirst().fail(std::make_exception_ptr(UsageSyncError(UsageSyncError::Code::keychainFailure)));
             drainEvents();
         },
         {u"errorText"_s, u"revokeButton"_s}, true, u"wifi.slash"_s, {}},
        // No secret service: nothing can have been registered, and the switch says why it snaps back.
        {u"no-keyring"_s,
         [](SyncRig& r) {
             r.storage->loadsAtOnce = false;
             r.make(true);
             r.storage->waiting.takeFirst().fail(
                 std::make_exception_ptr(SecretStoreError(SecretStore::Status::notAvailable)));
             drainEvents();
         },
         {u"noDevice"_s, u"storeMissingText"_s}, true, u"wifi.slash"_s, {}},
        {u"registered"_s, [](SyncRig& r) { r.storage->stored = markupPhone; r.make(true); },
         {u"deviceName"_s, u"revokeButton"_s, u"registerButton"_s}, true, u"wifi"_s, u"iPhoneを再登録"_s},
        {u"pairing"_s, [](SyncRig& r) { r.make(true); r.pair(); }, {u"noDevice"_s, u"countdown"_s}, true, u"wifi"_s, {}},
        {u"pending-request"_s,
         [](SyncRig& r) {
             r.make(true);
             r.pair();
             r.servers.pairingHandlers.last()(SyncPairingRequest{idNumber(2), u"<b>x</b>"_s, syncNow + 300});
         },
         {u"noDevice"_s, u"countdown"_s, u"requestName"_s}, true, u"wifi"_s, {}},
        // No avahi-daemon: the listener cannot be found, so no code is offered.
        {u"no-avahi"_s,
         [](SyncRig& r) {
             r.make(true);
             r.pair();
             r.servers.report(MacSyncServing::statusDiscoveryDaemonMissing(), true);
             drainEvents();
         },
         {u"noDevice"_s}, true, u"wifi"_s, {}},
    };
    for (bool dark : {false, true}) {
        setDark(dark);
        for (const Row& row : rows) {
            SyncRig rig;
            row.script(rig);
            rig.view->resize(360, 10);
            show(rig.view.get());
            for (const QString& name : optional)
                EXPECT_EQ(rig.shown(name), row.shown.contains(name)) << row.name.toStdString() << " " << name.toStdString();
            EXPECT_EQ(rig.child(u"wifiSwitch"_s)->isEnabled(), row.switchEnabled) << row.name.toStdString();
            EXPECT_EQ(rig.child<SymbolView>(u"statusSymbol"_s)->symbol(), row.symbol);
            if (!row.registerText.isEmpty()) {
                EXPECT_EQ(text(rig.child(u"registerButton"_s)), row.registerText);
            }
            for (const QString& literal : {u"deviceName"_s, u"requestName"_s}) {
                if (rig.shown(literal)) {
                    EXPECT_EQ(text(rig.child(literal)), u"<b>x</b>"_s);
                }
            }
            expectNoMissingGlyphs(rig.view.get());
            saveGrab(rig.view.get(), u"wifi-"_s + row.name + (dark ? u"-dark"_s : u""_s));
        }
    }
}

TEST_F(MacSyncSettingsViewTest, ADownListenerNamesTheMissingDaemonAndOffersNoCodeUntilItIsUp)
{
    SyncRig rig;
    rig.make(true);
    rig.pair();
    drainEvents();
    ASSERT_TRUE(rig.shown(u"countdown"_s));
    rig.servers.report(MacSyncServing::statusDiscoveryDaemonMissing(), true);
    drainEvents();
    EXPECT_EQ(text(rig.child(u"statusText"_s)), u"avahi-daemonが動いていないため、iPhoneから接続できません"_s);
    EXPECT_EQ(rig.servers.calls.last(), u"cancelPairing"_s);
    EXPECT_FALSE(rig.sync->connectionString() || rig.sync->invitation());
    EXPECT_FALSE(rig.shown(u"countdown"_s) || rig.shown(u"registerButton"_s));
    saveGrab(rig.view.get(), u"wifi-no-avahi-daemon"_s);
    // The code's view goes on a later turn.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    rig.pair();
    drainEvents();
    EXPECT_FALSE(rig.shown(u"countdown"_s)) << "no code while the listener is still down";

    rig.servers.report(u"接続コードを読み取れます"_s);
    drainEvents();
    EXPECT_FALSE(rig.sync->listenerDown());
    EXPECT_TRUE(rig.shown(u"countdown"_s));
    rig.servers.report(MacSyncServing::statusCheckNetwork(), true);
    drainEvents();
    EXPECT_FALSE(rig.shown(u"countdown"_s) || rig.shown(u"registerButton"_s));
}

// Without a registered iPhone no listener runs to find the daemon missing: turning sync on says
// so at once, as a failed listener would, and offers no registration nobody could reach.
TEST_F(MacSyncSettingsViewTest, TurningOnWithoutTheDiscoveryDaemonSaysSoAtOnce)
{
    for (const bool daemonRuns : {false, true}) {
        FakeSyncNetworkServices network;
        SyncRig rig;
        rig.serverFactory = [&](const QUuid& hostID, const QString& hostName) -> std::unique_ptr<MacSyncServing> {
            return std::make_unique<LocalSyncServer>(hostID, hostName, network, *rig.sleeper,
                                                     rig.sleeper->clock().clock());
        };
        rig.make(true);
        show(rig.view.get());
        for (const auto& answer : std::exchange(network.advertisingChecks, {}))
            answer(daemonRuns ? std::nullopt : std::optional(NetworkError::dnsServiceDiscovery(NetworkError::avahiNoDaemon)));
        drainEvents();
        EXPECT_EQ(text(rig.child(u"statusText"_s)),
                  daemonRuns ? u"iPhoneの登録待ち"_s : u"avahi-daemonが動いていないため、iPhoneから接続できません"_s);
        EXPECT_EQ(rig.shown(u"registerButton"_s), daemonRuns);
        EXPECT_TRUE(rig.child(u"wifiSwitch"_s)->isEnabled());
    }
}

TEST_F(MacSyncSettingsViewTest, RevocationConfirmsButRetryDoesNot)
{
    // The sheet's two buttons, then Return and Escape, which both cancel; light, then dark.
    for (const int way : {0, 1, 2, 3}) {
        const bool confirm = way == 1;
        setDark(way == 3);
        SyncRig rig;
        rig.storage->stored = markupPhone;
        rig.make(true);
        show(rig.view.get());
        rig.child<QAbstractButton>(u"revokeButton"_s)->click();
        ConfirmationSheet* sheet = rig.view->revocationDialog();
        ASSERT_TRUE(sheet);
        EXPECT_TRUE(sheet->text().contains(u"iPhoneの登録を解除しますか？"_s));
        QApplication::processEvents();
        if (way >= 2) {
            EXPECT_TRUE(sheet->cancelButton()->isDefault());
            expectSheetButtonRow(sheet, sheet->cancelButton(), sheet->destructiveButton());
            saveGrab(sheet, way == 3 ? u"wifi-revocation-sheet-dark"_s : u"wifi-revocation-sheet-light"_s);
            QTest::keyClick(sheet, way == 2 ? Qt::Key_Return : Qt::Key_Escape);
        } else {
            sheet->findChild<QAbstractButton*>(confirm ? u"confirmRevocationButton"_s : u"cancelRevocationButton"_s)
                ->click();
        }
        drainEvents();
        EXPECT_EQ(rig.storage->stored.has_value(), !confirm) << way;
        EXPECT_EQ(rig.sync->enabled(), !confirm) << way;
        EXPECT_FALSE(rig.view->revocationDialog()) << way;
    }
    setDark(false);
    SyncRig rig;
    rig.defaults->set(MacSyncCoordinator::revocationPendingKey(), true);
    rig.make(false);
    rig.child<QAbstractButton>(u"retryRevocationButton"_s)->click();
    EXPECT_FALSE(rig.view->revocationDialog());
    EXPECT_FALSE(rig.sync->revocationPending() || rig.shown(u"retryRevocationButton"_s));
}

TEST_F(MacSyncSettingsViewTest, PairingCountdownCopiesAndClose)
{
    SyncRig rig;
    rig.make(true);
    rig.pair(u"Studio"_s, 1, 301);
    MacSyncPairingView* pairing = rig.view->pairingView();
    ASSERT_TRUE(pairing);
    auto* countdown = rig.child<QLabel>(u"countdown"_s);
    EXPECT_EQ(countdown->text(), u"有効期限まで 5:00"_s);
    pairing->tick(syncNow + 242);
    EXPECT_EQ(countdown->text(), u"有効期限まで 0:59"_s);
    pairing->tick(syncNow + 400);
    EXPECT_EQ(countdown->text(), u"有効期限まで 0:00"_s);

    auto* message = rig.child<QLabel>(u"copyMessage"_s);
    pairing->copyCode(false); // 301 s ahead: longer than a copy may live
    EXPECT_EQ(message->text(), u"コピーできませんでした"_s);
    rig.sleeper->advance(2);
    rig.pasteboard.writeFails = true;
    pairing->copyCode(false);
    EXPECT_EQ(message->text(), u"コピーできませんでした"_s);
    rig.pasteboard.writeFails = false;
    pairing->copyCode(false);
    EXPECT_EQ(message->text(), u"コピーしました"_s);
    EXPECT_EQ(rig.pasteboard.contents, *rig.sync->connectionString());

    rig.pair(u"Studio"_s, 2); // a new invitation: the old copy and its message go
    EXPECT_EQ(rig.view->pairingView(), pairing);
    EXPECT_EQ(pairing->connectionString(), *rig.sync->connectionString());
    EXPECT_TRUE(rig.pasteboard.contents.isEmpty());
    EXPECT_FALSE(message->isVisibleTo(pairing));

    // Closing removes an unchanged copy; the user's own copy stays.
    for (bool userCopies : {false, true}) {
        rig.pair(u"Studio"_s, 3);
        rig.view->pairingView()->copyCode(true);
        if (userCopies)
            rig.pasteboard.copyFromAnotherProgram(u"user"_s);
        rig.child<QAbstractButton>(u"closePairingButton"_s)->click();
        drainEvents();
        EXPECT_FALSE(rig.view->pairingView());
        EXPECT_EQ(rig.servers.calls.last(), u"cancelPairing"_s);
        EXPECT_EQ(rig.pasteboard.contents, userCopies ? u"user"_s : QString());
    }

    // No invitation held: nothing is copied.
    FakePasteboard board;
    MacSyncPairingView orphan(*rig.sync, u"code"_s, board, rig.sleeper);
    orphan.copyCode(false);
    EXPECT_EQ(board.changes, 0);
    EXPECT_FALSE(orphan.findChild<QLabel*>(u"copyMessage"_s)->isVisibleTo(&orphan));
}

TEST_F(MacSyncSettingsViewTest, GrabbedCodeOfALongJapaneseHostDecodes)
{
    SyncRig rig;
    rig.make(true);
    rig.pair(QString(128, u'漢'));
    show(rig.view.get());
    auto* code = rig.view->findChild<MacSyncQRCodeView*>();
    ASSERT_TRUE(code && !code->image().isNull());
    EXPECT_EQ(code->accessibleName(), u"iPhone連携用QRコード"_s);
    EXPECT_EQ(decodeQr(code->grab().toImage()), rig.sync->connectionString()->toUtf8());
}
