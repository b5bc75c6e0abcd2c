// Cost of one menu-bar gauge image: drawn on a cache miss, and looked up on a hit (the common
// case, since most view-model changes do not alter the picture).
#include "app/ui/MenuBarGaugeImageRenderer.h"
#include "support/BenchmarkMain.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace {

using namespace vantorel;
using Input = MenuBarGaugeImageRenderer::Input;

MenuBarGaugeImageRenderer::Environment environment(qreal ratio)
{
    return {
        .appearance = [] { return MenuBarPalette::light(); },
        .devicePixelRatio = [ratio] { return ratio; },
        .loadBrandIcon = &MenuBarGaugeImageRenderer::bundledBrandIcon,
        .applicationIcon = [] { return QImage(); },
    };
}

// Both providers with two windows each; `step` picks one of 101 × 101 distinct keys, so walking
// the steps in order always misses a cache of 512 images.
Input input(bool compact, long step)
{
    const double fiveHour = double(step % 101);
    const double weekly = double((step / 101) % 101);
    return Input{.codexEnabled = true,
                 .claudeEnabled = true,
                 .codexValues = {{MenuBarUsageWindow::fiveHour, fiveHour}, {MenuBarUsageWindow::weekly, weekly}},
                 .claudeValues = {{MenuBarUsageWindow::fiveHour, weekly}, {MenuBarUsageWindow::weekly, fiveHour}},
                 .compact = compact,
                 .labelStyle = MenuBarGaugeLabelStyle::remainingPercent,
                 .codexIdentityStyle = MenuBarProviderIdentityStyle::icon,
                 .claudeIdentityStyle = MenuBarProviderIdentityStyle::text};
}

// One ring per provider whose percentages walk 101 × 101 distinct keys.
Input squareInput(bool compact, long step)
{
    return Input{.codexEnabled = true,
                 .claudeEnabled = true,
                 .codexValues = {{MenuBarUsageWindow::fiveHour, double(step % 101)}},
                 .claudeValues = {{MenuBarUsageWindow::fiveHour, double((step / 101) % 101)}},
                 .compact = compact,
                 .labelStyle = MenuBarGaugeLabelStyle::remainingPercent};
}

// A new picture and the one size a tray shows of it: what the GUI thread spends per reading.
void squareShown(benchmark::State& state)
{
    const bool compact = state.range(0) == 0;
    MenuBarGaugeImageRenderer renderer(environment(qreal(state.range(1))));
    long step = 0;
    for (auto _ : state) {
        const auto icon = renderer.makeSquare(squareInput(compact, step++));
        benchmark::DoNotOptimize(icon.pixmap(QSize(22, 22), qreal(state.range(1))));
    }
    state.SetLabel(compact ? "compact" : "detailed");
}

// Every offered size, as a StatusNotifierItem host fetches them.
void squareAllSizes(benchmark::State& state)
{
    const bool compact = state.range(0) == 0;
    MenuBarGaugeImageRenderer renderer(environment(qreal(state.range(1))));
    long step = 0;
    for (auto _ : state) {
        const auto icon = renderer.makeSquare(squareInput(compact, step++));
        for (const QSize& size : icon.availableSizes())
            benchmark::DoNotOptimize(icon.pixmap(size, 1));
    }
    state.SetLabel(compact ? "compact" : "detailed");
}

void cacheMiss(benchmark::State& state)
{
    const bool compact = state.range(0) == 0;
    MenuBarGaugeImageRenderer renderer(environment(qreal(state.range(1))));
    long step = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(renderer.make(input(compact, step++)));
    state.SetLabel(compact ? "compact" : "detailed");
}

void cacheHit(benchmark::State& state)
{
    const bool compact = state.range(0) == 0;
    MenuBarGaugeImageRenderer renderer(environment(qreal(state.range(1))));
    const auto request = input(compact, 4242);
    renderer.make(request);
    for (auto _ : state)
        benchmark::DoNotOptimize(renderer.make(request));
    state.SetLabel(compact ? "compact" : "detailed");
}

BENCHMARK(squareShown)->ArgsProduct({{0, 1}, {1, 2}})->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(squareAllSizes)->ArgsProduct({{0, 1}, {1, 2}})->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(cacheMiss)->ArgsProduct({{0, 1}, {1, 2}})->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(cacheHit)->ArgsProduct({{0, 1}, {1, 2}})->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return vantorel::runBenchmarks<QGuiApplication>(argc, argv);
}
