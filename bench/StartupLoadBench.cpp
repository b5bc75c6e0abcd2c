// Start-up load of a settings file with every history full (2,500 usage samples, 120
// notification records, 128 queued Discord items): the settings thread's read of the file, the
// decoding of the two histories that moved from the view model's load to that thread, and the
// GUI thread's view-model load over the read file with the histories already decoded against
// decoding them itself.

#include "FullHistories.h"
#include "app/shell/StartupSettings.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/AppViewModelDependencies.h"
#include "app/viewmodel/StoredHistories.h"
#include "core/foundation/JsonFileSettingsStore.h"
#include "support/BenchmarkMain.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace vantorel {
namespace {

constexpr double sampleSpacing = 901;
const Date now = Date::fromUnixSeconds(1'772'323'200);

AppViewModelDependencies loadOnly(std::shared_ptr<SettingsStore> store)
{
    AppViewModelDependencies dependencies;
    dependencies.defaults = std::move(store);
    dependencies.automaticallyStartServices = false;
    dependencies.now = [] { return now; };
    dependencies.log = [](const QString&) {};
    return dependencies;
}

// A settings file as the application leaves it with full histories.
struct FullFile
{
    FullFile()
    {
        auto store = std::make_shared<JsonFileSettingsStore>(path());
        AppViewModel viewModel(loadOnly(store));
        fillHistories(viewModel, now, sampleSpacing);
        QCoreApplication::processEvents();
        store->flush();
    }
    QString path() const { return directory.filePath(QStringLiteral("defaults.json")); }

    QTemporaryDir directory;
};

void readFile(benchmark::State& state)
{
    const FullFile file;
    for (auto _ : state) {
        auto contents = JsonFileSettingsStore::read(file.path());
        benchmark::DoNotOptimize(contents);
    }
}
BENCHMARK(readFile)->Unit(benchmark::kMillisecond);

void decodeHistories(benchmark::State& state)
{
    const FullFile file;
    const auto contents = JsonFileSettingsStore::read(file.path());
    for (auto _ : state) {
        auto histories = StoredHistories::decode(
            [&contents](const QString& key) { return JsonFileSettingsStore::storedData(*contents, key); });
        if (histories.usage.size() != HistoryRetention::maximumUsageEntries)
            state.SkipWithError("usage samples lost while decoding");
        benchmark::DoNotOptimize(histories);
    }
}
BENCHMARK(decodeHistories)->Unit(benchmark::kMillisecond);

// GUI thread: the store built over the read file and the view model's load, with the histories
// decoded by the settings thread (1) or by the load itself (0).
void viewModelLoad(benchmark::State& state)
{
    const FullFile file;
    const bool decodedBefore = state.range(0) == 1;
    for (auto _ : state) {
        state.PauseTiming();
        StartupSettings startup = StartupSettings::read(file.path());
        if (!decodedBefore)
            startup.histories.reset();
        state.ResumeTiming();
        auto store = std::make_shared<JsonFileSettingsStore>(std::move(startup.contents), file.path());
        auto dependencies = loadOnly(store);
        dependencies.storedHistories = std::move(startup.histories);
        auto viewModel = std::make_unique<AppViewModel>(std::move(dependencies));
        state.PauseTiming();
        if (viewModel->usageHistory().size() != HistoryRetention::maximumUsageEntries)
            state.SkipWithError("usage samples lost while loading");
        // Its write-back of the repaired state happens on the store's thread, outside the load.
        viewModel.reset();
        store.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(viewModelLoad)->ArgName("decodedBefore")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantorel

int main(int argc, char** argv)
{
    return vantorel::runBenchmarks<QCoreApplication>(argc, argv);
}
