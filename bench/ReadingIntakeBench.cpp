// GUI-thread cost of taking in one Codex reading with every history full: 2,500 usage samples,
// 120 notification records and 128 queued Discord items, stored in the settings file (written
// behind, so the file write itself happens on the store's thread), and in memory, which leaves
// the view model's own share.

#include "FullHistories.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/AppViewModelDependencies.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "core/foundation/JsonFileSettingsStore.h"
#include "support/BenchmarkMain.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace vantorel {
namespace {

constexpr double sampleSpacing = 901;

void saveUsageSnapshot(benchmark::State& state)
{
    QTemporaryDir directory;
    const bool inFile = state.range(0) == 1;
    auto file = std::make_shared<JsonFileSettingsStore>(directory.filePath(QStringLiteral("defaults.json")));
    const std::shared_ptr<SettingsStore> store = inFile ? std::shared_ptr<SettingsStore>(file)
                                                        : std::make_shared<InMemorySettingsStore>();
    const Date now = Date::fromUnixSeconds(1'772'323'200);
    AppViewModelDependencies dependencies;
    dependencies.defaults = store;
    dependencies.automaticallyStartServices = false;
    dependencies.now = [now] { return now; };
    dependencies.log = [](const QString&) {};
    AppViewModel viewModel(dependencies);

    fillHistories(viewModel, now, sampleSpacing);
    QCoreApplication::processEvents();

    int n = 0;
    for (auto _ : state) {
        ++n;
        const UsageSnapshot reading{.fiveHourRemainingPercent = 50.0 + n % 10, .weeklyRemainingPercent = 70,
                                    .fiveHourResetAt = now + 3'600, .weeklyResetAt = now + 86'400,
                                    .planType = QStringLiteral("plus"), .source = UsageSource::codexCLI,
                                    .updatedAt = now + n * sampleSpacing, .codexPeriodValidationVersion = 1};
        viewModel.saveUsageSnapshot(reading);
        // The turn ends: the store hands its entries to its thread, which serialises them.
        QCoreApplication::processEvents();
    }
    file->flush();
    state.counters["usageSamples"] = double(viewModel.usageHistory().size());
    state.counters["queued"] = double(viewModel.pendingDiscordResetNotifications().size());
}

BENCHMARK(saveUsageSnapshot)->ArgName("settingsFile")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantorel

int main(int argc, char** argv)
{
    return vantorel::runBenchmarks<QCoreApplication>(argc, argv);
}
