#include "app/platform/KeychainError.h"
#include "app/platform/KeychainStore.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "support/FakeSecretStore.h"
#include "support/QtPrinters.h"
#include "support/ViewModelHarness.h"
#include "support/WaitUntil.h"

#include <QSemaphore>

#include <gtest/gtest.h>

#include <functional>

namespace vantorel {
namespace {

const QString webhookURL = QStringLiteral("https://discord.com/api/webhooks/123/tok");

// Existence checks wait until the test lets them go, as a slow keyring would.
class BlockingSecretStore final : public FakeSecretStore
{
public:
    bool contains(const QString& service, const QString& account) override
    {
        gate.acquire();
        gate.release();
        return FakeSecretStore::contains(service, account);
    }
    QSemaphore gate;
};

struct KeychainCase
{
    const char* name;
    // Settings as stored: Discord switch and whether the mention choice was settled.
    bool discordOn;
    std::function<void(FakeSecretStore&)> secrets;
    std::optional<bool> mention;
    bool migrated;
    bool webhookSaved;
    bool apiKeySaved;
};

TEST(KeychainCheck, SettlesTheMentionChoice)
{
    const auto putWebhook = [](FakeSecretStore& s) {
        s.put(KeychainStore::discordWebhookURLService, KeychainStore::account, webhookURL.toUtf8());
    };
    const KeychainCase cases[] = {
        {"no webhook: settled off", true, [](FakeSecretStore&) {}, false, false, false, false},
        {"valid webhook with Discord on: settled on", true,
         [&](FakeSecretStore& s) {
             putWebhook(s);
             s.put(KeychainStore::openAIAPIKeyService, KeychainStore::account, "sk");
         },
         true, true, true, true},
        {"invalid webhook: settled off", true,
         [](FakeSecretStore& s) { s.put(KeychainStore::discordWebhookURLService, KeychainStore::account, "https://example.com/x"); },
         false, false, true, false},
        {"locked with nothing cached: settings untouched", true,
         [&](FakeSecretStore& s) {
             putWebhook(s);
             s.setLocked(true);
         },
         std::nullopt, false, true, false},
    };
    for (const KeychainCase& c : cases) {
        SCOPED_TRACE(c.name);
        ViewModelHarness harness;
        AppSettings settings;
        settings.discordResetNotificationsEnabled = c.discordOn;
        Json stored = toJson(settings);
        stored.erase("discordMentionEveryone");
        harness.defaults->set(StoredState::Keys::defaultsApplied, true);
        harness.defaults->set(StoredState::Keys::settings, json::write(stored, json::Form::store));
        c.secrets(*harness.secrets);
        AppViewModel& vm = harness.makeViewModel();
        ASSERT_FALSE(vm.settings().discordMentionEveryone);
        QCoro::waitFor(vm.refreshKeychainSavedState());
        EXPECT_EQ(vm.settings().discordMentionEveryone, c.mention);
        EXPECT_EQ(vm.settings().discordMentionMigratedFromLegacy, c.migrated);
        EXPECT_EQ(vm.discordWebhookIsSaved(), c.webhookSaved);
        EXPECT_EQ(vm.apiKeyIsSaved(), c.apiKeySaved);
        const auto persisted = vm.storedState().codable(StoredState::Keys::settings, &appSettingsFromJson);
        EXPECT_EQ(persisted->discordMentionEveryone, c.mention);
    }
}

TEST(KeychainCheck, TheEventLoopTurnsWhileTheStoreBlocks)
{
    ViewModelHarness harness;
    auto blocking = std::make_shared<BlockingSecretStore>();
    harness.keychainStore = std::make_shared<KeychainStore>(blocking, [](const QString&) {});
    AppViewModel& vm = harness.makeViewModel();
    vm.startTask([&vm] { return vm.refreshKeychainSavedState(); });
    bool turned = false;
    QMetaObject::invokeMethod(&vm, [&turned] { turned = true; }, Qt::QueuedConnection);
    EXPECT_TRUE(waitUntil([&] { return turned; }));
    EXPECT_TRUE(harness.logLines().isEmpty());
    blocking->gate.release();
    EXPECT_TRUE(waitUntil([&] { return !harness.logLines(QStringLiteral("keychain.")).isEmpty(); }));
}

TEST(KeychainCheck, NoSecretServiceIsNotedWithoutAskingItAnythingMore)
{
    using Op = FakeSecretStore::Operation;
    ViewModelHarness harness;
    AppViewModel& vm = harness.makeViewModel();
    harness.secrets->failNext(Op::read, SecretStore::Status::notAvailable);
    const int reads = harness.secrets->callCount(Op::read);
    const int contains = harness.secrets->callCount(Op::contains);
    QCoro::waitFor(vm.refreshKeychainSavedState());
    EXPECT_TRUE(vm.secretStoreUnavailable());
    EXPECT_FALSE(vm.apiKeyIsSaved() || vm.discordWebhookIsSaved());
    EXPECT_EQ(harness.secrets->callCount(Op::read), reads + 1);
    EXPECT_EQ(harness.secrets->callCount(Op::contains), contains);

    // A locked or failing store is not a missing one.
    harness.secrets->failNext(Op::read, SecretStore::Status::interactionNotAllowed);
    QCoro::waitFor(vm.refreshKeychainSavedState());
    EXPECT_FALSE(vm.secretStoreUnavailable());
}

TEST(KeychainCheck, AKeychainFailureNamesTheKeyringOnScreenAndKeepsItsLogLine)
{
    ViewModelHarness harness;
    AppViewModel& vm = harness.makeViewModel();
    harness.scriptCodexFailure(std::make_exception_ptr(KeychainError::unhandled(-25299)));
    QCoro::waitFor(vm.refreshCodexCLIUsage());
    EXPECT_EQ(vm.codexCLIErrorMessage(), QStringLiteral("キーリング エラー（コード: -25299）"));
    EXPECT_EQ(harness.logLines(QStringLiteral("refreshCodexCLIUsage.error ")),
              QStringList{QStringLiteral("refreshCodexCLIUsage.error Keychain エラー（コード: -25299）")});
}

} // namespace
} // namespace vantorel
