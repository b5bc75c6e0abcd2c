#include "sync/model/SyncCoding.h"
#include "sync/model/UsageSyncError.h"

#include <gtest/gtest.h>

#include <QSet>

using namespace vantorel;
using Code = UsageSyncError::Code;

TEST(UsageSyncErrorTest, EveryCaseHasItsOwnMessageAndRoundTrips)
{
    ASSERT_EQ(UsageSyncError::allCodes.size(), 14u);
    QSet<QString> messages;
    for (const Code code : UsageSyncError::allCodes) {
        const UsageSyncError error(code);
        EXPECT_STREQ(error.what(), error.message().toUtf8().constData());
        messages.insert(error.message());

        const QByteArray encoded = SyncCoding::encode(error);
        EXPECT_EQ(encoded, "{\"" + rawValue(code).toLatin1() + "\":{}}");
        EXPECT_EQ(SyncCoding::decode<UsageSyncError>(encoded), error);
        EXPECT_EQ(usageSyncErrorCodeFromRaw(rawValue(code)), code);
    }
    EXPECT_EQ(messages.size(), 14) << "no two cases share a message";
    EXPECT_EQ(UsageSyncError(Code::timedOut).message(), QStringLiteral("接続がタイムアウトしました。"));
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
