#pragma once

#include "app/window/DashboardTint.h"

#include <QWidget>

namespace vantorel {

// A rounded background in one tint at a given opacity: the dashboard's cards, banner and pills.
// A negative radius draws a capsule.
class TintedPanel : public QWidget
{
    Q_OBJECT

public:
    TintedPanel(DashboardTint tint, qreal opacity, qreal radius, QWidget* parent = nullptr);

    void setTint(DashboardTint tint);
    DashboardTint tint() const { return m_tint; }

    static constexpr qreal capsule = -1;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DashboardTint m_tint;
    qreal m_opacity;
    qreal m_radius;
};

// A filled circle in one tint.
class StatusDot : public QWidget
{
    Q_OBJECT

public:
    StatusDot(int diameter, DashboardTint tint, QWidget* parent = nullptr);

    void setTint(DashboardTint tint);
    DashboardTint tint() const { return m_tint; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DashboardTint m_tint;
};

} // namespace vantorel
