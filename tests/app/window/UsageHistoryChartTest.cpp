#include "app/window/UsageHistoryChart.h"

#include "app/ui/SystemColors.h"
#include "app/ui/UiFont.h"
#include "support/MappedFonts.h"
#include "support/ViewTest.h"

#include <QApplication>
#include <QChart>
#include <QDateTime>
#include <QFontMetrics>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

// Qt Charts keeps the last label it measured for good; a chart of dates must not leave it holding
// the Japanese face, nor any other, once the chart is gone.
TEST(UsageHistoryChart, ClosedChartLeavesNoFaceBehind)
{
    const double now = double(QDateTime(QDate(2026, 3, 7), QTime(12, 0)).toMSecsSinceEpoch());
    const double day = 24 * 3600 * 1000.0;
    UsageChartData data;
    data.fiveHour = {{now - 6 * day, 80}, {now, 40}};
    data.minimumX = now - 6 * day;
    data.maximumX = now;
    {
        UsageHistoryChart chart;
        chart.resize(400, UsageHistoryChart::chartHeight);
        chart.apply(data, false, [](const SystemColors& colors) { return colors.systemBlue; });
        ASSERT_TRUE(chart.axisLabels().join(QString()).contains(u'日'));
        chart.show();
        chart.grab();
        ASSERT_FALSE(mappedCjkFonts().isEmpty());
    }
    UiFont::releaseUnusedFaces();
    EXPECT_TRUE(mappedFonts().isEmpty()) << mappedFonts().join(u' ').toStdString();
}

// A label sits centred under its mark; the last mark of a week may lie a few pixels from the
// plot's right edge, and its label must still be whole ("12月8日", not "12月8").
class UsageHistoryChartView : public ViewTest
{
};

TEST_F(UsageHistoryChartView, LastDateLabelFitsInsideTheChart)
{
    const auto at = [](int day, int hour, int minute) {
        return double(QDateTime(QDate(2025, 12, day), QTime(hour, minute)).toMSecsSinceEpoch());
    };
    UsageChartData data;
    data.minimumX = at(1, 23, 0);
    data.maximumX = at(8, 0, 10);
    data.fiveHour = {{data.minimumX, 80}, {data.maximumX, 40}};
    UsageHistoryChart chart;
    chart.resize(354, UsageHistoryChart::chartHeight);
    chart.apply(data, false, [](const SystemColors& colors) { return colors.systemBlue; });
    chart.show();
    QApplication::processEvents();
    ASSERT_EQ(chart.axisLabels().last(), QStringLiteral("12月8日"));
    const QPointF mark = chart.chart()->mapToPosition(QPointF(at(8, 0, 0), 50), chart.chart()->series().first());
    const int half = QFontMetrics(UiFont::system(9)).horizontalAdvance(QStringLiteral("12月8日")) / 2;
    EXPECT_LE(mark.x() + half, chart.width()) << "the label ends past the chart's edge";
    saveGrab(&chart, QStringLiteral("usage-chart-week"));
    setDark(true);
    QApplication::processEvents();
    saveGrab(&chart, QStringLiteral("usage-chart-week-dark"));
}

} // namespace
} // namespace vantorel
