#pragma once

#include "app/ui/TextColor.h"
#include "sync/presentation/UsageConsumptionResult.h"

#include <QString>
#include <QWidget>

#include <optional>

namespace vantorel {

class UsageConsumptionResultRow;

// The lines of one window's row in the consumption summary.
struct UsageConsumptionRowText
{
    QString primary;
    std::optional<QString> detail;
    // The row's accessibility value: the unavailable text, or headline and detail joined by "、".
    QString accessibilityValue;

    bool operator==(const UsageConsumptionRowText&) const = default;
};

// The boxed "消費ペース" panel: how fast the five-hour and the weekly window are being used up.
// A paused five-hour window shows "一時停止中" and its analysis is not consulted.
class UsageConsumptionSummaryView : public QWidget
{
    Q_OBJECT

public:
    explicit UsageConsumptionSummaryView(QWidget* parent = nullptr);

    void setResults(const UsageConsumptionResult& fiveHour, const UsageConsumptionResult& weekly,
                    ColorPick fiveHourColor, bool fiveHourPaused);

    // `unavailableText` wins over any result; without a result the primary line reads that the
    // records are insufficient.
    static UsageConsumptionRowText rowText(const std::optional<UsageConsumptionResult>& result,
                                           const std::optional<QString>& unavailableText);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    UsageConsumptionResultRow* m_fiveHour;
    UsageConsumptionResultRow* m_weekly;
};

} // namespace vantorel
