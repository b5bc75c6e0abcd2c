#include "SyncModelFixtures.h"

#include "sync/model/SyncCoding.h"
#include "sync/model/SyncJsonReader.h"
#include "sync/model/SyncJsonWriter.h"
#include "sync/model/UsageSyncError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace vantorel;
using namespace vantorel::test;

namespace {

const char* const fullSnapshotJson =
    R"({"generatedAt":"2026-01-31T09:05:00Z","hostID":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
    R"("hostName":"Studio\/Mac","notificationHistory":[{"body":"5時間枠の残りが20%です。\n\"確認\"してください。",)"
    R"("category":"threshold","createdAt":"2026-01-31T08:00:00Z","id":"00000002-1000-4000-8000-000000000001",)"
    R"("provider":"claude","title":"Claude 残り20%"}],"providers":[{"bankedResetCount":2,)"
    R"("bankedResetExpiresAt":"2026-02-07T00:00:00Z","creditsRemaining":"120","enabled":true,"id":"codex",)"
    R"("planName":"Pro","statusText":"正常","updatedAt":"2026-01-31T09:04:00Z","windows":[{"kind":"fiveHour",)"
    R"("remainingPercent":42.5,"resetAt":"2026-01-31T12:00:00Z","state":"available"},{"kind":"weekly",)"
    R"("state":"notFetched"}]},{"enabled":false,"id":"claude","statusText":"MacでOFF","windows":[]}],)"
    R"("refreshIntervalSeconds":300,"revision":18446744073709551615,"schemaVersion":1,"sourceBuild":"42",)"
    R"("sourceVersion":"1.2.0","usageHistory":[{"fiveHourRemainingPercent":50,)"
    R"("id":"00000001-1000-4000-8000-000000000001","provider":"codex","recordedAt":"2026-01-31T09:00:00Z"}]})";

// A record carrying bytes, to exercise the Base64 form the pairing records use.
struct KeyRecord
{
    QByteArray key;
};

Json toSyncJson(const KeyRecord& record)
{
    SyncJsonWriter out;
    out.setBytes("key", record.key);
    return out.take();
}

void fromSyncJson(const Json& json, KeyRecord& record)
{
    record.key = SyncJsonReader(json, "KeyRecord").bytes("key");
}

} // namespace

TEST(SyncCodingTest, WritesOneExactTextAndReadsItBackEqual)
{
    const UsageSyncSnapshot snapshot = fullSnapshot();
    const QByteArray encoded = SyncCoding::encode(snapshot);
    EXPECT_EQ(encoded.toStdString(), std::string(fullSnapshotJson));

    const auto decoded = SyncCoding::decode<UsageSyncSnapshot>(encoded);
    EXPECT_EQ(decoded, snapshot);
    EXPECT_EQ(SyncCoding::encode(decoded), encoded);
}

TEST(SyncCodingTest, EmptyListsAndAbsentOptionalsAreWrittenAsTheFormSays)
{
    UsageSyncSnapshot snapshot = emptySnapshot();
    SyncProviderSnapshot bare;
    bare.statusText = QString();
    snapshot.providers = {bare};
    const QByteArray encoded = SyncCoding::encode(snapshot);
    EXPECT_EQ(encoded.toStdString(),
              R"({"generatedAt":"2026-01-31T09:05:00Z","hostID":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
              R"("hostName":"Mac","notificationHistory":[],"providers":[{"enabled":false,"id":"codex",)"
              R"("statusText":"","windows":[]}],"refreshIntervalSeconds":60,"revision":7,"schemaVersion":1,)"
              R"("sourceBuild":"1","sourceVersion":"1.0","usageHistory":[]})");
    EXPECT_EQ(SyncCoding::decode<UsageSyncSnapshot>(encoded), snapshot);
}

TEST(SyncCodingTest, SubSecondDatesAreWrittenAsTheWholeSecondBefore)
{
    UsageSyncSnapshot snapshot = emptySnapshot();
    snapshot.generatedAt = isoDate("2026-01-31T09:05:00Z") + 0.25;
    const auto decoded = SyncCoding::decode<UsageSyncSnapshot>(SyncCoding::encode(snapshot));
    EXPECT_EQ(decoded.generatedAt, isoDate("2026-01-31T09:05:00Z"));
    EXPECT_FALSE(decoded == snapshot);

    // Before 1970 the whole second below is still the one written.
    snapshot.generatedAt = isoDate("1969-12-31T23:59:59Z") + 0.75;
    EXPECT_TRUE(SyncCoding::encode(snapshot).contains("\"generatedAt\":\"1969-12-31T23:59:59Z\""));
}

TEST(SyncCodingTest, ValuesWithoutASyncFormAreRefusedWhenEncoding)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<const char*, std::function<void(UsageSyncSnapshot&)>>> cases = {
        {"NaN percent",
         [&](UsageSyncSnapshot& s) { s.usageHistory[0].weeklyRemainingPercent = CompactPercent::from(nan); }},
        {"infinite percent", [&](UsageSyncSnapshot& s) { s.providers[0].windows[0].remainingPercent = -inf; }},
        {"NaN date", [&](UsageSyncSnapshot& s) { s.generatedAt = Date(nan); }},
        {"infinite optional date", [&](UsageSyncSnapshot& s) { s.providers[0].updatedAt = Date(inf); }},
        {"five-digit year", [&](UsageSyncSnapshot& s) { s.notificationHistory[0].createdAt = isoDate("9999-12-31T23:59:59Z") + 1.0; }},
        {"year zero", [&](UsageSyncSnapshot& s) { s.generatedAt = isoDate("0001-01-01T00:00:00Z") - 0.5; }},
    };
    for (const auto& [name, mutate] : cases) {
        UsageSyncSnapshot snapshot = fullSnapshot();
        mutate(snapshot);
        EXPECT_THROW(SyncCoding::encode(snapshot), JsonEncodeError) << name;
    }
    UsageSyncSnapshot edge = fullSnapshot();
    edge.generatedAt = isoDate("9999-12-31T23:59:59Z") + 0.5;
    EXPECT_TRUE(SyncCoding::encode(edge).contains("9999-12-31T23:59:59Z"));
}

TEST(SyncCodingTest, DecodingRefusesWhatDoesNotMatchTheRecords)
{
    struct Case
    {
        const char* name;
        const char* pointer;
        std::optional<Json> replacement; // nullopt removes the key
    };
    const std::vector<Case> cases = {
        {"missing hostID", "/hostID", std::nullopt},
        {"missing list", "/usageHistory", std::nullopt},
        {"null required", "/hostName", Json(nullptr)},
        {"missing statusText", "/providers/0/statusText", std::nullopt},
        {"missing notification title", "/notificationHistory/0/title", std::nullopt},
        {"missing recordedAt", "/usageHistory/0/recordedAt", std::nullopt},
        {"unknown window kind", "/providers/0/windows/0/kind", Json("monthly")},
        {"state in other case", "/providers/0/windows/0/state", Json("Available")},
        {"unknown provider", "/usageHistory/0/provider", Json("gemini")},
        {"negative revision", "/revision", Json(-1)},
        {"fractional revision", "/revision", Json(1.5)},
        {"revision as text", "/revision", Json("7")},
        {"fractional interval", "/refreshIntervalSeconds", Json(1.5)},
        {"interval beyond Int", "/refreshIntervalSeconds", Json(9'223'372'036'854'775'808ULL)},
        {"bool as number", "/providers/0/enabled", Json(1)},
        {"percent as text", "/usageHistory/0/fiveHourRemainingPercent", Json("50")},
        {"date as number", "/generatedAt", Json(791543100)},
        {"date with fraction", "/generatedAt", Json("2026-01-31T09:05:00.500Z")},
        {"date with offset", "/providers/0/updatedAt", Json("2026-01-31T18:04:00+09:00")},
        {"date without zone", "/usageHistory/0/recordedAt", Json("2026-01-31T09:00:00")},
        {"impossible date", "/notificationHistory/0/createdAt", Json("2026-02-30T08:00:00Z")},
        {"uuid with braces", "/hostID", Json("{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}")},
        {"list as object", "/providers", Json::object()},
        {"null list element", "/providers/1", Json(nullptr)},
        {"window as array", "/providers/0/windows/1", Json::array()},
    };
    const Json valid = Json::parse(fullSnapshotJson);
    for (const Case& c : cases) {
        Json document = valid;
        const Json::json_pointer pointer(c.pointer);
        if (c.replacement)
            document[pointer] = *c.replacement;
        else
            document[pointer.parent_pointer()].erase(pointer.back());
        EXPECT_THROW(SyncCoding::decode<UsageSyncSnapshot>(json::write(document, json::Form::sync)), JsonDecodeError)
            << c.name;
    }
}

TEST(SyncCodingTest, DecodingToleratesWhatTheFormAllows)
{
    Json document = Json::parse(fullSnapshotJson);
    document["/providers/0/planName"_json_pointer] = nullptr;
    document["/providers/0/windows/0/resetAt"_json_pointer] = nullptr;
    document["/hostID"_json_pointer] = "e621e1f8-c36c-495a-93fc-0c247a3e6e5f";
    document["/futureField"_json_pointer] = Json::array({1, 2});
    document["/providers/0/windows/1/note"_json_pointer] = "x";
    document["/usageHistory/0/extra"_json_pointer] = nullptr;
    document["/schemaVersion"_json_pointer] = 2; // checked by validation, not by decoding
    document["/providers/0/bankedResetCount"_json_pointer] = -3;

    const auto decoded = SyncCoding::decode<UsageSyncSnapshot>(json::write(document, json::Form::sync));
    UsageSyncSnapshot expected = fullSnapshot();
    expected.providers[0].planName.reset();
    expected.providers[0].windows[0].resetAt.reset();
    expected.schemaVersion = 2;
    expected.providers[0].bankedResetCount = -3;
    EXPECT_EQ(decoded, expected);
}

TEST(SyncCodingTest, InputSizeLimitAndMalformedInput)
{
    const QByteArray base(fullSnapshotJson);
    QByteArray atLimit = base + QByteArray(SyncCoding::maximumInputBytes - base.size(), ' ');
    ASSERT_EQ(atLimit.size(), 2'097'152);
    EXPECT_EQ(SyncCoding::decode<UsageSyncSnapshot>(atLimit), fullSnapshot());

    const QByteArray overLimit = atLimit + ' ';
    try {
        SyncCoding::decode<UsageSyncSnapshot>(overLimit);
        ADD_FAILURE() << "over-limit input decoded";
    } catch (const UsageSyncError& error) {
        EXPECT_EQ(error.code(), UsageSyncError::Code::invalidData);
    }

    const std::vector<std::pair<const char*, QByteArray>> malformed = {
        {"empty", QByteArray()},
        {"not JSON", QByteArray("snapshot")},
        {"truncated", base.left(base.size() - 1)},
        {"top-level array", QByteArray("[]")},
        {"invalid UTF-8", QByteArray(R"({"hostName":")") + char(0xC3) + QByteArray(R"("})")},
        {"number too large for a double",
         QByteArray(base).replace("\"fiveHourRemainingPercent\":50", "\"fiveHourRemainingPercent\":1e400")},
    };
    for (const auto& [name, bytes] : malformed)
        EXPECT_THROW(SyncCoding::decode<UsageSyncSnapshot>(bytes), JsonDecodeError) << name;

    // The deepest nesting that fits the limit is read and released without exhausting the stack.
    const qsizetype depth = SyncCoding::maximumInputBytes / 2;
    const QByteArray nested = QByteArray(depth, '[') + QByteArray(depth, ']');
    EXPECT_THROW(SyncCoding::decode<UsageSyncSnapshot>(nested), JsonDecodeError);
}

TEST(SyncCodingTest, DecodingErrorsNameTheField)
{
    Json document = Json::parse(fullSnapshotJson);
    document["/providers/1/windows"_json_pointer] = Json::array({Json::object({{"kind", "weekly"}})});
    try {
        SyncCoding::decode<UsageSyncSnapshot>(json::write(document, json::Form::sync));
        ADD_FAILURE() << "decoded";
    } catch (const JsonDecodeError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("providers[1].windows[0].state", 0), 0u) << error.what();
    }
}

TEST(SyncCodingTest, BytesArePaddedStandardBase64)
{
    const QByteArray key("\xfb\xff\x00\x01", 4);
    EXPECT_EQ(SyncCoding::encode(KeyRecord{key}), QByteArray(R"({"key":"+\/8AAQ=="})"));
    EXPECT_EQ(SyncCoding::decode<KeyRecord>(R"({"key":"+\/8AAQ=="})").key, key);
    EXPECT_EQ(SyncCoding::decode<KeyRecord>(R"({"key":""})").key, QByteArray());

    for (const char* bad : {"+/8AAQ", "+/8AAQ=", "+/8AAQ===", "-_8AAQ==", "+/8A AQ=", "+/8=AAQ=", "+/8AAQ==AAAA"}) {
        const QByteArray document = QByteArray(R"({"key":")") + bad + QByteArray(R"("})");
        EXPECT_THROW(SyncCoding::decode<KeyRecord>(document), JsonDecodeError) << bad;
    }
}
