#include "app/window/UsageMeterBar.h"

#include "app/ui/SystemColors.h"
#include "app/window/UsageMeterPresenter.h"

#include <QPainter>
#include <QPainterPath>

namespace vantorel {

UsageMeterBar::UsageMeterBar(int height, qreal trackOpacity, QWidget* parent)
    : QWidget(parent)
    , m_trackOpacity(trackOpacity)
{
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void UsageMeterBar::setPercent(std::optional<double> percent)
{
    if (percent == m_percent)
        return;
    m_percent = percent;
    update();
}

void UsageMeterBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const SystemColors& colors = SystemColors::current();
    const qreal radius = height() / 2.0;
    const auto capsule = [&](qreal width, const QColor& color) {
        QPainterPath path;
        path.addRoundedRect(QRectF(0, 0, width, height()), radius, radius);
        painter.fillPath(path, color);
    };
    capsule(width(), SystemColors::withOpacity(colors.secondaryLabel, m_trackOpacity));
    const qreal fillWidth = width() * UsageMeterPresenter::fillFraction(m_percent);
    if (fillWidth <= 0)
        return;
    const DashboardTint tint = UsageMeterPresenter::fillTint(m_percent);
    const QColor fill = tint == DashboardTint::secondary ? SystemColors::withOpacity(colors.secondaryLabel, 0.35)
                                                         : tintColor(tint, colors);
    capsule(fillWidth, fill);
}

} // namespace vantorel
