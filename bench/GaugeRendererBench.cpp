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

// Every size drawn on the calling thread, as a test or a one-off caller does.
void squareMiss(benchmark::State& state)
{
    const bool compact = state.range(0) == 0;
    MenuBarGaugeImageRenderer renderer(environment(qreal(state.range(1))));
    long step = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(renderer.makeSquare(squareInput(compact, step++)));
    state.SetLabel(compact ? "compact" : "detailed");
}

// What the GUI thread spends on a new picture when the status item draws it on a pool thread:
// looking the sizes up and putting the drawn ones into the icon.
void squareGuiThread(benchmark::State& state)
{
    const bool compact = state.range(0) == 0;
    MenuBarGaugeImageRenderer renderer(environment(qreal(state.range(1))));
    long step = 0;
    for (auto _ : state) {
        auto plan = renderer.planSquare(squareInput(compact, step++));
        state.PauseTiming();
        const auto drawn = MenuBarGaugeImageRenderer::drawSquareSizes(plan.job);
        state.ResumeTiming();
        benchmark::DoNotOptimize(renderer.completeSquare(plan, drawn));
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

BENCHMARK(squareMiss)->ArgsProduct({{0, 1}, {1, 2}})->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(squareGuiThread)->ArgsProduct({{0, 1}, {1, 2}})->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(cacheMiss)->ArgsProduct({{0, 1}, {1, 2}})->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(cacheHit)->ArgsProduct({{0, 1}, {1, 2}})->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return vantorel::runBenchmarks<QGuiApplication>(argc, argv);
}
