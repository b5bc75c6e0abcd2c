#include "app/ui/PillButton.h"

#include "app/ui/FocusRing.h"
#include "app/ui/SystemColors.h"
#include "app/ui/UiFont.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace vantorel {

namespace {

constexpr int pillHorizontalPadding = 10;
constexpr int pillVerticalPadding = 6;
constexpr qreal outlineWidth = 1.5;

} // namespace

PillButton::PillButton(const QString& title, ColorPick color, QWidget* parent)
    : QAbstractButton(parent)
    , m_color(std::move(color))
{
    setText(title);
    setAccessibleName(title);
    setFont(UiFont::system(12, QFont::Bold));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    FocusRing::track(this);
}

QSize PillButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {2 * pillHorizontalPadding + metrics.horizontalAdvance(text()) + 2,
            2 * pillVerticalPadding + metrics.height()};
}

void PillButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.45);

    // The outline is centred on the capsule's edge; half of it stays inside the widget.
    const QRectF capsule = QRectF(rect()).adjusted(outlineWidth / 2, outlineWidth / 2, -outlineWidth / 2,
                                                   -outlineWidth / 2);
    const qreal radius = capsule.height() / 2;
    QPainterPath path;
    path.addRoundedRect(capsule, radius, radius);
    const SystemColors& colors = SystemColors::current();
    const QColor color = m_color(colors);
    painter.fillPath(path, SystemColors::withOpacity(color, isDown() ? 0.16 : 0.08));
    painter.setPen(QPen(SystemColors::withOpacity(color, 0.7), outlineWidth));
    painter.drawPath(path);
    if (FocusRing::isShown(this))
        FocusRing::paint(painter, QRectF(rect()), rect().height() / 2.0);

    painter.setPen(colors.textShade(color));
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

} // namespace vantorel
