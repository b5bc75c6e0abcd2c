#include "app/platform/KeychainStore.h"
#include "app/setup/DiscordTestPreviewView.h"
#include "app/ui/DisclosureGroup.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/NoticeLabel.h"
#include "app/ui/SegmentedControl.h"
#include "app/ui/ToggleSwitch.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "app/window/ClaudeRecoveryView.h"
#include "app/window/SettingsBindings.h"
#include "app/window/SettingsPanel.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "core/model/ModelCoding.h"
#include "sync/onboarding/OnboardingProgressStore.h"
#include "support/DrainEvents.h"
#include "support/FakeClaudeCodeCredentialReader.h"
#include "support/FakeSecretStore.h"
#include "support/ManualSleeper.h"
#include "support/ViewModelHarness.h"
#include "support/ViewTest.h"
#include "support/WaitUntil.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLayout>
#include <QRegularExpression>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTest>
#include <QWheelEvent>

namespace vantorel {
namespace {

using Keys = StoredState::Keys;

// Counts the writes of the settings record on their way to the harness's store.
class CountingStore final : public SettingsStore
{
public:
    explicit CountingStore(std::shared_ptr<SettingsStore> inner) : m_inner(std::move(inner)) {}
    std::optional<Value> value(const QString& key) const override { return m_inner->value(key); }
    void set(const QString& key, const Value& value) override
    {
        writes += key == Keys::settings;
        m_inner->set(key, value);
    }
    void remove(const QString& key) override { m_inner->remove(key); }

    int writes = 0;

private:
    std::shared_ptr<SettingsStore> m_inner;
};

const QString webhookPath = QStringLiteral("/api/webhooks/9/t");

class SettingsPanelTest : public ViewTest
{
protected:
    // A view model whose stored settings are `tune`d defaults, and a panel over it.
    void make(const std::function<void(AppSettings&)>& tune = {})
    {
        AppSettings settings;
        if (tune)
            tune(settings);
        harness.defaults->set(Keys::defaultsApplied, true);
        harness.defaults->set(Keys::settings, json::write(toJson(settings), json::Form::store));
        harness.secrets->put(KeychainStore::discordWebhookURLService, KeychainStore::account,
                             QStringLiteral("https://discord.com").toUtf8() + webhookPath.toUtf8());
        AppViewModelDependencies d = harness.dependencies();
        store = std::make_shared<CountingStore>(d.defaults);
        d.defaults = store;
        d.claudeLoginLauncher = [this] { ++logins; return true; };
        d.claudeCodeLauncher = [this] { ++codeLaunches; return true; };
        vm = &harness.makeViewModel(d);
        rebuild();
    }
    void rebuild()
    {
        panel.reset();
        ContentEnvironment environment;
        environment.viewModel = vm;
        environment.sleeper = viewSleeper;
        panel = std::make_unique<SettingsPanel>(environment, Binding<PopoverPage>{[this] { return page; },
                                                                                  [this](PopoverPage p) { page = p; }});
        panel->resize(386, 560);
        settle();
    }
    void settle()
    {
        drainEvents();
        panel->refresh();
    }
    template <typename T = QWidget>
    T* at(const QString& name) const { return find<T>(panel.get(), name); }
    bool shown(const QString& name) const { return at(name)->isVisibleTo(panel.get()); }
    DiscordTestPreviewView* sheet() const { return panel->findChild<DiscordTestPreviewView*>(); }
    // The light and the dark picture of `widget`.
    void grabBoth(QWidget* widget, const QString& name)
    {
        saveGrab(widget, name);
        setDark(true);
        QApplication::processEvents();
        saveGrab(widget, name + QStringLiteral("-dark"));
        setDark(false);
        QApplication::processEvents();
    }
    int posts() const { return int(harness.server.requests(webhookPath).size()); }

    ViewModelHarness harness;
    // The page's own waits, on the view model's clock.
    std::shared_ptr<ManualSleeper> viewSleeper = std::make_shared<ManualSleeper>(harness.clock);
    std::shared_ptr<CountingStore> store;
    AppViewModel* vm = nullptr;
    std::unique_ptr<SettingsPanel> panel;
    PopoverPage page = PopoverPage::settings;
    int logins = 0;
    int codeLaunches = 0;
};

TEST_F(SettingsPanelTest, DefaultsAndEnablingRules)
{
    make();
    // A wheel turned over the stepper while scrolling the page writes nothing.
    const int before = store->writes;
    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(at("settings.warningDays"), &wheel);
    EXPECT_EQ(at<QSpinBox>("settings.warningDays")->value(), 3);
    EXPECT_EQ(store->writes, before);
    for (const char* name : {"settings.claudeStatusEnabled", "settings.claudeUsageAutoRefresh"}) {
        EXPECT_TRUE(at<ToggleSwitch>(name)->isChecked()) << name;
        EXPECT_FALSE(at(name)->isEnabled()) << name;
    }
    EXPECT_FALSE(at<ToggleSwitch>("settings.menuBarPercentage")->isChecked());
    EXPECT_FALSE(at("settings.menuBarPercentage")->isEnabled());
    EXPECT_TRUE(at<QLabel>("settings.menuBarTrayNote")->text().startsWith("トレイでは各サービス1つの円と"));
    EXPECT_FALSE(at("menuBarOptions.claude")->isEnabled());
    EXPECT_FALSE(at("settings.categories.local.claude")->isEnabled());
    EXPECT_FALSE(at("settings.discordNotifications")->isEnabled());
    EXPECT_FALSE(at("claudeAutomaticRecovery.switch")->isEnabled());
    EXPECT_FALSE(shown("settings.openNotificationSettings"));
    EXPECT_EQ(at<QLabel>("settings.guide.status")->text(), "未確認");
    for (const auto& [block, count] : {std::pair{"settings.categories.discord.codex", 5}, {"settings.categories.local.claude", 3}})
        EXPECT_EQ(at(block)->findChildren<ToggleSwitch*>().size(), count) << block;

    AppSettings settings = vm->settings();
    settings.claudeEnabled = true;
    settings.bankedResetExpiryNotificationsEnabled = false;
    vm->setSettings(settings);
    vm->publishedState().discordWebhookIsSaved = true;
    vm->publishedState().notificationAuthorizationState = AppNotificationAuthorizationState::denied;
    settle();
    EXPECT_TRUE(at("claudeAutomaticRecovery.switch")->isEnabled());
    EXPECT_TRUE(at("settings.discordNotifications")->isEnabled());
    EXPECT_FALSE(at("settings.categories.discord.codex.couponExpiry")->isEnabled());
    EXPECT_FALSE(at("settings.warningDays")->isEnabled());
    EXPECT_TRUE(shown("settings.openNotificationSettings"));
    settings.claudeUsageAutoRefreshEnabled = false;
    vm->setSettings(settings);
    settle();
    EXPECT_FALSE(at("claudeAutomaticRecovery.switch")->isEnabled());
}

TEST_F(SettingsPanelTest, EachControlWritesOnlyItsField)
{
    make([](AppSettings& s) {
        s.claudeEnabled = true;
        s.menuBarCompactMode = false;
        s.discordResetNotificationsEnabled = true;
    });
    vm->publishedState().discordWebhookIsSaved = true;
    settle();
    struct Row
    {
        const char* control;
        std::function<void(AppSettings&)> change;
    };
    const auto local = NotificationChannel::local;
    const Row rows[] = {
        {"settings.codexCLIAutoRefresh", [](AppSettings& s) { s.codexCLIAutoRefreshEnabled = false; }},
        {"claudeAutomaticRecovery.switch", [](AppSettings& s) { s.claudeAuthenticationAutoRecoveryEnabled = true; }},
        {"settings.claudeStatusEnabled", [](AppSettings& s) { s.claudeStatusEnabled = false; }},
        {"settings.claudeUsageAutoRefresh", [](AppSettings& s) { s.claudeUsageAutoRefreshEnabled = false; }},
        {"settings.launchAtLogin", [](AppSettings& s) { s.launchAtLogin = false; }},
        {"settings.categories.local.codex.lowBalance",
         [local](AppSettings& s) { s.setNotificationCategory(NotificationCategory::lowBalance, MonitoredProvider::codex, local, false); }},
        {"settings.categories.discord.claude.serviceIncidents",
         [](AppSettings& s) { s.setNotificationCategory(NotificationCategory::serviceIncidents, MonitoredProvider::claude, NotificationChannel::discord, true); }},
        {"settings.notifications", [](AppSettings& s) { s.notificationsEnabled = false; }},
        {"settings.discordNotifications", [](AppSettings& s) { s.discordResetNotificationsEnabled = false; }},
        {"settings.warningDays", [](AppSettings& s) { s.setBankedResetExpiryWarningDays(7); }},
        {"settings.bankedResetExpiry", [](AppSettings& s) { s.bankedResetExpiryNotificationsEnabled = false; }},
        {"settings.menuBarPercentage", [](AppSettings& s) { s.menuBarGaugeLabelStyle = MenuBarGaugeLabelStyle::remainingPercent; }},
        {"settings.menuBarCompact", [](AppSettings& s) { s.menuBarCompactMode = true; }},
        {"menuBarOptions.codex.fiveHour", [](AppSettings& s) { s.showCodexFiveHourInMenuBar = false; }},
        {"menuBarOptions.claude.weekly", [](AppSettings& s) { s.showClaudeWeeklyInMenuBar = false; }},
        {"menuBarOptions.claude.identity/segment.1", [](AppSettings& s) { s.claudeMenuBarIdentityStyle = MenuBarProviderIdentityStyle::text; }},
        {"backgroundMonitoringEnabled", [](AppSettings& s) { s.backgroundMonitoringEnabled = false; }},
        {"refreshPreferences.common.picker/segment.0", [](AppSettings& s) { s.refreshIntervalSeconds = 60; }},
        {"refreshPreferences.mode/segment.1", [](AppSettings& s) { s.usesSeparateRefreshIntervals = true; }},
        {"settings.claudeEnabled", [](AppSettings& s) { s.claudeEnabled = false; }},
        {"settings.codexEnabled", [](AppSettings& s) { s.codexEnabled = false; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.control);
        AppSettings expected = vm->settings();
        row.change(expected);
        const int before = store->writes;
        const QStringList path = QString::fromUtf8(row.control).split('/');
        if (auto* spin = qobject_cast<QSpinBox*>(at(path.first())))
            spin->setValue(7);
        else
            find<QAbstractButton>(path.size() == 2 ? at(path.first()) : panel.get(), path.last())->click();
        EXPECT_EQ(store->writes - before, 1);
        EXPECT_EQ(vm->settings(), expected);
        settle();
    }
    EXPECT_EQ(at<QLabel>("settings.warningDaysLabel")->text(), "有効期限の7日前");
}

TEST_F(SettingsPanelTest, EveryoneToggleAndWarningDaysClamp)
{
    make([](AppSettings& s) {
        s.discordResetNotificationsEnabled = true;
        s.discordMentionMigratedFromLegacy = true;
    });
    EXPECT_EQ(at<QLabel>("settings.everyoneNote")->text(), "全員通知はONです。以前のDiscord設定を引き継いでいます。");
    const int before = store->writes;
    at<QAbstractButton>("settings.discordMentionEveryone")->click();
    EXPECT_EQ(store->writes - before, 2);
    EXPECT_EQ(vm->settings().discordMentionEveryone, true);
    EXPECT_FALSE(vm->settings().discordMentionMigratedFromLegacy);
    settle();
    EXPECT_FALSE(shown("settings.everyoneNote"));

    const Binding<AppSettings> settings{[this] { return vm->settings(); }, [this](AppSettings s) { vm->setSettings(s); }};
    const auto days = SettingsBindings::bankedResetExpiryWarningDays(settings);
    days.set(0);
    EXPECT_EQ(vm->settings().bankedResetExpiryWarningDays(), 1);
    days.set(31);
    EXPECT_EQ(vm->settings().bankedResetExpiryWarningDays(), 30);
}

TEST_F(SettingsPanelTest, ClaudeRecoveryAndPlainTextLines)
{
    make([](AppSettings& s) { s.claudeEnabled = true; });
    EXPECT_FALSE(shown("claude-recovery"));
    vm->publishedState().claudeUsageFailure = ClaudeUsageFailure::credentialExpired;
    vm->publishedState().claudeUsageErrorMessage = QStringLiteral("<b>x</b>");
    vm->publishedState().lastErrorMessage = QStringLiteral("<b>y</b>");
    vm->publishedState().apiRateErrorMessage = QStringLiteral("<b>x</b>");
    settle();
    ASSERT_TRUE(shown("claude-recovery"));
    for (const QLabel* label : {static_cast<QLabel*>(at<QLabel>("claude-recovery.message")), static_cast<QLabel*>(at<LineLimitedLabel>("settings.error"))}) {
        EXPECT_TRUE(label->text().startsWith("<b>"));
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
    EXPECT_TRUE(shown("settings.error"));
    grabBoth(at("settings.content"), QStringLiteral("settings-credentialExpired"));

    harness.claudeCredentials->setPayload(R"({"claudeAiOauth":{"accessToken":"tok","expiresAt":1000}})");
    at<QAbstractButton>("claude-recovery.login")->click();
    EXPECT_TRUE(waitUntil([this] { return logins == 1; }));
    EXPECT_EQ(codeLaunches, 0);

    AppSettings off = vm->settings();
    off.claudeEnabled = false;
    vm->setSettings(off);
    settle();
    EXPECT_FALSE(shown("claude-recovery"));
}

TEST_F(SettingsPanelTest, TestSheetSendsOnlyOnConfirm)
{
    make();
    harness.server.enqueue(webhookPath, TestHttpResponse::json(R"({"id":"1"})"));
    vm->sendDiscordTestNotification();
    settle();
    ASSERT_TRUE(sheet());
    EXPECT_EQ(sheet()->width(), DiscordTestPreviewView::sheetWidth);
    EXPECT_EQ(sheet()->minimumSize(), sheet()->maximumSize()) << "one size: nothing to resize or maximise";
    EXPECT_FALSE(sheet()->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint));
    expectSheetButtonRow(sheet(), at("discordTestPreview.cancel"), at("discordTestPreview.confirm"));
    grabBoth(sheet(), QStringLiteral("settings-sheet"));
    QTest::keyClick(sheet(), Qt::Key_Escape);
    settle();
    EXPECT_FALSE(vm->discordTestPreview());
    EXPECT_FALSE(sheet() && sheet()->isVisible());

    vm->sendDiscordTestNotification();
    settle();
    ASSERT_TRUE(sheet());
    QTest::keyClick(sheet(), Qt::Key_Return);
    settle();
    EXPECT_TRUE(vm->discordTestPreview());
    at<QAbstractButton>("discordTestPreview.confirm")->click();
    EXPECT_TRUE(waitUntil([this] { return posts() == 1 && !vm->isSendingDiscordTest(); }));
    settle();
    EXPECT_FALSE(vm->discordTestPreview());
    EXPECT_FALSE(sheet() && sheet()->isVisible());
    EXPECT_EQ(posts(), 1);
}

TEST_F(SettingsPanelTest, DiscordRetryLineLeavesWhenTheHoldEndsWithOneWait)
{
    make();
    vm->publishedState().discordServerRetryNotBefore = harness.clock.now() + 90;
    settle();
    settle();
    EXPECT_TRUE(shown("settings.discordRetry"));
    EXPECT_EQ(viewSleeper->pendingCount(), 1);

    viewSleeper->advance(89);
    settle();
    EXPECT_TRUE(shown("settings.discordRetry"));
    // The hold ends: the line goes without any other change, and nothing waits any more.
    viewSleeper->advance(1);
    EXPECT_FALSE(shown("settings.discordRetry"));
    EXPECT_EQ(viewSleeper->pendingCount(), 0);

    // A later hold shows the line again; one that has already ended does not.
    vm->publishedState().discordServerRetryNotBefore = harness.clock.now() + 30;
    settle();
    EXPECT_TRUE(shown("settings.discordRetry"));
    vm->publishedState().discordServerRetryNotBefore = harness.clock.now() - 1;
    settle();
    EXPECT_FALSE(shown("settings.discordRetry"));
    EXPECT_EQ(viewSleeper->pendingCount(), 0);
}

TEST_F(SettingsPanelTest, NamesThisPlatformsThingsAndSaysOnceWhenNoSecretServiceRuns)
{
    using Op = FakeSecretStore::Operation;
    make();
    // Every text, help and accessible name on the page, the disclosed groups included.
    for (auto* group : panel->findChildren<DisclosureGroup*>())
        group->setExpanded(true);
    const QRegularExpression otherPlatform(QStringLiteral("Mac(?![A-Za-z])|macOS|Keychain|キーチェーン|メニューバー|Terminal"));
    for (const QWidget* widget : panel->findChildren<QWidget*>()) {
        QStringList texts{widget->toolTip(), widget->accessibleName()};
        if (auto* label = qobject_cast<const QLabel*>(widget))
            texts.append(label->text());
        if (auto* button = qobject_cast<const QAbstractButton*>(widget))
            texts.append(button->text());
        for (const QString& text : texts)
            EXPECT_FALSE(text.contains(otherPlatform)) << widget->objectName().toStdString() << ": " << text.toStdString();
    }
    EXPECT_EQ(at<ToggleSwitch>("settings.launchAtLogin")->text(), "ログイン時に自動起動");
    EXPECT_EQ(at<ToggleSwitch>("settings.notifications")->text(), "デスクトップ通知");
    EXPECT_FALSE(shown("settings.secretStoreMissing"));

    // The start-up check finds no secret service: one notice, near the top, until one answers.
    harness.secrets->failNext(Op::read, SecretStore::Status::notAvailable);
    QCoro::waitFor(vm->refreshKeychainSavedState());
    settle();
    EXPECT_TRUE(shown("settings.secretStoreMissing"));
    EXPECT_EQ(at<NoticeLabel>("settings.secretStoreMissing")->text(),
              "キーリング（Secret Service）が動いていません。Discord Webhook URL、API Key、iPhoneの接続情報を"
              "保存できないため、Discord通知、API Keyによる取得、Wi-Fi連携は使えません。");
    const QLayout* column = at("settings.content")->layout();
    EXPECT_EQ(column->indexOf(at("settings.secretStoreMissing")), column->indexOf(at("settings.header")) + 1);
    EXPECT_EQ(panel->findChildren<NoticeLabel*>(QStringLiteral("settings.secretStoreMissing")).size(), 1);
    grabBoth(at("settings.content"), QStringLiteral("settings-noSecretService"));
    QCoro::waitFor(vm->refreshKeychainSavedState());
    settle();
    EXPECT_FALSE(shown("settings.secretStoreMissing"));
}

TEST_F(SettingsPanelTest, EntryOrderFlowsAndRebuild)
{
    make();
    QStringList names;
    for (const QWidget* entry : panel->entries())
        names.append(entry->objectName());
    EXPECT_EQ(names.join(' '), "settings.header settings.guide settings.setup settings.sync settings.cloudSync "
                               "settings.services settings.automaticFetch settings.app settings.launchAtLoginMessage "
                               "settings.refreshPreferences settings.menuBar settings.actions settings.claudeLine "
                               "settings.error settings.discord settings.discordMessage settings.discordAttention "
                               "settings.discordRetry settings.discordQueue settings.targets settings.advanced");
    for (const char* group : {"settings.categories.local", "settings.targets"})
        at<DisclosureGroup>(group)->setExpanded(true);
    grabBoth(at("settings.content"), QStringLiteral("settings-defaults"));

    vm->onboardingStore().begin();
    vm->onboardingStore().move(2);
    vm->setOnboardingProgress(vm->onboardingStore().deferPresentation());
    settle();
    EXPECT_EQ(at<QLabel>("settings.guide.status")->text(), "途中（3/9）");
    EXPECT_EQ(at<QPushButton>("settings.guide.open")->text(), "続きから見る");
    EXPECT_TRUE(shown("settings.guide.restart"));
    at<QAbstractButton>("settings.guide.open")->click();
    EXPECT_EQ(page, PopoverPage::setup);
    EXPECT_EQ(vm->onboardingProgress().currentStep, 2);

    at<DisclosureGroup>("settings.advanced")->setExpanded(true);
    rebuild();
    EXPECT_FALSE(at<DisclosureGroup>("settings.advanced")->isExpanded());
}

} // namespace
} // namespace vantorel
