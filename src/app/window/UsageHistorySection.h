#pragma once

#include "app/window/UsageHistoryRange.h"
#include "core/model/MonitoredProvider.h"
#include "core/model/UsageHistoryEntry.h"

#include <QList>
#include <QUuid>
#include <QWidget>

class QLabel;

namespace vantorel {

class AppViewModel;
class HistoryEmptyState;
class SegmentedControl;
class UsageConsumptionSummaryView;
class UsageHistoryChart;
class UsageHistoryFigures;
class UsageHistoryLegend;

// The usage section of the history page: provider and period pickers, the paused-window note,
// the latest figures, the consumption pace, the note on left-out samples and the chart (or the
// empty state). Provider and period are view state and start at Codex and 7 days.
class UsageHistorySection : public QWidget
{
    Q_OBJECT

public:
    explicit UsageHistorySection(AppViewModel& viewModel, QWidget* parent = nullptr);

    MonitoredProvider provider() const { return m_provider; }
    UsageHistoryRange range() const { return m_range; }
    // The confirmed samples of the provider within the period, as of the last refresh.
    const QList<UsageHistoryEntry>& filteredEntries() const { return m_filtered; }

    // Reads the view model again. The figures and the pace are recomputed every time; the chart
    // only when what it draws may have changed.
    void refresh();

signals:
    void entriesChanged();

private:
    // What decides the drawn series; the samples of one provider only ever append or age out.
    struct ChartKey
    {
        MonitoredProvider provider = MonitoredProvider::codex;
        UsageHistoryRange range = UsageHistoryRange::week;
        bool paused = false;
        qsizetype count = -1;
        QUuid first;
        QUuid last;
        bool operator==(const ChartKey&) const = default;
    };

    void rebuildChart(bool paused);

    AppViewModel& m_viewModel;
    MonitoredProvider m_provider = MonitoredProvider::codex;
    UsageHistoryRange m_range = UsageHistoryRange::week;
    SegmentedControl* m_providerPicker;
    SegmentedControl* m_rangePicker;
    QWidget* m_pauseNote;
    UsageHistoryFigures* m_figures;
    UsageConsumptionSummaryView* m_consumption;
    QLabel* m_unconfirmedNote;
    HistoryEmptyState* m_emptyState;
    QWidget* m_chartBox;
    UsageHistoryLegend* m_legend;
    UsageHistoryChart* m_chart;
    QList<UsageHistoryEntry> m_filtered;
    ChartKey m_chartKey;
};

} // namespace vantorel
