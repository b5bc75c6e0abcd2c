// GUI-thread time from a parsed Codex reading handed to the view model to the tray item's new
// picture drawn at the size the tray shows, with every history full (2,500 usage samples, 120
// notification records, 128 queued Discord items) in the program's settings file (written on
// its own thread, in a temporary folder), the sync coordinator observing the view model as at
// start-up, and the main window closed or open on its main page. The clock moves on by one sampling interval a
// reading, so each one adds a usage sample and changes the synced content. Also reported: the
// fastest and the median reading ("minMs", "medianMs"), and the work that follows the picture in
// the same burst ("afterIconMs").

#include "ObservedViewModel.h"
#include "app/ui/MenuBarPalette.h"
#include "app/shell/StatusItemController.h"
#include "app/window/ContentView.h"
#include "app/window/MainPanel.h"
#include "core/foundation/JsonFileSettingsStore.h"
#include "support/BenchmarkMain.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QPainter>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <vector>

#include <benchmark/benchmark.h>

namespace vantorel {
namespace {

constexpr double sampleSpacing = 901;
// The size trayer and most panels show.
constexpr int traySide = 22;
// A reading whose picture never arrives ends the run instead of waiting for ever.
constexpr int maximumMillisecondsToPicture = 2'000;

class TimedTray final : public StatusItemBackend {
public:
    bool isAvailable() const override { return true; }
    // The picture is drawn when the tray paints it, on the GUI thread, as an XEmbed tray does.
    void setIcon(const QIcon& icon) override
    {
        m_icon = icon;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (iconAt)
                    return;
                QImage shown(traySide, traySide, QImage::Format_ARGB32_Premultiplied);
                shown.fill(Qt::transparent);
                QPainter painter(&shown);
                m_icon.paint(&painter, shown.rect());
                iconAt = clock.nsecsElapsed();
            },
            Qt::QueuedConnection);
    }
    void setToolTip(const QString&, const QStringList&) override {}
    void setVisible(bool visible) override { m_visible = visible; }
    bool isVisible() const override { return m_visible; }
    QRect anchorRectangle() const override { return {}; }

    QElapsedTimer clock;
    std::optional<qint64> iconAt;

private:
    bool m_visible = true;
    QIcon m_icon;
};

QWidget* mainWindowContent(AppViewModel& viewModel, MacSyncCoordinator& sync, PopoverPage page)
{
    ContentEnvironment environment;
    environment.viewModel = &viewModel;
    environment.syncCoordinator = &sync;
    ContentPages pages;
    pages.main = [](const ContentEnvironment& environment, Binding<PopoverPage> page) {
        return new MainPanel(environment, std::move(page));
    };
    return new ContentView(std::move(environment), std::move(pages), page);
}

void readingToTrayPicture(benchmark::State& state)
{
    const bool windowOpen = state.range(0) == 1;
    // The program's own store, whose writes run on its writer thread.
    QTemporaryDir directory;
    ObservedViewModel observed(
        std::make_shared<JsonFileSettingsStore>(directory.filePath(QStringLiteral("defaults.json"))), sampleSpacing);
    const std::shared_ptr<Date> now = observed.now;
    AppViewModel& viewModel = observed.viewModel;
    MacSyncCoordinator& sync = observed.sync;
    auto tray = std::make_unique<TimedTray>();
    TimedTray& timed = *tray;
    StatusItemController controller(
        viewModel, {.backend = std::move(tray),
                    .rendererEnvironment = {.appearance = [] { return MenuBarPalette::light(); },
                                            .devicePixelRatio = [] { return 1.0; }},
                    .popoverContent = {},
                    .mainWindowContent = [&](PopoverPage page) { return mainWindowContent(viewModel, sync, page); },
                    .log = [](const QString&) {}});
    if (windowOpen)
        controller.showMainWindow(QStringLiteral("bench"));
    QCoreApplication::processEvents();

    int n = 0;
    double afterIcon = 0;
    std::vector<double> toIcon;
    for (auto _ : state) {
        ++n;
        *now = *now + sampleSpacing;
        // Percents that move every reading, so every reading needs a new picture.
        const UsageSnapshot reading{.fiveHourRemainingPercent = 20.0 + n % 61, .weeklyRemainingPercent = 20.0 + n % 61,
                                    .fiveHourResetAt = *now + 3'600, .weeklyResetAt = *now + 86'400,
                                    .planType = QStringLiteral("plus"), .source = UsageSource::codexCLI,
                                    .updatedAt = *now, .codexPeriodValidationVersion = 1};
        timed.iconAt.reset();
        timed.clock.start();
        viewModel.saveUsageSnapshot(reading);
        const QDeadlineTimer deadline(maximumMillisecondsToPicture);
        while (!timed.iconAt && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, maximumMillisecondsToPicture);
        if (!timed.iconAt) {
            state.SkipWithError("the reading never reached the tray picture");
            break;
        }
        state.SetIterationTime(double(*timed.iconAt) / 1e9);
        toIcon.push_back(double(*timed.iconAt) / 1e6);
        // The rest of the burst: the other observers of the same change.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        afterIcon += double(timed.clock.nsecsElapsed() - *timed.iconAt) / 1e6;
    }
    state.counters["afterIconMs"] = n > 0 ? afterIcon / n : 0.0;
    if (!toIcon.empty()) {
        std::sort(toIcon.begin(), toIcon.end());
        state.counters["minMs"] = toIcon.front();
        state.counters["medianMs"] = toIcon[toIcon.size() / 2];
    }
    state.counters["syncRevision"] = sync.latestSnapshot() ? double(sync.latestSnapshot()->revision) : 0.0;
    state.SetLabel(windowOpen ? "window open" : "window closed");
}

BENCHMARK(readingToTrayPicture)
    ->ArgName("windowOpen")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantorel

int main(int argc, char** argv)
{
    return vantorel::runBenchmarks<QApplication>(argc, argv);
}
