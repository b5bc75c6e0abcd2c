#include "app/ui/ShrinkingLabel.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace vantorel {

ShrinkingLabel::ShrinkingLabel(qreal minimumScale, QWidget* parent)
    : QLabel(parent)
    , m_minimumScale(minimumScale)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

qreal ShrinkingLabel::shownScale() const
{
    const qreal natural = QFontMetricsF(font()).horizontalAdvance(text());
    const qreal room = contentsRect().width();
    if (natural <= room || natural <= 0)
        return 1;
    return std::max(m_minimumScale, room / natural);
}

QString ShrinkingLabel::shownText() const
{
    return QFontMetricsF(font()).elidedText(text(), Qt::ElideRight, contentsRect().width() / shownScale());
}

QSize ShrinkingLabel::minimumSizeHint() const
{
    // Any width will do: the text shrinks, then elides.
    return {0, QLabel::minimumSizeHint().height()};
}

void ShrinkingLabel::paintEvent(QPaintEvent*)
{
    const qreal scale = shownScale();
    const QRectF area = contentsRect();
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(scale, scale);
    painter.drawText(QRectF(area.topLeft() / scale, area.size() / scale), int(alignment()) | Qt::TextSingleLine,
                     shownText());
}

} // namespace vantorel
