#include "core/foundation/Json.h"
#include "core/sources/StatusService.h"
#include "support/BenchmarkMain.h"

#include <QCoreApplication>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <string>

namespace {

using vantorel::Date;
using vantorel::Json;
using vantorel::StatusService;

// Just under the client's size limit, the largest document it will ever read.
constexpr qsizetype documentSize = StatusService::maximumResponseBytes - 64 * 1024;

const char* const healths[] = {"operational", "operational",       "operational", "degraded_performance",
                               "partial_outage", "under_maintenance", "major_outage", "something_new"};

// A summary document shaped like a big real page: groups of components (some names repeated
// across groups, a share of them matching the keyword), open and resolved incidents with
// their updates, and fields the client never reads.
QByteArray makeDocument()
{
    Json components = Json::array();
    Json incidents = Json::array();
    int group = 0;
    qsizetype size = 0;
    while (size < documentSize) {
        const std::string groupId = "group" + std::to_string(group);
        Json children = Json::array();
        for (int i = 0; i < 12; ++i) {
            const std::string id = groupId + "-" + std::to_string(i);
            children.push_back(id);
            const std::string name = (i % 4 == 0 ? "Codex " : "Service ") + std::to_string((group * 12 + i) % 5000);
            components.push_back({{"id", id},
                                  {"name", name},
                                  {"status", healths[(group + i) % 8]},
                                  {"created_at", "2023-05-01T12:00:00.000Z"},
                                  {"updated_at", "2026-03-01T08:0" + std::to_string(i % 10) + ":00.123+09:00"},
                                  {"position", i},
                                  {"description", nullptr},
                                  {"showcase", false},
                                  {"start_date", nullptr},
                                  {"group_id", groupId},
                                  {"page_id", "pg1"},
                                  {"group", false},
                                  {"only_show_if_degraded", false}});
        }
        components.push_back({{"id", groupId},
                              {"name", "Group " + std::to_string(group)},
                              {"status", healths[group % 8]},
                              {"group", true},
                              {"components", std::move(children)},
                              {"updated_at", "2026-03-01T08:00:00Z"}});
        incidents.push_back({{"id", "inc" + std::to_string(group)},
                             {"name", "Elevated error rates on Codex " + std::to_string(group)},
                             {"status", group % 3 == 0 ? "resolved" : "investigating"},
                             {"impact", group % 2 == 0 ? Json("minor") : Json(nullptr)},
                             {"updated_at", "2026-03-01T08:09:00.000Z"},
                             {"shortlink", "https://stspg.io/abcdef"},
                             {"incident_updates",
                              Json::array({{{"body", "We are investigating elevated error rates."},
                                            {"status", "investigating"},
                                            {"created_at", "2026-03-01T08:00:00Z"}}})}});
        ++group;
        if (group % 16 == 0) {
            Json probe = {{"components", components}, {"incidents", incidents}};
            size = qsizetype(probe.dump().size());
        }
    }
    const Json document = {
        {"page", {{"id", "pg1"}, {"name", "Example"}, {"url", "https://status.example.com"},
                  {"updated_at", "2026-03-01T08:10:00Z"}}},
        {"status", {{"indicator", "minor"}, {"description", "Partially Degraded Service"}}},
        {"components", std::move(components)},
        {"incidents", std::move(incidents)},
        {"scheduled_maintenances", Json::array()},
    };
    return QByteArray::fromStdString(document.dump());
}

const QByteArray& document()
{
    static const QByteArray bytes = makeDocument();
    return bytes;
}

void reduce(benchmark::State& state, QStringList names, QStringList keywords)
{
    const QByteArray& bytes = document();
    const Date now = Date::fromUnixSeconds(1'772'352'900);
    for (auto _ : state) {
        auto summary = StatusService::summary(bytes, names, keywords, now);
        benchmark::DoNotOptimize(summary);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK_CAPTURE(reduce, configuredNames, QStringList{QStringLiteral("Codex 0"), QStringLiteral("codex 4")},
                  QStringList{QStringLiteral("codex")})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(reduce, keywordFallback, QStringList{QStringLiteral("Not on the page")},
                  QStringList{QStringLiteral("codex"), QStringLiteral("service")})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // Runs under the C locale QCoreApplication sets, as the client does.
    return vantorel::runBenchmarks<QCoreApplication>(argc, argv);
}
