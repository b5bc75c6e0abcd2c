#include "app/window/TintedPanel.h"

#include "app/ui/SystemColors.h"

#include <QPainter>
#include <QPainterPath>

namespace vantorel {

TintedPanel::TintedPanel(DashboardTint tint, qreal opacity, qreal radius, QWidget* parent)
    : QWidget(parent)
    , m_tint(tint)
    , m_opacity(opacity)
    , m_radius(radius)
{
}

void TintedPanel::setTint(DashboardTint tint)
{
    if (tint == m_tint)
        return;
    m_tint = tint;
    update();
}

void TintedPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();
    const qreal radius = m_radius < 0 ? area.height() / 2 : m_radius;
    QPainterPath path;
    path.addRoundedRect(area, radius, radius);
    painter.fillPath(path, SystemColors::withOpacity(tintColor(m_tint, SystemColors::current()), m_opacity));
}

StatusDot::StatusDot(int diameter, DashboardTint tint, QWidget* parent)
    : QWidget(parent)
    , m_tint(tint)
{
    setFixedSize(diameter, diameter);
}

void StatusDot::setTint(DashboardTint tint)
{
    if (tint == m_tint)
        return;
    m_tint = tint;
    update();
}

void StatusDot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tintColor(m_tint, SystemColors::current()));
    painter.drawEllipse(QRectF(rect()));
}

} // namespace vantorel
