#pragma once

#include "core/foundation/Date.h"

#include <QWidget>

#include <optional>

class QLabel;

namespace vantorel {

class MinuteTicker;
class ShrinkingLabel;
class UsageMeterBar;

// One usage window inside a provider card: its name, the bar, the remaining text and the reset
// schedule, which follows the ticker's minutes.
class CompactUsageMeter : public QWidget
{
    Q_OBJECT

public:
    CompactUsageMeter(const QString& label, MinuteTicker& ticker, QWidget* parent = nullptr);

    void setValues(std::optional<double> percent, std::optional<Date> resetAt, bool temporarilyUnavailable,
                   bool formatUnconfirmed);

private:
    void updateResetLines();

    MinuteTicker& m_ticker;
    std::optional<double> m_percent;
    std::optional<Date> m_resetAt;
    bool m_temporarilyUnavailable = false;
    UsageMeterBar* m_bar;
    QLabel* m_leftText;
    ShrinkingLabel* m_primary;
    QLabel* m_secondary;
};

} // namespace vantorel
