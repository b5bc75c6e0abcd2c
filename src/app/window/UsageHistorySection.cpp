#include "app/window/UsageHistorySection.h"

#include "app/setup/UsageConsumptionSummaryView.h"
#include "app/ui/CaptionLabel.h"
#include "app/ui/Divider.h"
#include "app/ui/SegmentedControl.h"
#include "app/ui/SymbolView.h"
#include "app/ui/SystemColors.h"
#include "app/ui/UiFont.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/window/HistoryEmptyState.h"
#include "app/window/UsageHistoryChart.h"
#include "app/window/UsageHistoryRules.h"
#include "core/foundation/DateTexts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace vantorel {

namespace {

constexpr int rangePickerWidth = 154;
constexpr int figuresHeight = 45;

ColorPick fiveHourColor(MonitoredProvider provider)
{
    if (provider == MonitoredProvider::claude)
        return [](const SystemColors& c) { return c.systemOrange; };
    return [](const SystemColors& c) { return c.systemBlue; };
}

QColor weeklyTint(const SystemColors& c)
{
    return c.systemGreen;
}

QLabel* plainLabel(const QFont& font, ColorPick color, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    setTextColor(label, std::move(color));
    return label;
}

QStringList providerLabels()
{
    QStringList labels;
    for (const MonitoredProvider provider : allMonitoredProviders)
        labels.append(displayName(provider));
    return labels;
}

QStringList rangeLabels()
{
    QStringList labels;
    for (const UsageHistoryRange range : allUsageHistoryRanges)
        labels.append(segmentLabel(range));
    return labels;
}

} // namespace

// The widgets that the classes below hold need a name with linkage: GCC rejects anonymous ones
// there when this file is part of a unity batch.
namespace usageHistoryDetail {

// One figure: a caption over a bold value, centred in an equal share of the row.
class HistoryMetric final : public QWidget
{
public:
    HistoryMetric(const QString& title, const char* name, QWidget* parent)
        : QWidget(parent)
        , m_value(plainLabel(UiFont::system(14, QFont::Bold), colors::label, this))
    {
        m_value->setObjectName(QString::fromLatin1(name));
        m_value->setAlignment(Qt::AlignHCenter);
        auto* caption = plainLabel(UiFont::caption2(), colors::secondary, this);
        caption->setText(title);
        caption->setAlignment(Qt::AlignHCenter);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(2);
        layout->addStretch(1);
        layout->addWidget(caption);
        layout->addWidget(m_value);
        layout->addStretch(1);
    }

    void present(const QString& value, ColorPick color)
    {
        m_value->setText(value);
        setTextColor(m_value, std::move(color));
    }

private:
    QLabel* m_value;
};

} // namespace usageHistoryDetail

namespace {

QWidget* paddedDivider(QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 4, 0, 4);
    layout->addWidget(new Divider(Qt::Vertical, 0, box));
    return box;
}

} // namespace

// The row of three figures, with a line over its top and its bottom edge.
class UsageHistoryFigures final : public QWidget
{
public:
    explicit UsageHistoryFigures(QWidget* parent)
        : QWidget(parent)
        , m_fiveHour(new usageHistoryDetail::HistoryMetric(QStringLiteral("5時間"), "figure.fiveHour", this))
        , m_weekly(new usageHistoryDetail::HistoryMetric(QStringLiteral("週間"), "figure.weekly", this))
        , m_count(new usageHistoryDetail::HistoryMetric(QStringLiteral("記録"), "figure.count", this))
    {
        setObjectName(QStringLiteral("usageFigures"));
        setFixedHeight(figuresHeight);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(m_fiveHour, 1);
        layout->addWidget(paddedDivider(this));
        layout->addWidget(m_weekly, 1);
        layout->addWidget(paddedDivider(this));
        layout->addWidget(m_count, 1);
    }

    void present(const UsageFigures& figures, ColorPick fiveHourColor)
    {
        m_fiveHour->present(figures.fiveHour, std::move(fiveHourColor));
        m_weekly->present(figures.weekly, weeklyTint);
        m_count->present(figures.count, colors::label);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QColor line = SystemColors::current().separator;
        painter.fillRect(QRect(0, 0, width(), 1), line);
        painter.fillRect(QRect(0, height() - 1, width(), 1), line);
    }

private:
    usageHistoryDetail::HistoryMetric* m_fiveHour;
    usageHistoryDetail::HistoryMetric* m_weekly;
    usageHistoryDetail::HistoryMetric* m_count;
};

namespace usageHistoryDetail {

// A short capsule in the series colour, then the series name.
class ChartLegendItem final : public QWidget
{
public:
    ChartLegendItem(const QString& title, QWidget* parent)
        : QWidget(parent)
        , m_title(title)
    {
        setAccessibleName(title);
        setFont(UiFont::caption2());
        setFixedSize(capsuleWidth + spacing + fontMetrics().horizontalAdvance(title) + 1, fontMetrics().height());
    }

    void present(ColorPick color, qreal opacity)
    {
        m_color = std::move(color);
        m_opacity = opacity;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const SystemColors& colors = SystemColors::current();
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(m_opacity);
        QPainterPath capsule;
        capsule.addRoundedRect(QRectF(0, (height() - capsuleHeight) / 2.0, capsuleWidth, capsuleHeight), 1.5, 1.5);
        painter.fillPath(capsule, m_color ? m_color(colors) : colors.secondaryLabel);
        painter.setPen(colors.secondaryText);
        painter.drawText(QRect(capsuleWidth + spacing, 0, width(), height()), Qt::AlignLeft | Qt::AlignVCenter, m_title);
    }

private:
    static constexpr int capsuleWidth = 15;
    static constexpr int capsuleHeight = 3;
    static constexpr int spacing = 5;
    QString m_title;
    ColorPick m_color;
    qreal m_opacity = 1;
};

} // namespace usageHistoryDetail

// The chart's own legend: both series and the time of the newest sample.
class UsageHistoryLegend final : public QWidget
{
public:
    explicit UsageHistoryLegend(QWidget* parent)
        : QWidget(parent)
        , m_fiveHour(new usageHistoryDetail::ChartLegendItem(QStringLiteral("5時間"), this))
        , m_weekly(new usageHistoryDetail::ChartLegendItem(QStringLiteral("週間"), this))
        , m_latest(plainLabel(UiFont::caption2(), colors::tertiary, this))
    {
        setObjectName(QStringLiteral("usageLegend"));
        m_fiveHour->setObjectName(QStringLiteral("legend.fiveHour"));
        m_weekly->setObjectName(QStringLiteral("legend.weekly"));
        m_latest->setObjectName(QStringLiteral("legend.latest"));
        m_weekly->present(weeklyTint, 1);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(14);
        layout->addWidget(m_fiveHour);
        layout->addWidget(m_weekly);
        layout->addStretch(1);
        layout->addWidget(m_latest);
    }

    void present(ColorPick fiveHourColor, bool paused, const QString& latest)
    {
        m_fiveHour->present(std::move(fiveHourColor), paused ? 0.45 : 1.0);
        m_fiveHour->setProperty("legendOpacity", paused ? 0.45 : 1.0);
        m_latest->setText(latest);
    }

private:
    usageHistoryDetail::ChartLegendItem* m_fiveHour;
    usageHistoryDetail::ChartLegendItem* m_weekly;
    QLabel* m_latest;
};

UsageHistorySection::UsageHistorySection(AppViewModel& viewModel, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_providerPicker(new SegmentedControl(providerLabels(), this))
    , m_rangePicker(new SegmentedControl(rangeLabels(), this))
    , m_pauseNote(new QWidget(this))
    , m_figures(new UsageHistoryFigures(this))
    , m_consumption(new UsageConsumptionSummaryView(this))
    , m_unconfirmedNote(new CaptionLabel(
          QStringLiteral("期間を確認できない旧履歴は、保存したままグラフと同期の対象外にしています。"), this))
    , m_emptyState(new HistoryEmptyState(QStringLiteral("chart.xyaxis.line"),
                                         QStringLiteral("この期間の使用率履歴はありません"),
                                         QStringLiteral("次回の使用率更新後に記録されます。"), this))
    , m_chartBox(new QWidget(this))
    , m_legend(new UsageHistoryLegend(m_chartBox))
    , m_chart(new UsageHistoryChart(m_chartBox))
{
    setObjectName(QStringLiteral("usageSection"));
    m_providerPicker->setObjectName(QStringLiteral("usageProvider"));
    m_providerPicker->setAccessibleName(QStringLiteral("サービス"));
    m_providerPicker->setCurrentIndex(int(m_provider));
    m_rangePicker->setObjectName(QStringLiteral("usageRange"));
    m_rangePicker->setAccessibleName(QStringLiteral("期間"));
    m_rangePicker->setCurrentIndex(int(m_range));
    m_rangePicker->setFixedWidth(rangePickerWidth);
    auto* pickers = new QHBoxLayout;
    pickers->setSpacing(8);
    pickers->addWidget(m_providerPicker, 1);
    pickers->addWidget(m_rangePicker);

    m_pauseNote->setObjectName(QStringLiteral("pauseNote"));
    auto* pauseText = plainLabel(UiFont::caption2(), colors::secondary, m_pauseNote);
    pauseText->setText(QStringLiteral("5時間枠は一時停止中・復活時に自動再開"));
    auto* pauseRow = new QHBoxLayout(m_pauseNote);
    pauseRow->setContentsMargins(0, 0, 0, 0);
    pauseRow->setSpacing(4);
    pauseRow->addWidget(new SymbolView(QStringLiteral("pause.circle.fill"), 11, colors::secondary, m_pauseNote));
    pauseRow->addWidget(pauseText, 1);

    m_unconfirmedNote->setObjectName(QStringLiteral("unconfirmedNote"));
    m_chart->setAccessibleName(displayName(m_provider) + QStringLiteral("の使用率推移"));
    auto* chartLayout = new QVBoxLayout(m_chartBox);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->setSpacing(7);
    chartLayout->addWidget(m_legend);
    chartLayout->addWidget(m_chart);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(11);
    layout->addLayout(pickers);
    layout->addWidget(m_pauseNote);
    layout->addWidget(m_figures);
    layout->addWidget(m_consumption);
    layout->addWidget(m_unconfirmedNote);
    layout->addWidget(m_emptyState);
    layout->addWidget(m_chartBox);
    layout->addStretch(1);

    connect(m_providerPicker, &SegmentedControl::activated, this, [this](int index) {
        m_provider = allMonitoredProviders[std::size_t(index)];
        refresh();
    });
    connect(m_rangePicker, &SegmentedControl::activated, this, [this](int index) {
        m_range = allUsageHistoryRanges[std::size_t(index)];
        refresh();
    });
    refresh();
}

void UsageHistorySection::refresh()
{
    const Date now = m_viewModel.now();
    const QList<UsageHistoryEntry> confirmed = m_viewModel.confirmedUsageHistory();
    const bool paused
        = m_provider == MonitoredProvider::codex && m_viewModel.codexFiveHourWindowIsTemporarilyUnavailable();
    m_filtered = usagehistory::filteredUsageEntries(confirmed, m_provider, m_range, now);

    m_pauseNote->setVisible(paused);
    m_figures->present(usagehistory::usageFigures(m_filtered, paused), fiveHourColor(m_provider));
    const std::optional<UsageSnapshot> displayed = m_provider == MonitoredProvider::codex
                                                       ? m_viewModel.displayedCodexUsageSnapshot()
                                                       : m_viewModel.displayedClaudeUsageSnapshot();
    const auto result = [&](UsageNotificationWindow window) {
        return usagehistory::consumptionResult(usagehistory::consumptionInputs(
            window, m_provider, confirmed, m_viewModel.settings(), displayed, m_range, now));
    };
    // A paused five-hour window is not analysed at all.
    m_consumption->setResults(paused ? UsageConsumptionResult::insufficientData()
                                     : result(UsageNotificationWindow::fiveHour),
                              result(UsageNotificationWindow::weekly), fiveHourColor(m_provider), paused);
    m_unconfirmedNote->setVisible(usagehistory::showsUnconfirmedNote(m_provider, m_viewModel.usageHistory()));

    const ChartKey key{m_provider,
                       m_range,
                       paused,
                       m_filtered.size(),
                       m_filtered.isEmpty() ? QUuid() : m_filtered.first().id,
                       m_filtered.isEmpty() ? QUuid() : m_filtered.last().id};
    if (key != m_chartKey) {
        m_chartKey = key;
        rebuildChart(paused);
    }
    emit entriesChanged();
}

void UsageHistorySection::rebuildChart(bool paused)
{
    const bool empty = m_filtered.isEmpty();
    m_emptyState->setVisible(empty);
    m_chartBox->setVisible(!empty);
    if (empty)
        return;
    m_legend->present(fiveHourColor(m_provider), paused, DateTexts::historyDateText(m_filtered.last().recordedAt));
    m_chart->setAccessibleName(displayName(m_provider) + QStringLiteral("の使用率推移"));
    m_chart->apply(usagehistory::usageChartData(usagehistory::downsampledUsageEntries(m_filtered)),
                   usagehistory::usageHistoryUsesTimeAxis(m_filtered), fiveHourColor(m_provider));
}

} // namespace vantorel
