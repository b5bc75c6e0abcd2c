#include "sync/model/SyncCoding.h"
#include "sync/model/UsageSyncError.h"

#include <gtest/gtest.h>

using namespace vantorel;
using Code = UsageSyncError::Code;

TEST(UsageSyncErrorTest, EveryCaseHasItsFixedMessageAndRoundTrips)
{
    const std::vector<std::pair<Code, const char*>> table = {
        {Code::invalidData, "同期データを確認できませんでした。"},
        {Code::unsupportedVersion, "対応していない同期形式です。両方のアプリを更新してください。"},
        {Code::wrongHost, "登録したMacと送信元が異なります。"},
        {Code::olderSnapshot, "古い同期データのため、現在の表示を維持しました。"},
        {Code::invitationExpired, "接続コードの有効期限が切れました。"},
        {Code::pairingRejected, "Macで接続が承認されませんでした。"},
        {Code::pairingBusy, "別の接続を確認中です。"},
        {Code::notPaired, "Macとの登録が解除されています。"},
        {Code::unavailable, "Macに接続できません。同じネットワークと連携設定を確認してください。"},
        {Code::timedOut, "接続がタイムアウトしました。"},
        {Code::cancelled, "接続を中止しました。"},
        {Code::keychainFailure, "接続情報を安全に保存できませんでした。"},
        {Code::localNetworkDenied, "ローカルネットワークが許可されていません。端末の設定を確認して再試行してください。"},
        {Code::authenticationFailed,
         "Macとの接続を認証できませんでした。Mac側の登録を確認し、必要なら接続し直してください。"},
    };
    ASSERT_EQ(table.size(), UsageSyncError::allCodes.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto [code, message] = table[i];
        EXPECT_EQ(UsageSyncError::allCodes[i], code);
        const UsageSyncError error(code);
        EXPECT_EQ(error.message(), QString::fromUtf8(message));
        EXPECT_STREQ(error.what(), message);

        const QByteArray encoded = SyncCoding::encode(error);
        EXPECT_EQ(encoded, "{\"" + rawValue(code).toLatin1() + "\":{}}");
        EXPECT_EQ(SyncCoding::decode<UsageSyncError>(encoded), error);
        EXPECT_EQ(usageSyncErrorCodeFromRaw(rawValue(code)), code);
    }
    EXPECT_EQ(usageSyncErrorCodeFromRaw(u"TimedOut"), std::nullopt);
    EXPECT_EQ(SyncCoding::encode(UsageSyncError(Code::olderSnapshot)), QByteArray(R"({"olderSnapshot":{}})"));
}

TEST(UsageSyncErrorTest, DecodingCountsOnlyCaseNames)
{
    const std::vector<std::pair<const char*, std::optional<Code>>> table = {
        {R"({"timedOut":{}})", Code::timedOut},
        {R"({"timedOut":{"reason":"late","n":1}})", Code::timedOut},
        {R"({"timedOut":{},"detail":"x"})", Code::timedOut},
        {R"({"note":null,"wrongHost":{}})", Code::wrongHost},
        {R"({})", std::nullopt},
        {R"({"detail":{}})", std::nullopt},
        {R"({"TimedOut":{}})", std::nullopt},
        {R"({"timedOut":{},"cancelled":{}})", std::nullopt},
        {R"({"timedOut":null})", std::nullopt},
        {R"({"timedOut":true})", std::nullopt},
        {R"({"timedOut":"x"})", std::nullopt},
        {R"({"timedOut":[]})", std::nullopt},
        {R"("timedOut")", std::nullopt},
        {R"([{"timedOut":{}}])", std::nullopt},
    };
    for (const auto& [text, expected] : table) {
        if (expected) {
            EXPECT_EQ(SyncCoding::decode<UsageSyncError>(text).code(), *expected) << text;
        } else {
            EXPECT_THROW(SyncCoding::decode<UsageSyncError>(text), JsonDecodeError) << text;
        }
    }
    try {
        SyncCoding::decode<UsageSyncError>(R"({"timedOut":{},"cancelled":{}})");
    } catch (const JsonDecodeError& error) {
        EXPECT_NE(std::string(error.what()).find("Invalid number of keys found, expected one."), std::string::npos);
    }
}
