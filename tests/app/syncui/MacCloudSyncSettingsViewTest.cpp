#include "SyncUiFixtures.h"
#include "../../sync/model/SyncModelFixtures.h"

#include "app/syncui/MacCloudSyncCoordinator.h"
#include "app/syncui/MacCloudSyncSettingsView.h"
#include "app/ui/SymbolView.h"
#include "core/foundation/DateTexts.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "sync/cloud/CloudSyncError.h"
#include "support/DrainEvents.h"
#include "support/ManualSleeper.h"
#include "support/ScriptedCloudSnapshotStore.h"
#include "support/ViewTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QLabel>

using namespace vantorel;
using namespace Qt::Literals::StringLiterals;

namespace {

struct CloudRig
{
    std::shared_ptr<ManualSleeper> sleeper = std::make_shared<ManualSleeper>(ManualClock(test::syncNow));
    std::shared_ptr<InMemorySettingsStore> defaults = std::make_shared<InMemorySettingsStore>();
    std::shared_ptr<ScriptedCloudSnapshotStore> store = std::make_shared<ScriptedCloudSnapshotStore>();
    std::unique_ptr<MacCloudSyncCoordinator> cloud;
    std::unique_ptr<MacCloudSyncSettingsView> view;

    CloudRig() { make(); }
    void make()
    {
        view.reset();
        cloud = std::make_unique<MacCloudSyncCoordinator>(test::hostA, store, defaults, sleeper->clock().clock(),
                                                          sleeper, nullptr);
        drainEvents();
        view = std::make_unique<MacCloudSyncSettingsView>(*cloud);
    }
    void on()
    {
        cloud->setEnabled(true);
        drainEvents();
    }
    ~CloudRig()
    {
        view.reset();
        cloud.reset();
        drainEvents();
    }
    void upload(quint64 revision)
    {
        UsageSyncSnapshot s = test::emptySnapshot();
        s.hostID = test::hostA;
        s.revision = revision;
        cloud->receiveSnapshot(s);
        drainEvents();
    }
    QWidget* child(const QString& name) const { return view->findChild<QWidget*>(name); }
    bool shown(const QString& name) const { return child(name)->isVisibleTo(view.get()); }
    QString text(const QString& name) const { return view->findChild<QLabel*>(name)->text(); }
    void press(const QString& name) { view->findChild<QAbstractButton*>(name)->click(); }
};

} // namespace

class MacCloudSyncSettingsViewTest : public ViewTest
{
};

TEST_F(MacCloudSyncSettingsViewTest, RowsFollowTheCoordinator)
{
    struct Row {
        QString name;
        std::function<void(CloudRig&)> script;
        QString symbol, lastUpload;
        bool busy, canDelete, reauthorize;
    } rows[] = {
        {u"off"_s, [](CloudRig&) {}, u"icloud.slash"_s, u"最終送信: 未送信"_s, false, false, false},
        {u"checking"_s, [](CloudRig& r) { r.cloud->setEnabled(true); }, u"icloud"_s, u"最終送信: 確認中"_s, true, false, false},
        {u"busy"_s, [](CloudRig& r) { r.on(); r.store->holdWrites = true; r.upload(3); }, u"icloud"_s,
         u"最終送信: 未送信"_s, true, false, false},
        {u"uploaded"_s, [](CloudRig& r) { r.on(); r.upload(3); }, u"icloud"_s,
         u"最終送信: "_s + DateTexts::abbreviatedDateTimeText(test::syncNow), false, true, false},
        {u"failed"_s,
         [](CloudRig& r) {
             r.store->failures = {std::make_exception_ptr(CloudSyncError(CloudSyncError::Code::quotaExceeded))};
             r.on();
             r.upload(3);
         },
         u"exclamationmark.icloud"_s, u"最終送信: 未送信"_s, false, true, false},
        {u"reconfirm"_s, // switched on for another account
         [](CloudRig& r) {
             r.defaults->set(MacCloudSyncCoordinator::enabledKey(), true);
             r.defaults->set(MacCloudSyncCoordinator::accountIDKey(), u"_"_s + QString(32, u'c'));
             r.make();
         },
         u"exclamationmark.icloud"_s, u"最終送信: 未送信"_s, false, false, true},
    };
    for (bool dark : {false, true}) {
        setDark(dark);
        for (const Row& row : rows) {
            CloudRig rig;
            row.script(rig);
            const MacCloudSyncCoordinator& c = *rig.cloud;
            const std::string name = row.name.toStdString();
            EXPECT_EQ(rig.view->findChild<SymbolView*>(u"statusSymbol"_s)->symbol(), row.symbol) << name;
            EXPECT_EQ(rig.text(u"lastUpload"_s), row.lastUpload) << name;
            EXPECT_EQ(rig.shown(u"busyIndicator"_s), row.busy) << name;
            EXPECT_EQ(rig.child(u"deleteButton"_s)->isEnabled(), row.canDelete) << name;
            EXPECT_EQ(rig.shown(u"reauthorizeButton"_s), row.reauthorize) << name;
            EXPECT_EQ(rig.shown(u"errorText"_s), c.errorMessage().has_value()) << name;
            EXPECT_EQ(rig.child(u"uploadButton"_s)->isEnabled(), c.canUpload()) << name;
            EXPECT_EQ(rig.child(u"cloudSwitch"_s)->isEnabled(), !c.isDeleting()) << name;
            EXPECT_EQ(rig.shown(u"nextUpload"_s), c.nextUploadAt().has_value()) << name;
            rig.view->resize(360, 10);
            show(rig.view.get());
            expectNoMissingGlyphs(rig.view.get());
            saveGrab(rig.view.get(), u"icloud-"_s + row.name + (dark ? u"-dark"_s : u""_s));
        }
    }
}

TEST_F(MacCloudSyncSettingsViewTest, DeletionHandsBackTheSessionOfThePress)
{
    // Cancel, confirm, confirm after the session changed while the dialog was open, then Return
    // and Escape, which both cancel.
    for (int step : {0, 1, 2, 3, 4}) {
        CloudRig rig;
        rig.on();
        rig.upload(3);
        show(rig.view.get());
        rig.press(u"deleteButton"_s);
        ASSERT_TRUE(rig.view->deletionDialog());
        if (step == 2) {
            rig.cloud->setEnabled(false);
            rig.cloud->setEnabled(true);
            drainEvents();
        }
        if (step >= 3) {
            QApplication::processEvents();
            QTest::keyClick(rig.view->deletionDialog(), step == 3 ? Qt::Key_Return : Qt::Key_Escape);
        } else {
            rig.view->deletionDialog()
                ->findChild<QAbstractButton*>(step == 0 ? u"cancelDeletionButton"_s : u"confirmDeletionButton"_s)
                ->click();
        }
        drainEvents();
        EXPECT_EQ(rig.store->calls.count(u"delete"_s), step == 1 ? 1 : 0) << step;
        EXPECT_EQ(rig.cloud->enabled(), step != 1) << step;
    }
}

TEST_F(MacCloudSyncSettingsViewTest, DeletionSheetIsTheKitsInBothSchemes)
{
    for (const bool dark : {false, true}) {
        setDark(dark);
        CloudRig rig;
        rig.on();
        rig.upload(3);
        show(rig.view.get());
        rig.press(u"deleteButton"_s);
        ConfirmationSheet* sheet = rig.view->deletionDialog();
        ASSERT_TRUE(sheet);
        QApplication::processEvents();
        EXPECT_EQ(sheet->text(), u"iCloudの同期データを削除しますか？"_s);
        EXPECT_TRUE(sheet->cancelButton()->isDefault());
        expectLinesEndAtPunctuation(find<QLabel>(sheet, u"confirmation.message"_s));
        expectSheetButtonRow(sheet, sheet->cancelButton(), sheet->destructiveButton());
        expectNoMissingGlyphs(sheet);
        saveGrab(sheet, dark ? u"icloud-deletion-sheet-dark"_s : u"icloud-deletion-sheet-light"_s);
        sheet->reject();
    }
}
