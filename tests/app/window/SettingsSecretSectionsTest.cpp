#include "app/platform/KeychainStore.h"
#include "app/ui/DisclosureGroup.h"
#include "app/ui/ToggleSwitch.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/window/AdvancedSettingsSection.h"
#include "app/window/DiscordWebhookSection.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "support/DrainEvents.h"
#include "support/FakeSecretStore.h"
#include "support/FakeUrlOpener.h"
#include "support/ViewModelHarness.h"
#include "support/ViewTest.h"
#include "support/WaitUntil.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace vantorel {
namespace {

const QString webhook = QStringLiteral("https://discord.com/api/webhooks/123/tok");
const QString apiKey = QStringLiteral("sk-secret-key");

// Tells when the settings record is written.
struct RecordingStore final : SettingsStore {
    std::optional<Value> value(const QString& key) const override { return inner.value(key); }
    void set(const QString& key, const Value& value) override
    {
        inner.set(key, value);
        if (key == QStringLiteral("Vantorel.settings") && onSettingsWrite)
            onSettingsWrite();
    }
    void remove(const QString& key) override { inner.remove(key); }
    InMemorySettingsStore inner;
    std::function<void()> onSettingsWrite;
};

class SettingsSecretSectionsTest : public ViewTest
{
protected:
    AppViewModel& makeModel()
    {
        AppViewModelDependencies dependencies = harness.dependencies();
        dependencies.defaults = store;
        return harness.makeViewModel(std::move(dependencies));
    }
    // Types `text` into the field `name` and presses `button`.
    static void submit(QWidget* root, const QString& name, const QString& text, const QString& button)
    {
        if (!name.isEmpty())
            find<QLineEdit>(root, name)->setText(text);
        find<QAbstractButton>(root, button)->click();
        drainEvents();
    }
    // The advanced section in its disclosure group, opened, as the settings page shows it.
    static AdvancedSettingsSection* expandAdvanced(DisclosureGroup& group, AppViewModel& model)
    {
        auto* advanced = new AdvancedSettingsSection(model);
        group.setContent(advanced);
        group.setExpanded(true);
        return advanced;
    }
    void changeSettings(const std::function<void(AppSettings&)>& change)
    {
        AppSettings settings = harness.viewModel().settings();
        change(settings);
        harness.viewModel().setSettings(settings);
        drainEvents();
    }

    ViewModelHarness harness;
    std::shared_ptr<RecordingStore> store = std::make_shared<RecordingStore>();
};

TEST_F(SettingsSecretSectionsTest, DiscordButtonsFollowTheStoredWebhook)
{
    AppViewModel& model = makeModel();
    DiscordWebhookSection section(model);
    auto* url = find<QLineEdit>(&section, "discord.webhookURL");
    auto* test = find<QAbstractButton>(&section, "discord.test");
    auto* remove = find<QAbstractButton>(&section, "discord.delete");
    EXPECT_EQ(url->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(test->isEnabled() || remove->isEnabled());

    submit(&section, "discord.webhookURL", webhook, "discord.save");
    ASSERT_TRUE(waitUntil([&] { return model.discordWebhookIsSaved(); }));
    drainEvents();
    EXPECT_TRUE(url->text().isEmpty()) << "a saved URL leaves the field";
    EXPECT_TRUE(test->isEnabled() && remove->isEnabled());
    submit(&section, "discord.webhookURL", "https://discord.com/api/webhook/typo", "discord.save");
    drainEvents();
    EXPECT_EQ(url->text(), "https://discord.com/api/webhook/typo") << "a refused URL stays to be corrected";
    EXPECT_EQ(model.discordWebhookMessage(), "Discord Webhook URLの形式を確認してください。");
    EXPECT_TRUE(harness.secrets->stored(KeychainStore::discordWebhookURLService, KeychainStore::account));
    model.publishedState().isSendingDiscordTest = true;
    drainEvents();
    EXPECT_FALSE(test->isEnabled());
    model.publishedState().isSendingDiscordTest = false;
    for (const bool dark : {false, true}) {
        setDark(dark);
        show(&section);
        expectButtonsFit(&section);
        saveGrab(&section, dark ? "discord-section-dark" : "discord-section-light");
    }

    changeSettings([](AppSettings& s) { s.discordResetNotificationsEnabled = true; });
    submit(&section, {}, {}, "discord.delete");
    ASSERT_TRUE(waitUntil([&] { return !model.discordWebhookIsSaved(); }));
    EXPECT_FALSE(model.settings().discordResetNotificationsEnabled);
}

// Without a secret service nothing can be typed or pressed, and one line says why; a locked
// keyring keeps everything enabled, and a save it refuses keeps what was typed.
TEST_F(SettingsSecretSectionsTest, NoSecretServiceDisablesTheSecretFieldsAndAFailedSaveKeepsTheText)
{
    using Op = FakeSecretStore::Operation;
    AppViewModel& model = makeModel();
    DisclosureGroup group(QStringLiteral("詳細"));
    AdvancedSettingsSection* advanced = expandAdvanced(group, model);
    DiscordWebhookSection discord(model);
    const QStringList discordControls{"discord.webhookURL", "discord.save", "discord.test", "discord.delete"};
    const QStringList keyControls{"advanced.apiKey", "advanced.saveAPIKey", "advanced.deleteAPIKey"};
    const auto enabledControls = [&] {
        QStringList enabled;
        for (const QString& name : discordControls)
            if (find<QWidget>(&discord, name)->isEnabled())
                enabled << name;
        for (const QString& name : keyControls)
            if (find<QWidget>(advanced, name)->isEnabled())
                enabled << name;
        return enabled;
    };
    auto* webhookWhy = find<QLabel>(&discord, "discord.secretStoreMissing");
    auto* keyWhy = find<QLabel>(advanced, "advanced.secretStoreMissing");

    harness.secrets->failNext(Op::read, SecretStore::Status::notAvailable);
    QCoro::waitFor(model.refreshKeychainSavedState());
    drainEvents();
    show(&discord);
    show(&group);
    EXPECT_EQ(enabledControls(), QStringList());
    EXPECT_TRUE(webhookWhy->isVisible() && keyWhy->isVisible());
    EXPECT_EQ(webhookWhy->text(), "キーリングが動いていないため、Discord Webhook URLを保存できません。");
    EXPECT_EQ(keyWhy->text(), "キーリングが動いていないため、API Keyを保存できません。");
    for (const bool dark : {false, true}) {
        setDark(dark);
        saveGrab(&discord, dark ? "discord-no-keyring-dark" : "discord-no-keyring-light");
        saveGrab(&group, dark ? "advanced-no-keyring-dark" : "advanced-no-keyring-light");
    }
    setDark(false);
    // A send that finds no keyring says so, with nothing to unlock.
    model.publishedState().discordWebhookIsSaved = true;
    harness.secrets->failNext(Op::read, SecretStore::Status::notAvailable);
    QCoro::waitFor(model.sendDiscordMessage(QStringLiteral("x"), false, std::nullopt, false));
    EXPECT_EQ(model.discordWebhookMessage(), "キーリングが動いていないため、Discordへ送信できません。");

    // The service answers again, locked: fields come back, and a refused save keeps the URL.
    QCoro::waitFor(model.refreshKeychainSavedState());
    drainEvents();
    EXPECT_TRUE(enabledControls().contains("discord.save") && enabledControls().contains("advanced.saveAPIKey"));
    EXPECT_FALSE(webhookWhy->isVisible() || keyWhy->isVisible());
    harness.secrets->setLocked(true);
    submit(&discord, "discord.webhookURL", webhook, "discord.save");
    ASSERT_TRUE(waitUntil([&] { return model.discordWebhookMessage() == "Webhookを保存できません。キーリングの許可を確認してください。"; }));
    drainEvents();
    EXPECT_EQ(find<QLineEdit>(&discord, "discord.webhookURL")->text(), webhook);
    submit(advanced, "advanced.apiKey", apiKey, "advanced.saveAPIKey");
    ASSERT_TRUE(waitUntil([&] { return model.apiKeyMessage().has_value(); }));
    EXPECT_EQ(model.apiKeyMessage(), QStringLiteral("キーリング エラー（コード: -25308）"));
    drainEvents();
    EXPECT_EQ(find<QLineEdit>(advanced, "advanced.apiKey")->text(), apiKey);
    EXPECT_FALSE(model.secretStoreUnavailable());

    // A save that finds the service gone turns the fields off too.
    harness.secrets->setLocked(false);
    harness.secrets->failNext(Op::save, SecretStore::Status::notAvailable);
    submit(&discord, {}, {}, "discord.save");
    ASSERT_TRUE(waitUntil([&] { return model.secretStoreUnavailable(); }));
    drainEvents();
    EXPECT_EQ(model.discordWebhookMessage(), webhookWhy->text());
    EXPECT_EQ(find<QLineEdit>(&discord, "discord.webhookURL")->text(), webhook);
    EXPECT_EQ(enabledControls(), QStringList());
}

TEST_F(SettingsSecretSectionsTest, AdvancedFieldsKeyAndServiceNames)
{
    AppViewModel& model = makeModel();
    auto section = std::make_unique<AdvancedSettingsSection>(model);
    for (const QString text : {"/opt/codex", "/opt/c", ""}) {
        for (const QString name : {"advanced.codexPath", "advanced.apiModel"})
            emit find<QLineEdit>(section.get(), name)->textEdited(text);
        EXPECT_EQ(model.settings().codexCLIExecutablePath, text);
        EXPECT_EQ(model.settings().apiRateModel, text);
    }

    auto* rate = find<ToggleSwitch>(section.get(), "advanced.apiRate");
    EXPECT_EQ(find<QLineEdit>(section.get(), "advanced.apiKey")->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(rate->isEnabled());
    submit(section.get(), "advanced.apiKey", " \t" + apiKey + "  ", "advanced.saveAPIKey");
    ASSERT_TRUE(waitUntil([&] { return model.apiKeyIsSaved(); }));
    EXPECT_EQ(harness.secrets->stored(KeychainStore::openAIAPIKeyService, KeychainStore::account), apiKey.toUtf8());
    changeSettings([](AppSettings& s) { s.codexEnabled = false; });
    EXPECT_FALSE(rate->isEnabled());
    changeSettings([](AppSettings& s) { s.codexEnabled = s.apiRateAutoRefreshEnabled = true; });
    EXPECT_TRUE(rate->isEnabled() && rate->isChecked());
    EXPECT_TRUE(find<QLineEdit>(section.get(), "advanced.apiKey")->text().isEmpty()) << "a saved key leaves the field";
    submit(section.get(), "advanced.apiKey", "   ", "advanced.saveAPIKey");
    ASSERT_TRUE(waitUntil([&] { return model.apiKeyMessage() == "API Key が空です。"; }));
    EXPECT_EQ(find<QLineEdit>(section.get(), "advanced.apiKey")->text(), "   ");
    EXPECT_FALSE(model.activeErrorMessages().contains("API Key が空です。"));

    QList<AppSettings> written;
    store->onSettingsWrite = [&] { written.append(model.settings()); };
    find<QPlainTextEdit>(section.get(), "advanced.codexComponentNames")->setPlainText("A\n\n  B  \nA");
    find<QPlainTextEdit>(section.get(), "advanced.claudeComponentNames")->setPlainText("");
    submit(section.get(), {}, {}, "advanced.saveComponentNames");
    ASSERT_EQ(written.size(), 2);
    EXPECT_EQ(written[0].componentNames, (QStringList{"A", "B", "A"}));
    EXPECT_FALSE(written[0].claudeComponentNames.isEmpty());
    EXPECT_TRUE(written[1].claudeComponentNames.isEmpty());
    section = std::make_unique<AdvancedSettingsSection>(model);
    EXPECT_EQ(find<QPlainTextEdit>(section.get(), "advanced.codexComponentNames")->toPlainText(), "A\nB\nA");

    submit(section.get(), {}, {}, "advanced.deleteAPIKey");
    ASSERT_TRUE(waitUntil([&] { return !model.apiKeyIsSaved(); }));
    EXPECT_FALSE(model.settings().apiRateAutoRefreshEnabled);
}

TEST_F(SettingsSecretSectionsTest, SecretsStayOutOfTheSettingsAndTheLogAndMessagesArePlainText)
{
    AppViewModel& model = makeModel();
    DisclosureGroup group(QStringLiteral("詳細"));
    AdvancedSettingsSection* advanced = expandAdvanced(group, model);
    DiscordWebhookSection discord(model);
    submit(advanced, "advanced.apiKey", apiKey, "advanced.saveAPIKey");
    submit(&discord, "discord.webhookURL", webhook, "discord.save");
    ASSERT_TRUE(waitUntil([&] { return model.apiKeyIsSaved() && model.discordWebhookIsSaved(); }));
    changeSettings([](AppSettings& s) { s.codexEnabled = !s.codexEnabled; });
    const auto json = store->inner.dataValue(QStringLiteral("Vantorel.settings")).value_or(QByteArray());
    ASSERT_FALSE(json.isEmpty());
    for (const QString& secret : {apiKey, webhook}) {
        EXPECT_FALSE(json.contains(secret.toUtf8()));
        EXPECT_FALSE(harness.logLines().join(u'\n').contains(secret));
    }

    model.publishedState().apiKeyMessage = QStringLiteral("<b>x</b>");
    drainEvents();
    auto* message = find<QLabel>(advanced, "advanced.apiKeyMessage");
    EXPECT_EQ(message->textFormat(), Qt::PlainText);
    EXPECT_EQ(message->text(), "<b>x</b>");
    submit(advanced, {}, {}, "advanced.openLog");
    EXPECT_EQ(harness.urlOpener->opened.size(), 1);
    for (const bool dark : {false, true}) {
        setDark(dark);
        show(&group);
        expectNoMissingGlyphs(&group);
        expectButtonsFit(&group);
        saveGrab(&group, dark ? "advanced-settings-dark" : "advanced-settings-light");
    }
}

} // namespace
} // namespace vantorel
