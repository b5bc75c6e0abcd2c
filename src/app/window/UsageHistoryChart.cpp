#include "app/window/UsageHistoryChart.h"

#include "app/ui/SystemColors.h"
#include "app/ui/UiFont.h"

#include <QCategoryAxis>
#include <QCoreApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

#include <cmath>

namespace vantorel {

namespace {

constexpr qreal lineWidth = 2;
constexpr int chartTopMargin = 4;
// The original marks the newest sample with a symbol of 34 square points; a circle of the same
// area is about 6.6 px across.
const qreal latestMarkerDiameter = 2 * std::sqrt(34 / M_PI);

QColor weeklyColor(const SystemColors& colors)
{
    return colors.systemGreen;
}

QPen linePen(const QColor& color)
{
    QPen pen(color, lineWidth);
    // The series is stroked segment by segment, so each of up to 360 segments gets two caps:
    // round ones doubled the time a redraw takes, and at 2 px they look the same.
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

QScatterSeries* latestMarker()
{
    auto* series = new QScatterSeries;
    series->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    series->setMarkerSize(latestMarkerDiameter);
    series->setPen(Qt::NoPen);
    return series;
}

} // namespace

UsageHistoryChart::UsageHistoryChart(QWidget* parent)
    : QChartView(new QChart, parent)
    , m_fiveHour(new QLineSeries)
    , m_weekly(new QLineSeries)
    , m_latestFiveHour(latestMarker())
    , m_latestWeekly(latestMarker())
    , m_xAxis(new QCategoryAxis)
    , m_yAxis(new QValueAxis)
    , m_fiveHourColor([](const SystemColors& c) { return c.systemBlue; })
{
    setObjectName(QStringLiteral("usageChart"));
    // 224 px when the page has room; with both notes and the pace details shown the chart gives
    // up some height so that its axis labels stay inside the window.
    setMinimumHeight(minimumChartHeight);
    setMaximumHeight(chartHeight);
    setFrameShape(QFrame::NoFrame);
    // A picture with nothing to scroll or pick: no Tab stop.
    setFocusPolicy(Qt::NoFocus);
    setRenderHint(QPainter::Antialiasing);
    setBackgroundBrush(Qt::NoBrush);
    setStyleSheet(QStringLiteral("background: transparent"));

    QChart* chart = this->chart();
    chart->legend()->hide();
    chart->setBackgroundVisible(false);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(0, chartTopMargin, 0, 0));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setPlotAreaBackgroundVisible(true);
    m_fiveHour->setName(QStringLiteral("5時間"));
    m_weekly->setName(QStringLiteral("週間"));
    for (QAbstractSeries* series : {static_cast<QAbstractSeries*>(m_fiveHour), static_cast<QAbstractSeries*>(m_weekly),
                                    static_cast<QAbstractSeries*>(m_latestFiveHour),
                                    static_cast<QAbstractSeries*>(m_latestWeekly)})
        chart->addSeries(series);

    const QFont labelFont = UiFont::system(9);
    // Qt's date axis spaces its marks evenly from the range's start; marks of our own choosing
    // fall on round times, each label under its mark.
    m_xAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_xAxis->setLabelsFont(labelFont);
    m_xAxis->setLineVisible(false);
    m_yAxis->setRange(0, 100);
    m_yAxis->setTickCount(5);
    m_yAxis->setLabelFormat(QStringLiteral("%d%"));
    m_yAxis->setLabelsFont(labelFont);
    chart->addAxis(m_xAxis, Qt::AlignBottom);
    chart->addAxis(m_yAxis, Qt::AlignLeft);
    for (QAbstractSeries* series : chart->series()) {
        series->attachAxis(m_xAxis);
        series->attachAxis(m_yAxis);
    }
    applyColors();
    QCoreApplication::instance()->installEventFilter(this);
}

UsageHistoryChart::~UsageHistoryChart()
{
    // Qt Charts measures every label with one text item that outlives every chart and keeps the
    // font and text of the last label measured, with the faces they loaded. The last label it
    // measures here is an empty one, which needs no face at all.
    for (const QString& label : m_xAxis->categoriesLabels())
        m_xAxis->remove(label);
    m_yAxis->setVisible(false);
    m_xAxis->append(QString(), m_xAxis->min());
    chart()->layout()->activate();
}

void UsageHistoryChart::apply(const UsageChartData& data, bool timeAxis, ColorPick fiveHourColor)
{
    m_fiveHourColor = std::move(fiveHourColor);
    m_fiveHour->replace(data.fiveHour);
    m_weekly->replace(data.weekly);
    m_latestFiveHour->replace(data.latestFiveHour ? QList<QPointF>{*data.latestFiveHour} : QList<QPointF>());
    m_latestWeekly->replace(data.latestWeekly ? QList<QPointF>{*data.latestWeekly} : QList<QPointF>());
    const usagehistory::ChartXRange range = usagehistory::chartXRange(data);
    for (const QString& label : m_xAxis->categoriesLabels())
        m_xAxis->remove(label);
    m_xAxis->setRange(range.from, range.to);
    m_xAxis->setStartValue(range.from);
    QStringList labels;
    for (const usagehistory::ChartAxisTick& tick : usagehistory::chartAxisTicks(range, timeAxis)) {
        // The axis keeps one category per label; a time that comes round again (a span across
        // midnight) gets an invisible suffix so that it stays.
        QString label = tick.label;
        while (labels.contains(label))
            label.append(QChar(0x200B));
        labels.append(label);
        m_xAxis->append(label, tick.x);
    }
    // Each label is centred under its mark, so the last one may reach past the plot's right edge
    // ("12月8日" showed as "12月8"): the chart keeps half of it as room on that side.
    const int lastLabelRoom =
        labels.isEmpty() ? 0 : QFontMetrics(m_xAxis->labelsFont()).horizontalAdvance(labels.last()) / 2 + 1;
    chart()->setMargins(QMargins(0, chartTopMargin, lastLabelRoom, 0));
    applyColors();
}

QStringList UsageHistoryChart::axisLabels() const
{
    QStringList labels = m_xAxis->categoriesLabels();
    for (QString& label : labels)
        label.remove(QChar(0x200B));
    return labels;
}

bool UsageHistoryChart::eventFilter(QObject* watched, QEvent* event)
{
    // The style sheet keeps every palette change from the chart, which kept the axis labels of the
    // scheme it was built in; the application object itself hears of a new palette.
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange)
        applyColors();
    return QChartView::eventFilter(watched, event);
}

void UsageHistoryChart::applyColors()
{
    const SystemColors& colors = SystemColors::current();
    const QColor fiveHour = m_fiveHourColor(colors);
    m_fiveHour->setPen(linePen(fiveHour));
    m_latestFiveHour->setColor(fiveHour);
    m_weekly->setPen(linePen(weeklyColor(colors)));
    m_latestWeekly->setColor(weeklyColor(colors));
    m_xAxis->setGridLineColor(SystemColors::withOpacity(colors.secondaryLabel, 0.1));
    m_yAxis->setGridLineColor(SystemColors::withOpacity(colors.secondaryLabel, 0.16));
    m_yAxis->setLinePenColor(SystemColors::withOpacity(colors.secondaryLabel, 0.16));
    m_xAxis->setLabelsColor(colors.secondaryText);
    m_yAxis->setLabelsColor(colors.secondaryText);
    chart()->setPlotAreaBackgroundBrush(SystemColors::withOpacity(colors.secondaryLabel, 0.035));
}

} // namespace vantorel
