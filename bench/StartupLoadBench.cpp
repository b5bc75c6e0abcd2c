// Start-up load: the settings thread's read of the file, the decoding of the usage history that
// follows the tray item (2,500 samples, and a foreign file of 40,000 that retention cuts down),
// and the GUI thread's view-model load of a file with every history full (2,500 usage samples,
// 120 notification records, 128 queued Discord items) with the usage history decoded in it or
// left for later.

#include "FullHistories.h"
#include "app/shell/StartupSettings.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/AppViewModelDependencies.h"
#include "app/viewmodel/StoredHistories.h"
#include "app/viewmodel/StoredState.h"
#include "core/model/ModelCoding.h"
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

// A file another program wrote: `count` usage samples 900 s apart up to now, most of them past
// retention, in the stored form.
struct ForeignFile
{
    explicit ForeignFile(int count)
    {
        QByteArray text = "[";
        for (int i = count - 1; i >= 0; --i) {
            const UsageHistoryEntry sample{QUuid::createUuid(), i % 2 ? MonitoredProvider::codex : MonitoredProvider::claude,
                                           now - i * 900.0, 40.5 + i % 50, 80.25 - i % 30, 1};
            text += json::write(toJson(sample), json::Form::store);
            text += i ? "," : "]";
        }
        JsonFileSettingsStore store(path());
        store.set(StoredState::Keys::usageHistory, text);
        store.set(StoredState::Keys::defaultsApplied, true);
    }
    QString path() const { return directory.filePath(QStringLiteral("defaults.json")); }

    QTemporaryDir directory;
};

void readFile(benchmark::State& state)
{
    const ForeignFile file(int(state.range(0)));
    for (auto _ : state) {
        auto contents = JsonFileSettingsStore::read(file.path());
        benchmark::DoNotOptimize(contents);
    }
}
BENCHMARK(readFile)->ArgName("samples")->Arg(2'500)->Arg(40'000)->Unit(benchmark::kMillisecond);

// The settings thread's work before the tray item, and the usage history's decoding after it.
void decodeUsageHistory(benchmark::State& state)
{
    const ForeignFile file(int(state.range(0)));
    const auto contents = JsonFileSettingsStore::read(file.path());
    const QByteArray text = JsonFileSettingsStore::storedData(*contents, StoredState::Keys::usageHistory).value();
    for (auto _ : state) {
        auto samples = StoredHistories::decodeUsage(text, now);
        if (samples.size() != std::min<qsizetype>(state.range(0), HistoryRetention::maximumUsageEntries))
            state.SkipWithError("usage samples lost while decoding");
        benchmark::DoNotOptimize(samples);
    }
}
BENCHMARK(decodeUsageHistory)->ArgName("samples")->Arg(2'500)->Arg(40'000)->Unit(benchmark::kMillisecond);

// GUI thread before the tray item: the store built over the read file and the view model's
// load, with the usage history decoded in the load (0) or left for later (1).
void viewModelLoad(benchmark::State& state)
{
    const FullFile file;
    const bool usageHistoryLater = state.range(0) == 1;
    for (auto _ : state) {
        state.PauseTiming();
        StartupSettings startup = StartupSettings::read(file.path());
        state.ResumeTiming();
        auto store = std::make_shared<JsonFileSettingsStore>(std::move(startup.contents), file.path());
        auto dependencies = loadOnly(store);
        dependencies.usageHistoryLater = usageHistoryLater;
        auto viewModel = std::make_unique<AppViewModel>(std::move(dependencies));
        state.PauseTiming();
        viewModel->storedState().finishLoadingUsageHistory();
        if (viewModel->usageHistory().size() != HistoryRetention::maximumUsageEntries)
            state.SkipWithError("usage samples lost while loading");
        // Its write-back of the repaired state happens on the store's thread, outside the load.
        viewModel.reset();
        store.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(viewModelLoad)->ArgName("usageHistoryLater")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantorel

int main(int argc, char** argv)
{
    return vantorel::runBenchmarks<QCoreApplication>(argc, argv);
}
