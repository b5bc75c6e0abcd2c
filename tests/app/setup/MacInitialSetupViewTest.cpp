#include "SetupRig.h"

#include "app/setup/MacInitialSetupView.h"
#include "app/ui/NoticeLabel.h"
#include "app/ui/ToggleSwitch.h"
#include "support/DrainEvents.h"
#include "support/ViewTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>

#include <memory>

namespace vantorel {
namespace {

class MacInitialSetupViewTest : public ViewTest
{
protected:
    std::unique_ptr<MacInitialSetupView> open(std::int64_t step)
    {
        rig.moveTo(step);
        auto view = std::make_unique<MacInitialSetupView>(rig.model, &rig.wifi, &rig.cloud, rig.draft(),
                                                          [this] { ++dismissals; });
        view->resize(520, 640);
        show(view.get());
        return view;
    }
    void click(QWidget* view, const char* objectName)
    {
        find<QAbstractButton>(view, QStringLiteral("initial-setup.") + QString::fromLatin1(objectName))->click();
    }
    bool shown(QWidget* view, const char* objectName)
    {
        return find<QWidget>(view, QStringLiteral("initial-setup.") + QString::fromLatin1(objectName))->isVisibleTo(view);
    }
    bool enabled(QWidget* view, const char* objectName)
    {
        return find<QWidget>(view, QStringLiteral("initial-setup.") + QString::fromLatin1(objectName))->isEnabled();
    }

    SetupRig rig;
    int dismissals = 0;
};

TEST_F(MacInitialSetupViewTest, WalksEveryStepAndApplies)
{
    AppSettings settings = rig.model.settings();
    settings.launchAtLogin = false;
    rig.model.setSettings(settings);
    const auto calls = rig.harness.launchAtLoginCalls().size();
    auto view = open(0);
    click(view.get(), "claudeEnabled");
    for (int step = 0; step < 6; ++step) {
        if (step == 1) {
            click(view.get(), "openCodexCLI");
            EXPECT_EQ(rig.terminalCommands, QStringList{QStringLiteral("codex")});
        }
        if (step == 3) {
            auto* days = find<QSpinBox>(view.get(), QStringLiteral("initial-setup.warningDays"));
            days->setValue(30);
            days->stepUp();
            EXPECT_EQ(days->value(), 30);
            click(view.get(), "expiry");
            EXPECT_FALSE(days->isEnabled()) << "no days without expiry warnings";
            click(view.get(), "expiry");
            days->setValue(1);
            days->stepDown();
            EXPECT_EQ(find<QLabel>(view.get(), QStringLiteral("initial-setup.warningDaysLabel"))->text(), "期限の 1 日前");
        }
        EXPECT_EQ(find<QLabel>(view.get(), QStringLiteral("initial-setup.counter"))->text(), QStringLiteral("%1 / 7").arg(step + 1));
        expectNoMissingGlyphs(view.get());
        saveGrab(view.get(), QStringLiteral("initial-setup-step%1").arg(step));
        click(view.get(), "next");
    }
    EXPECT_EQ(rig.harness.defaults->integerValue(stepKey), 6);
    EXPECT_EQ(find<QLabel>(view.get(), QStringLiteral("initial-setup.review.provider"))->text(), "Codex・Claude");
    // The review names the desktop's own places.
    for (const QLabel* label : view->findChildren<QLabel*>())
        EXPECT_FALSE(label->text().contains(QStringLiteral("メニューバー"))) << label->text().toStdString();
    expectNoMissingGlyphs(view.get());
    saveGrab(view.get(), QStringLiteral("initial-setup-step6"));
    QTest::keyClick(view.get(), Qt::Key_Return);
    EXPECT_EQ(dismissals, 1);
    EXPECT_TRUE(rig.model.settings().claudeEnabled);
    EXPECT_EQ(rig.harness.launchAtLoginCalls().size(), calls);
    EXPECT_EQ(rig.model.initialSetupProgress().state, OnboardingCompletionState::completed);
}

TEST_F(MacInitialSetupViewTest, DeferAfterEditsChangesNothing)
{
    const AppSettings before = rig.model.settings();
    auto view = open(0);
    click(view.get(), "claudeEnabled");
    click(view.get(), "next");
    click(view.get(), "next");
    click(view.get(), "launchAtLogin");
    click(view.get(), "next");
    click(view.get(), "notifications");
    click(view.get(), "next");
    click(view.get(), "cloudSync");
    click(view.get(), "back");
    click(view.get(), "defer");
    EXPECT_EQ(dismissals, 1);
    EXPECT_EQ(rig.model.settings(), before);
    EXPECT_FALSE(rig.cloud.enabled());
    EXPECT_EQ(rig.model.initialSetupProgress().state, OnboardingCompletionState::deferred);
    EXPECT_EQ(rig.model.initialSetupProgress().currentStep, 3);
    EXPECT_EQ(open(3)->draft().settings, before);
}

TEST_F(MacInitialSetupViewTest, ReturnPressesTheFocusedButtonTheForwardOneOnlyElsewhereAndEscapeDefers)
{
    AppSettings settings = rig.model.settings();
    settings.claudeEnabled = true;
    rig.model.setSettings(settings);
    const AppSettings before = rig.model.settings();
    auto view = open(0);
    view->activateWindow();
    click(view.get(), "claudeEnabled");
    for (int step = 0; step < 6; ++step)
        click(view.get(), "next");
    ASSERT_FALSE(view->draft().settings.claudeEnabled);
    // The ring on あとで on the last step: Return leaves without applying.
    auto* defer = find<QAbstractButton>(view.get(), QStringLiteral("initial-setup.defer"));
    auto* back = find<QAbstractButton>(view.get(), QStringLiteral("initial-setup.back"));
    back->setFocus();
    QTest::keyClick(back, Qt::Key_Backtab);
    ASSERT_TRUE(defer->hasFocus());
    QTest::keyClick(defer, Qt::Key_Return);
    EXPECT_EQ(dismissals, 1);
    EXPECT_EQ(rig.model.settings(), before) << "Claude stays on";
    EXPECT_EQ(rig.model.initialSetupProgress().state, OnboardingCompletionState::deferred);

    // Away from the buttons Return is the forward button's, and Escape is あとで wherever the focus is.
    view = open(5);
    view->activateWindow();
    auto* scroll = find<QWidget>(view.get(), QStringLiteral("initial-setup.scroll"));
    scroll->setFocus(Qt::TabFocusReason);
    QTest::keyClick(scroll, Qt::Key_Return);
    EXPECT_EQ(rig.model.initialSetupProgress().currentStep, 6);
    QTest::keyClick(scroll, Qt::Key_Escape);
    EXPECT_EQ(dismissals, 2);
    EXPECT_EQ(rig.model.settings(), before);

    // A switch takes Space only: Return on the one just turned on goes forward and leaves it on.
    settings.claudeEnabled = false;
    rig.model.setSettings(settings);
    view = open(0);
    view->activateWindow();
    auto* claude = find<QAbstractButton>(view.get(), QStringLiteral("initial-setup.claudeEnabled"));
    for (int presses = 0; presses < 20 && !claude->hasFocus(); ++presses)
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : view.get(), Qt::Key_Tab);
    ASSERT_TRUE(claude->hasFocus());
    QTest::keyClick(claude, Qt::Key_Space);
    ASSERT_TRUE(view->draft().settings.claudeEnabled);
    QTest::keyClick(claude, Qt::Key_Return);
    EXPECT_TRUE(view->draft().settings.claudeEnabled);
    EXPECT_EQ(find<QLabel>(view.get(), QStringLiteral("initial-setup.counter"))->text(), QStringLiteral("2 / 7"));
}

// Without avahi-daemon no iPhone could register: the Wi-Fi step says so, in 設定's words, as soon
// as the check answers, and keeps its registration hint while the daemon runs.
TEST_F(MacInitialSetupViewTest, TheWifiStepSaysAtOnceWhenTheDiscoveryDaemonIsMissing)
{
    const QString registration = QStringLiteral("同じ家庭内LANでiPhoneと直接同期します。ONにした後、設定画面のQRコードでiPhoneを登録します。");
    const QString missing = QStringLiteral("同じ家庭内LANでiPhoneと直接同期します。avahi-daemonが動いていないため、iPhoneから接続できません。");
    auto view = open(4);
    auto* detail = find<QLabel>(view.get(), QStringLiteral("initial-setup.wifiSyncDetail"));
    ASSERT_EQ(rig.discoveryChecks.size(), 1);
    EXPECT_EQ(detail->text(), registration) << "nothing is known before the answer";
    rig.discoveryChecks.takeFirst()(NetworkError::dnsServiceDiscovery(NetworkError::avahiNoDaemon));
    EXPECT_EQ(detail->text(), missing);
    expectLinesEndAtPunctuation(detail);
    saveGrab(view.get(), QStringLiteral("initial-setup-wifi-no-avahi-daemon"));

    // Each visit asks again; a daemon started meanwhile brings the hint back, and another
    // failure of discovery is no missing daemon.
    click(view.get(), "back");
    click(view.get(), "next");
    detail = find<QLabel>(view.get(), QStringLiteral("initial-setup.wifiSyncDetail"));
    ASSERT_EQ(rig.discoveryChecks.size(), 1);
    rig.discoveryChecks.takeFirst()(std::nullopt);
    EXPECT_EQ(detail->text(), registration);
    click(view.get(), "back");
    click(view.get(), "next");
    rig.discoveryChecks.takeFirst()(NetworkError::dnsServiceDiscovery(-1));
    EXPECT_EQ(find<QLabel>(view.get(), QStringLiteral("initial-setup.wifiSyncDetail"))->text(), registration);
}

// The steps share one scrolling body: on a short screen a step left scrolled down, with the focus
// on one of its controls, must not open the next one (or the one before) mid-page.
TEST_F(MacInitialSetupViewTest, EveryStepOpensAtItsTopForwardAndBack)
{
    auto view = open(0);
    view->resize(520, 300);
    view->activateWindow();
    drainEvents();
    auto* scroll = find<QScrollArea>(view.get(), QStringLiteral("initial-setup.scroll"));
    QScrollBar* bar = scroll->verticalScrollBar();
    const auto counter = [&] { return find<QLabel>(view.get(), QStringLiteral("initial-setup.counter"))->text(); };
    const auto leaveScrolledDown = [&](const char* button) {
        for (QWidget* control : scroll->widget()->findChildren<QWidget*>()) {
            if (control->isVisible() && control->focusPolicy() & Qt::ClickFocus) {
                control->setFocus(Qt::MouseFocusReason);
                break;
            }
        }
        ASSERT_GT(bar->maximum(), 0) << counter().toStdString() << " fits: nothing to scroll";
        bar->setValue(bar->maximum());
        click(view.get(), button);
        drainEvents();
        EXPECT_EQ(bar->value(), 0) << counter().toStdString() << " after " << button;
    };
    for (int step = 0; step < 6; ++step)
        leaveScrolledDown("next");
    EXPECT_EQ(counter(), "7 / 7");
    for (int step = 6; step > 0; --step)
        leaveScrolledDown("back");
    EXPECT_EQ(counter(), "1 / 7");
}

TEST_F(MacInitialSetupViewTest, StepRules)
{
    auto view = open(0);
    EXPECT_FALSE(shown(view.get(), "noServiceNotice"));
    click(view.get(), "codexEnabled");
    EXPECT_TRUE(shown(view.get(), "noServiceNotice"));

    click(view.get(), "next");
    EXPECT_TRUE(shown(view.get(), "noAuthenticationNotice"));
    EXPECT_FALSE(shown(view.get(), "codexSection") || shown(view.get(), "claudeSection"));
    click(view.get(), "back");
    click(view.get(), "claudeEnabled");
    click(view.get(), "next");
    click(view.get(), "claudeAutoRecovery");
    click(view.get(), "claudeUsageAutoRefresh");
    EXPECT_FALSE(enabled(view.get(), "claudeAutoRecovery"));
    EXPECT_TRUE(view->draft().settings.claudeAuthenticationAutoRecoveryEnabled);
    click(view.get(), "openClaudeCode");
    EXPECT_EQ(rig.terminalCommands, QStringList{QStringLiteral("claude")});

    click(view.get(), "next");
    click(view.get(), "next");
    // No webhook saved and Discord off: it cannot be switched on here.
    EXPECT_FALSE(enabled(view.get(), "discord"));
    EXPECT_FALSE(shown(view.get(), "expiryGroup"));
    rig.model.publishedState().discordWebhookIsSaved = true;
    drainEvents();
    EXPECT_TRUE(enabled(view.get(), "discord")) << "a webhook saved while the step is shown";

    click(view.get(), "next");
    auto* notice = find<NoticeLabel>(view.get(), QStringLiteral("initial-setup.syncNotice"));
    const struct {
        const char* toggle;
        bool shown;
        QString text;
    } sync[] = {{"wifiSync", false, {}},
                {"cloudSync", true, QStringLiteral("通常はWi-Fiを優先し、接続できない場合だけこのPCの同期データへ自動で切り替えます。")},
                {"wifiSync", false, {}},
                {"cloudSync", true, QStringLiteral("iPhone連携はOFFです。このPCだけで利用する場合は、このままで問題ありません。")}};
    for (const auto& row : sync) {
        click(view.get(), row.toggle);
        EXPECT_EQ(notice->isVisibleTo(view.get()), row.shown) << row.toggle;
        if (row.shown) {
            EXPECT_EQ(notice->text(), row.text) << row.toggle;
        }
    }

    click(view.get(), "next");
    EXPECT_FALSE(enabled(view.get(), "remainingPercent"));
    // The tray step says what the tray shows, as the settings page does, and follows the choices.
    auto* trayNote = find<QLabel>(view.get(), QStringLiteral("initial-setup.trayNote"));
    EXPECT_TRUE(trayNote->isVisibleTo(view.get()));
    EXPECT_TRUE(trayNote->text().contains(u"「表示形式」（アイコン/文字）")) << trayNote->text().toStdString();
    click(view.get(), "compactMode");
    EXPECT_TRUE(enabled(view.get(), "remainingPercent"));
    click(view.get(), "remainingPercent");
    drainEvents();
    EXPECT_TRUE(trayNote->text().contains(u"大きなトレイでだけ")) << trayNote->text().toStdString();
    EXPECT_FALSE(view->findChild<QWidget*>(QStringLiteral("menuBarOptions.codex"))->isVisibleTo(view.get()));
    EXPECT_TRUE(view->findChild<QWidget*>(QStringLiteral("menuBarOptions.claude"))->isVisibleTo(view.get()));
}

} // namespace
} // namespace vantorel
