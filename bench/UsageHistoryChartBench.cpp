#include "app/ui/SystemColors.h"
#include "app/window/UsageHistoryChart.h"
#include "app/window/UsageHistoryRules.h"
#include "support/BenchmarkMain.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace vantorel {
namespace {

// A full history: 2,500 samples of each provider, every ~17 minutes over 30 days.
QList<UsageHistoryEntry> fullHistory(Date now)
{
    constexpr int perProvider = 2500;
    const double step = 2'592'000.0 / perProvider;
    QList<UsageHistoryEntry> history;
    for (int index = 0; index < perProvider; ++index) {
        for (const MonitoredProvider provider : allMonitoredProviders) {
            const double ago = (perProvider - index) * step;
            history.append({QUuid::createUuid(), provider, now - ago, 100 - index % 18 * 5.0, 100 - index % 600 / 6.0, 1});
        }
    }
    return history;
}

const Date now = Date(800'000'000);

// What a rebuild computes before touching the chart: the period's samples, the thinned list,
// the axis choice and the points.
void modelBuild(benchmark::State& state)
{
    const QList<UsageHistoryEntry> history = fullHistory(now);
    for (auto _ : state) {
        const QList<UsageHistoryEntry> filtered
            = usagehistory::filteredUsageEntries(history, MonitoredProvider::codex, UsageHistoryRange::month, now);
        const UsageChartData data = usagehistory::usageChartData(usagehistory::downsampledUsageEntries(filtered));
        benchmark::DoNotOptimize(usagehistory::usageHistoryUsesTimeAxis(filtered));
        benchmark::DoNotOptimize(data);
    }
}
BENCHMARK(modelBuild)->Unit(benchmark::kMicrosecond);

// Handing the points to an offscreen chart, alternating two data sets so every run changes it.
void applyToChart(benchmark::State& state)
{
    const QList<UsageHistoryEntry> history = fullHistory(now);
    const auto data = [&](MonitoredProvider provider) {
        return usagehistory::usageChartData(usagehistory::downsampledUsageEntries(
            usagehistory::filteredUsageEntries(history, provider, UsageHistoryRange::month, now)));
    };
    const UsageChartData codex = data(MonitoredProvider::codex);
    const UsageChartData claude = data(MonitoredProvider::claude);
    UsageHistoryChart chart;
    chart.resize(354, UsageHistoryChart::chartHeight);
    chart.show();
    QApplication::processEvents();
    bool flip = false;
    const ColorPick blue = [](const SystemColors& c) { return c.systemBlue; };
    for (auto _ : state) {
        flip = !flip;
        chart.apply(flip ? codex : claude, false, blue);
        if (state.range(0))
            QApplication::processEvents();
    }
}
// 0: the chart takes the points; 1: and lays out and paints them.
BENCHMARK(applyToChart)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace vantorel

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return vantorel::runBenchmarks<QApplication>(argc, argv);
}
