#include "SourcesTestSupport.h"
#include "core/foundation/Json.h"
#include "core/sources/StatusService.h"
#include "core/sources/StatusServiceError.h"

using namespace vantorel;
using namespace vantorel::testing_support;

namespace {

const Date fetchedAt = Date::fromUnixSeconds(1'772'352'900); // 2026-03-01T08:15:00Z

// Shaped like a real summary document: groups and their children, a name listed twice, a status
// this client does not know, nulls, fields it does not read, resolved and open incidents.
const QByteArray realWorldSummary = R"json({
  "page": {"id": "abc123", "name": "Example AI", "url": "https://status.example.com",
           "time_zone": "Etc/UTC", "updated_at": "2026-03-01T08:10:11.123Z"},
  "status": {"indicator": "minor", "description": "Partially Degraded Service"},
  "components": [
    {"id": "g1", "name": "APIs", "status": "degraded_performance", "group": true, "group_id": null,
     "components": ["c1", "c2"], "created_at": "2023-01-01T00:00:00Z", "updated_at": "2026-03-01T08:00:00Z",
     "position": 1, "description": null, "showcase": false, "start_date": null, "only_show_if_degraded": false},
    {"id": "c1", "name": "Chat Completions", "status": "operational", "group": false, "group_id": "g1",
     "updated_at": "2026-03-01T07:00:00-05:00"},
    {"id": "c2", "name": "Codex", "status": "partial_outage", "group": false, "group_id": "g1",
     "updated_at": "2026-03-01T08:05:00.5+09:00"},
    {"id": "g2", "name": "Codex", "status": "degraded_performance", "group": true, "components": ["c3"],
     "updated_at": "2026-03-01T08:06:00Z"},
    {"id": "c3", "name": "Codex CLI", "status": "brand_new_state", "group_id": "g2", "updated_at": null},
    {"id": "c4", "name": "  Codex Web  ", "status": "under_maintenance", "updated_at": "not a date"},
    {"id": "c5", "name": null, "status": "major_outage"},
    {"id": "c6", "status": "major_outage"},
    {"id": "c7", "name": "Sora", "status": "major_outage", "updated_at": "2026-03-01T08:00:00Z"},
    "not an object",
    {"id": "c8", "name": 42, "status": "major_outage"}
  ],
  "incidents": [
    {"id": "i1", "name": "Elevated errors on Codex", "status": "investigating", "impact": "minor",
     "updated_at": "2026-03-01T08:09:00.000Z", "shortlink": "https://stspg.io/x",
     "incident_updates": [{"body": "We are investigating.", "status": "investigating"}], "components": []},
    {"id": "i2", "name": "Old outage", "status": "resolved", "impact": "major", "updated_at": "2026-02-28T00:00:00Z"},
    {"id": "i3", "name": "Older outage", "status": "Postmortem", "impact": "critical"},
    {"id": "i4", "name": "Slow logins", "status": "monitoring", "impact": null, "updated_at": null},
    {"id": "i5", "status": "identified"}
  ],
  "scheduled_maintenances": [{"id": "m1", "name": "DB upgrade", "status": "scheduled"}]
})json";

QByteArray componentsDocument(const Json& components, const char* indicator = "none")
{
    Json document = {{"status", {{"indicator", indicator}, {"description", "x"}}}, {"components", components}};
    return QByteArray::fromStdString(document.dump());
}

Json component(const char* name, const char* status)
{
    return {{"name", name}, {"status", status}, {"updated_at", "2026-03-01T08:00:00Z"}};
}

} // namespace

TEST(StatusSummaryReading, ReducesARealWorldShapedDocument)
{
    const CodexStatusSummary summary =
        StatusService::summary(realWorldSummary, {" codex ", "CODEX web"}, {"codex"}, fetchedAt);

    EXPECT_EQ(summary.pageIndicator, "minor");
    EXPECT_EQ(summary.pageDescription, "Partially Degraded Service");
    // "Codex" is listed twice (a leaf and a group): one entry with the worse health and the later
    // date; the keyword fallback is not used because configured names are on the page.
    const QList<ServiceStatus> expected = {
        {"Codex", ComponentHealth::partialOutage, Date::fromUnixSeconds(1'772'352'360)},
        {"  Codex Web  ", ComponentHealth::underMaintenance, fetchedAt},
    };
    EXPECT_EQ(summary.services, expected);
    EXPECT_EQ(summary.overallStatus, OverallCodexState::outage);
    const QList<Incident> open = {
        {"Elevated errors on Codex", "investigating", "minor", Date::fromUnixSeconds(1'772'352'540)},
        {"Slow logins", "monitoring", std::nullopt, std::nullopt},
    };
    EXPECT_EQ(summary.incidents, open);
    EXPECT_EQ(summary.updatedAt, fetchedAt) << "stamped when read, not when the page last changed";
    EXPECT_EQ(summary.lastSuccessfulFetchAt, fetchedAt);
}

TEST(StatusSummaryReading, ChoosesWatchedComponentsByNameThenByKeyword)
{
    struct Case
    {
        const char* label;
        QStringList names;
        QStringList keywords;
        QStringList expected;
    };
    const QList<Case> cases = {
        {"configured names, case and blanks ignored", {"chat completions", "SORA "}, {"codex"},
         {"Chat Completions", "Sora"}},
        {"empty list falls back to keywords", {}, {"codex"}, {"Codex", "Codex CLI", "  Codex Web  "}},
        {"names absent from the page fall back to keywords", {"Nothing here", "  "}, {"CLI", "sora"},
         {"Codex CLI", "Sora"}},
        {"a configured name is matched whole, not as a part", {"Code"}, {}, {}},
        {"blank keywords match nothing", {}, {"", " "}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const auto summary = StatusService::summary(realWorldSummary, c.names, c.keywords, fetchedAt);
        QStringList names;
        for (const ServiceStatus& s : summary.services)
            names.append(s.componentName);
        EXPECT_EQ(names, c.expected);
    }
}

TEST(StatusSummaryReading, MapsRawHealthsAndMergesRepeatedNames)
{
    const Json components = Json::array({
        component("a", "operational"), component("b", "degraded_performance"), component("c", "partial_outage"),
        component("d", "major_outage"), component("e", "under_maintenance"), component("f", "Operational"),
        {{"name", "g"}, {"status", nullptr}},
        // A repeat raises the health only when more severe, and moves the date forward.
        {{"name", "e"}, {"status", "degraded_performance"}, {"updated_at", "2026-03-01T09:00:00Z"}},
        component("a", "unknown"), component("d", "operational"),
    });
    const QStringList names = {"a", "b", "c", "d", "e", "f", "g"};
    const Date eight = Date::fromUnixSeconds(1'772'352'000);
    const QList<ServiceStatus> expected = {
        {"a", ComponentHealth::unknown, eight},
        {"b", ComponentHealth::degradedPerformance, eight},
        {"c", ComponentHealth::partialOutage, eight},
        {"d", ComponentHealth::majorOutage, eight},
        {"e", ComponentHealth::underMaintenance, Date::fromUnixSeconds(1'772'355'600)},
        {"f", ComponentHealth::unknown, eight},
        {"g", ComponentHealth::unknown, fetchedAt},
    };
    EXPECT_EQ(StatusService::summary(componentsDocument(components), names, {}, fetchedAt).services, expected);
}

TEST(StatusSummaryReading, OverallStateFollowsTheWorstKnownWatchedHealthElseTheIndicator)
{
    struct Case
    {
        QList<const char*> statuses;
        const char* indicator;
        OverallCodexState expected;
    };
    const QList<Case> cases = {
        {{"operational", "operational"}, "critical", OverallCodexState::normal},
        {{"operational", "degraded_performance"}, "none", OverallCodexState::degraded},
        {{"under_maintenance"}, "none", OverallCodexState::degraded},
        {{"degraded_performance", "partial_outage", "operational"}, "none", OverallCodexState::outage},
        {{"mystery", "operational"}, "major", OverallCodexState::normal},
        // Nothing watched with a known health: the page's own indicator decides.
        {{"mystery"}, "major", OverallCodexState::outage},
        {{}, "none", OverallCodexState::normal},
        {{}, "minor", OverallCodexState::degraded},
        {{}, "maintenance", OverallCodexState::degraded},
        {{}, "Critical", OverallCodexState::outage},
        {{}, "something new", OverallCodexState::normal},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.indicator);
        Json components = Json::array();
        for (qsizetype i = 0; i < c.statuses.size(); ++i)
            components.push_back(component(("Codex " + std::to_string(i)).c_str(), c.statuses[i]));
        // A loud component that is not watched never counts.
        components.push_back(component("Other", "major_outage"));
        EXPECT_EQ(StatusService::summary(componentsDocument(components, c.indicator), {}, {"codex"}, fetchedAt)
                      .overallStatus,
                  c.expected);
    }
}

TEST(StatusSummaryReading, RefusesWhatIsNotASummaryAndSurvivesHostileInput)
{
    const QList<QByteArray> refused = {
        "", "[]", "null", "{}", R"({"status": "none", "components": {}})", R"({"status": {"indicator": "none"})",
        "{\"status\": {\"indicator\": \"\xff\xfe\"}}", QByteArray(200'000, '[') + QByteArray(200'000, ']'),
    };
    for (const QByteArray& document : refused) {
        SCOPED_TRACE(document.left(60).toStdString());
        try {
            StatusService::summary(document, {}, {"codex"}, fetchedAt);
            ADD_FAILURE() << "accepted";
        } catch (const JsonDecodeError& error) {
            EXPECT_STREQ(error.what(), "ステータスAPIの応答を読み取れませんでした。");
        }
    }

    // Wrongly typed optional parts read as missing rather than failing the page.
    const auto odd = StatusService::summary(
        R"({"status": {"indicator": 7, "description": ["x"]}, "components": [[], 1, {"name": ["Codex"]}],
            "incidents": {"name": "not a list"}})",
        {}, {"codex"}, fetchedAt);
    EXPECT_EQ(odd.pageIndicator, "unknown");
    EXPECT_EQ(odd.pageDescription, QString());
    EXPECT_TRUE(odd.services.isEmpty());
    EXPECT_TRUE(odd.incidents.isEmpty());
    EXPECT_EQ(odd.overallStatus, OverallCodexState::normal);

    const auto componentsOnly =
        StatusService::summary(R"({"components": [{"name": "Codex", "status": "major_outage"}]})", {}, {"codex"}, fetchedAt);
    EXPECT_EQ(componentsOnly.pageIndicator, "unknown");
    EXPECT_EQ(componentsOnly.overallStatus, OverallCodexState::outage);
}

// Fixtures need a name with linkage: GCC rejects a test deriving from an anonymous one when this
// file is part of a unity batch.
namespace statusServiceTest {

class StatusServiceIntegration : public LoopbackServerTest
{
protected:
    // Each fetch uses a fresh service, as a refresh does after a settings change.
    TaskOutcome<CodexStatusSummary> fetch()
    {
        StatusService service(server.url(path), loopbackClient(StatusService::transportOptions()),
                              [] { return fetchedAt; });
        return waitForOutcome(service.fetchSummary({"Codex"}, {"codex"}));
    }

    const QString path = QStringLiteral("/api/v2/summary.json");
};

} // namespace statusServiceTest

using statusServiceTest::StatusServiceIntegration;

TEST_F(StatusServiceIntegration, StatusesOtherThanSuccessFailWithTheirCode)
{
    struct Case
    {
        int status;
        bool succeeds;
    };
    for (const Case c : {Case{200, true}, Case{203, true}, Case{304, false}, Case{404, false}, Case{429, false},
                         Case{503, false}}) {
        SCOPED_TRACE(c.status);
        server.enqueue(path, TestHttpResponse::json(realWorldSummary, c.status));
        const auto outcome = fetch();
        EXPECT_EQ(server.requests().last().method, "GET");
        EXPECT_EQ(outcome.value.has_value(), c.succeeds);
        if (c.succeeds) {
            EXPECT_EQ(outcome.value->overallStatus, OverallCodexState::outage);
            EXPECT_EQ(outcome.value->lastSuccessfulFetchAt, fetchedAt);
            continue;
        }
        const auto error = outcome.errorAs<StatusServiceError>();
        ASSERT_EQ(error, StatusServiceError::badHTTPStatus(c.status));
        EXPECT_EQ(error->message(), QStringLiteral("ステータスAPIが HTTP %1 を返しました。").arg(c.status));
    }
}

TEST_F(StatusServiceIntegration, FollowsAMovedPage)
{
    server.respond(path, TestHttpResponse::redirect(server.url(QStringLiteral("/moved/summary.json")), 301));
    server.respond(QStringLiteral("/moved/summary.json"), TestHttpResponse::json(realWorldSummary));
    const auto outcome = fetch();
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->pageIndicator, "minor");
}

TEST_F(StatusServiceIntegration, UnreadableAndOversizedBodiesFailAsDecodingErrors)
{
    struct Case
    {
        QByteArray body;
        const char* message;
    };
    const QList<Case> cases = {
        {"<html>maintenance</html>", "ステータスAPIの応答を読み取れませんでした。"},
        {QByteArray(StatusService::maximumResponseBytes + 1, ' '),
         "ステータスAPIの応答が大きすぎるため読み取りませんでした。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.left(40).toStdString());
        server.enqueue(path, TestHttpResponse::json(c.body));
        const auto error = fetch().errorAs<JsonDecodeError>();
        ASSERT_TRUE(error);
        EXPECT_STREQ(error->what(), c.message);
    }
}
