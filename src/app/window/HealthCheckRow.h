#pragma once

#include "app/window/DashboardTint.h"

#include <QWidget>

class QLabel;

namespace vantorel {

class StatusDot;

// One row of the readiness card: a dot, the title and the value. The value is secondary when
// the dot is, else in the label colour.
class HealthCheckRow : public QWidget
{
    Q_OBJECT

public:
    HealthCheckRow(const QString& title, QWidget* parent = nullptr);

    void setValue(const QString& value, DashboardTint tint);
    QString value() const;

private:
    StatusDot* m_dot;
    QLabel* m_value;
};

} // namespace vantorel
