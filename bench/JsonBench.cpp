#include "core/foundation/Json.h"
#include "support/BenchmarkMain.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <string>
#include <utility>

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

// The yardstick: a plain writer into a std::string (store form, byte for byte the same output),
// escaping byte by byte and formatting numbers with std::to_chars.
void plainString(std::string& out, const std::string& text)
{
    static constexpr char hex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(ch);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20) {
            out += "\\u00";
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0xF]);
        } else {
            out.push_back(ch);
        }
    }
    out.push_back('"');
}

void plainValue(std::string& out, const Json& value)
{
    char buffer[64];
    switch (value.type()) {
    case Json::value_t::null:
        out += "null";
        break;
    case Json::value_t::boolean:
        out += value.get<bool>() ? "true" : "false";
        break;
    case Json::value_t::number_integer:
        out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value.get<std::int64_t>()).ptr);
        break;
    case Json::value_t::number_unsigned:
        out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value.get<std::uint64_t>()).ptr);
        break;
    case Json::value_t::number_float:
        out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value.get<double>()).ptr);
        break;
    case Json::value_t::string:
        plainString(out, value.get_ref<const std::string&>());
        break;
    case Json::value_t::array: {
        out.push_back('[');
        bool first = true;
        for (const Json& element : value) {
            if (!std::exchange(first, false))
                out.push_back(',');
            plainValue(out, element);
        }
        out.push_back(']');
        break;
    }
    case Json::value_t::object: {
        out.push_back('{');
        bool first = true;
        for (const auto& [key, element] : value.get_ref<const Json::object_t&>()) {
            if (!std::exchange(first, false))
                out.push_back(',');
            plainString(out, key);
            out.push_back(':');
            plainValue(out, element);
        }
        out.push_back('}');
        break;
    }
    default:
        break;
    }
}

void plainStdStringWriter(benchmark::State& state)
{
    const Json& value = document();
    std::size_t size = 0;
    for (auto _ : state) {
        std::string out;
        plainValue(out, value);
        size = out.size();
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
    // Same document, same bytes: the comparison is fair only if the outputs agree.
    std::string check;
    plainValue(check, value);
    if (QByteArray::fromStdString(check) != json::write(value, json::Form::store))
        state.SkipWithError("the plain writer's output differs from json::write's");
}
BENCHMARK(plainStdStringWriter)->Unit(benchmark::kMillisecond);

void nlohmannDump(benchmark::State& state)
{
    const Json& value = document();
    for (auto _ : state) {
        std::string out = value.dump();
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(nlohmannDump)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // The writer must not depend on the C locale, which QCoreApplication changes.
    return vantorel::runBenchmarks<QCoreApplication>(argc, argv);
}
