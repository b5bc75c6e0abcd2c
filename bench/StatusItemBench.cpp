// Cost of one status-item update when nothing visible changed, the common case: the view model
// announces every change, and most do not touch the menu bar. Measured with a tray host (the
// item is left alone) and without one (the fallback panel is presented again).
#include "app/shell/StatusItemController.h"
#include "app/viewmodel/AppViewModel.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "support/BenchmarkMain.h"

#include <QApplication>
#include <QThreadPool>

#include <benchmark/benchmark.h>

#include <memory>

namespace vantorel {
namespace {

class QuietTray final : public StatusItemBackend {
public:
    explicit QuietTray(bool available)
        : m_available(available)
    {
    }
    bool isAvailable() const override { return m_available; }
    void setIcon(const QIcon&) override {}
    void setToolTip(const QString&, const QStringList&) override {}
    void setVisible(bool visible) override { m_visible = visible; }
    bool isVisible() const override { return m_visible; }
    QRect anchorRectangle() const override { return {}; }

private:
    bool m_available;
    bool m_visible = false;
};

// A view model that shows both providers and starts no services.
std::unique_ptr<AppViewModel> makeViewModel()
{
    AppViewModelDependencies dependencies;
    dependencies.defaults = std::make_shared<InMemorySettingsStore>();
    dependencies.automaticallyStartServices = false;
    dependencies.log = [](const QString&) {};
    auto viewModel = std::make_unique<AppViewModel>(std::move(dependencies));
    auto settings = viewModel->settings();
    settings.codexEnabled = settings.claudeEnabled = true;
    viewModel->setSettings(settings);
    return viewModel;
}

std::unique_ptr<StatusItemController> makeController(AppViewModel& viewModel, bool trayAvailable)
{
    return std::make_unique<StatusItemController>(
        viewModel, StatusItemController::Dependencies{
                       .backend = std::make_unique<QuietTray>(trayAvailable),
                       .rendererEnvironment = {.appearance = [] { return MenuBarPalette::light(); },
                                               .devicePixelRatio = [] { return 1.0; }},
                       .log = [](const QString&) {}});
}

void unchangedUpdate(benchmark::State& state)
{
    const auto owner = makeViewModel();
    AppViewModel& viewModel = *owner;
    viewModel.publishedState().usageSnapshot = UsageSnapshot{.fiveHourRemainingPercent = 37.2,
                                                             .weeklyRemainingPercent = 80,
                                                             .source = UsageSource::manual};
    const auto controller = makeController(viewModel, state.range(0) == 1);
    for (auto _ : state)
        controller->updateButton();
    state.SetLabel(state.range(0) == 1 ? "tray" : "fallback panel");
}

// GUI-thread time from a new reading to the tray's new picture: the update that hands the
// drawing to a pool thread, and the delivery that puts the drawn sizes into the icon. The wait
// for the pool thread is not GUI-thread time and is left out.
void readingArrives(benchmark::State& state)
{
    const auto owner = makeViewModel();
    AppViewModel& viewModel = *owner;
    const auto controller = makeController(viewModel, true);
    long step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        viewModel.publishedState().usageSnapshot = UsageSnapshot{.fiveHourRemainingPercent = double(step % 101),
                                                                 .weeklyRemainingPercent = double((step / 101) % 101),
                                                                 .source = UsageSource::manual};
        ++step;
        QCoreApplication::removePostedEvents(nullptr);
        state.ResumeTiming();
        controller->updateButton();
        state.PauseTiming();
        QThreadPool::globalInstance()->waitForDone();
        state.ResumeTiming();
        QCoreApplication::sendPostedEvents(qApp, QEvent::MetaCall);
    }
}

BENCHMARK(readingArrives)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(unchangedUpdate)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace vantorel

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return vantorel::runBenchmarks<QApplication>(argc, argv);
}
