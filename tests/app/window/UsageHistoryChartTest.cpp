#include "app/window/UsageHistoryChart.h"

#include "app/ui/SystemColors.h"
#include "app/ui/UiFont.h"
#include "support/MappedFonts.h"

#include <QDateTime>

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

} // namespace
} // namespace vantorel
