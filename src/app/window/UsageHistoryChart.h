#pragma once

#include "app/ui/TextColor.h"
#include "app/window/UsageHistoryRules.h"

#include <QChartView>

class QCategoryAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace vantorel {

// The line chart of the usage section: the five-hour and weekly remaining percent over time,
// with a dot on the newest drawn sample of each line. Qt's legend stays hidden (the section
// draws its own); colours follow the light or dark palette.
class UsageHistoryChart : public QChartView
{
    Q_OBJECT

public:
    explicit UsageHistoryChart(QWidget* parent = nullptr);
    ~UsageHistoryChart() override;

    // Replaces every point at once and sets the horizontal range and its marks.
    void apply(const UsageChartData& data, bool timeAxis, ColorPick fiveHourColor);

    // The labels along the horizontal axis, in order.
    QStringList axisLabels() const;

    static constexpr int chartHeight = 224;
    static constexpr int minimumChartHeight = 140;

    QSize sizeHint() const override { return {QChartView::sizeHint().width(), chartHeight}; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyColors();

    QLineSeries* m_fiveHour;
    QLineSeries* m_weekly;
    QScatterSeries* m_latestFiveHour;
    QScatterSeries* m_latestWeekly;
    QCategoryAxis* m_xAxis;
    QValueAxis* m_yAxis;
    ColorPick m_fiveHourColor;
};

} // namespace vantorel
