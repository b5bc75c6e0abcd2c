#include "app/platform/KeychainStore.h"

#include "app/platform/KeychainError.h"
#include "support/FakeSecretStore.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using Op = FakeSecretStore::Operation;

const QString service = KeychainStore::discordWebhookURLService;

class KeychainStoreTest : public testing::Test
{
protected:
    std::shared_ptr<FakeSecretStore> secrets = std::make_shared<FakeSecretStore>();
    QStringList lines;
    KeychainStore store{secrets, [this](const QString& line) { lines.append(line); }};
};

TEST_F(KeychainStoreTest, SaveStoresUTF8UnderAccountDefaultAndReplaces)
{
    store.save(QStringLiteral("https://例え.test/1"), service);
    store.save(QStringLiteral("second"), service);
    EXPECT_EQ(secrets->stored(service, QStringLiteral("default")), QByteArray("second"));
    store.save(QStringLiteral("日本"), KeychainStore::openAIAPIKeyService);
    EXPECT_EQ(secrets->stored(KeychainStore::openAIAPIKeyService, QStringLiteral("default")), QStringLiteral("日本").toUtf8());
    EXPECT_EQ(store.readResult(service), SecureValueReadResult::value(QStringLiteral("second")));
}

TEST_F(KeychainStoreTest, WriteFailuresCarryTheStatusInTheirTextButAnAbsentItemDeletes)
{
    secrets->failNext(Op::save, -25299);
    try {
        store.save(QStringLiteral("x"), service);
        FAIL() << "save should have thrown";
    } catch (const KeychainError& error) {
        EXPECT_EQ(error.status(), -25299);
        EXPECT_EQ(error.message(), QStringLiteral("キーリング エラー（コード: -25299）"));
        EXPECT_EQ(error.logText(), QStringLiteral("Keychain エラー（コード: -25299）"));
    }
    EXPECT_FALSE(secrets->stored(service, QStringLiteral("default")).has_value());

    secrets->put(service, QStringLiteral("default"), "kept");
    secrets->failNext(Op::remove, -25291);
    EXPECT_THROW(store.deleteItem(service), KeychainError);
    EXPECT_EQ(secrets->stored(service, QStringLiteral("default")), QByteArray("kept"));

    // Deleting what is not there is no failure.
    secrets->failNext(Op::remove, -25300);
    EXPECT_NO_THROW(store.deleteItem(service));
    store.deleteItem(service);
    EXPECT_FALSE(secrets->stored(service, QStringLiteral("default")).has_value());
    EXPECT_NO_THROW(store.deleteItem(service));
}

struct ReadCase
{
    const char* name;
    std::function<void(FakeSecretStore&)> arrange;
    SecureValueReadResult expected;
    const char* logLine; // nullptr: nothing logged
    bool contains;
};

TEST_F(KeychainStoreTest, ReadsTellMissingFromUnavailable)
{
    const QString account = QStringLiteral("default");
    const std::vector<ReadCase> cases = {
        {"missing", [](FakeSecretStore&) {}, SecureValueReadResult::missing(), nullptr, false},
        {"value", [&](FakeSecretStore& s) { s.put(service, account, "https://a"); },
         SecureValueReadResult::value(QStringLiteral("https://a")), nullptr, true},
        {"emptyValue", [&](FakeSecretStore& s) { s.put(service, account, ""); }, SecureValueReadResult::value({}),
         nullptr, true},
        {"locked",
         [&](FakeSecretStore& s) {
             s.put(service, account, "secret-text");
             s.setLocked(true);
         },
         SecureValueReadResult::temporarilyUnavailable(),
         "keychain.read.unavailable service=vantorel.monitor.discord-webhook-url status=-25308", true},
        {"storeFailure", [](FakeSecretStore& s) { s.failNext(Op::read, -128); },
         SecureValueReadResult::temporarilyUnavailable(),
         "keychain.read.unavailable service=vantorel.monitor.discord-webhook-url status=-128", false},
        {"notUTF8", [&](FakeSecretStore& s) { s.put(service, account, QByteArray("ab\xff\xfe", 4)); },
         SecureValueReadResult::temporarilyUnavailable(),
         "keychain.read.unavailable service=vantorel.monitor.discord-webhook-url reason=invalidData", true},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        secrets = std::make_shared<FakeSecretStore>();
        lines.clear();
        store = KeychainStore(secrets, [this](const QString& line) { lines.append(line); });
        c.arrange(*secrets);
        EXPECT_EQ(store.readResult(service), c.expected);
        EXPECT_EQ(lines, c.logLine ? QStringList{QString::fromUtf8(c.logLine)} : QStringList{});
        EXPECT_EQ(store.contains(service), c.contains);
        EXPECT_FALSE(lines.join(u'\n').contains(QStringLiteral("secret-text"))) << "secrets never reach the log";
    }
}

TEST_F(KeychainStoreTest, ContainsAnswersFalseWhenTheStoreCannotBeAsked)
{
    secrets->put(service, QStringLiteral("default"), "x");
    secrets->failNext(Op::contains, -25291);
    EXPECT_FALSE(store.contains(service));
    EXPECT_TRUE(store.contains(service));
}

} // namespace
} // namespace vantorel
