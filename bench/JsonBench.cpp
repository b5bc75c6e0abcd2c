#include "core/foundation/Json.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace {

using vantorel::Json;
namespace json = vantorel::json;

constexpr qsizetype documentSize = 2 * 1024 * 1024;

// Records shaped like usage snapshots: text with escapes and non-ASCII, dates, exact integers,
// fractions and nested arrays, repeated until the sync form reaches about 2 MiB.
Json makeDocument()
{
    Json records = Json::array();
    Json document = {{"schemaVersion", 1}, {"records", Json::array()}};
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    while (json::write(document, json::Form::sync).size() < documentSize) {
        for (int i = 0; i < 200; ++i) {
            const std::uint64_t r = next();
            Json windows = Json::array();
            for (int w = 0; w < 3; ++w) {
                windows.push_back({{"usedPercent", static_cast<double>(r % 10'000) / 100.0},
                                   {"resetsAt", "2026-03-01T08:15:00Z"},
                                   {"windowMinutes", 300 * (w + 1)}});
            }
            document["records"].push_back({{"id", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"},
                                           {"name", "Codex/5時間枠 \"primary\"\n"},
                                           {"capturedAt", 794'045'700.25 + static_cast<double>(r % 100'000)},
                                           {"counter", r},
                                           {"delta", -static_cast<std::int64_t>(r % 1'000'000)},
                                           {"active", (r & 1) != 0},
                                           {"note", nullptr},
                                           {"windows", std::move(windows)}});
        }
    }
    return document;
}

const Json& document()
{
    static const Json value = makeDocument();
    return value;
}

void parse(benchmark::State& state)
{
    const QByteArray bytes = json::write(document(), json::Form::sync);
    for (auto _ : state) {
        auto parsed = json::parse(bytes);
        benchmark::DoNotOptimize(parsed);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(parse)->Unit(benchmark::kMillisecond);

void write(benchmark::State& state, json::Form form)
{
    const Json& value = document();
    qsizetype size = 0;
    for (auto _ : state) {
        QByteArray bytes = json::write(value, form);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK_CAPTURE(write, sync, json::Form::sync)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(write, store, json::Form::store)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // The writer must not depend on the C locale, which QCoreApplication changes.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
