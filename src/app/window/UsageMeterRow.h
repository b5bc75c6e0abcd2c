#pragma once

#include "core/foundation/Date.h"

#include <QWidget>

#include <optional>

class QLabel;

namespace vantorel {

class MinuteTicker;
class StatusDot;
class UsageMeterBar;

// The larger meter of the API rate card: title, status dot and reset countdown, then the bar
// and the remaining text.
class UsageMeterRow : public QWidget
{
    Q_OBJECT

public:
    UsageMeterRow(const QString& title, MinuteTicker& ticker, QWidget* parent = nullptr);

    void setValues(std::optional<double> percent, std::optional<Date> resetAt, std::optional<double> resetSeconds);

private:
    void updateResetText();

    MinuteTicker& m_ticker;
    std::optional<Date> m_resetAt;
    std::optional<double> m_resetSeconds;
    StatusDot* m_dot;
    QLabel* m_resetText;
    UsageMeterBar* m_bar;
    QLabel* m_leftText;
};

} // namespace vantorel
