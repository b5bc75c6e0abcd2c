#include "app/ui/CompactButton.h"

#include "app/ui/FocusRing.h"
#include "app/ui/IconProvider.h"
#include "app/ui/SystemColors.h"
#include "app/ui/UiFont.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace vantorel {

namespace {

constexpr int fontSize = 12;
constexpr int horizontalPadding = 9;
constexpr int verticalPadding = 6;
constexpr int spacing = 5;
constexpr qreal cornerRadius = 7;

} // namespace

CompactButton::CompactButton(const QString& title, const QString& systemName, QWidget* parent)
    : QAbstractButton(parent)
{
    setText(title);
    setAccessibleName(title);
    setFont(UiFont::system(fontSize, QFont::DemiBold));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    FocusRing::track(this);
    setSymbol(systemName);
}

void CompactButton::setSymbol(const QString& systemName)
{
    m_symbol = systemName;
    setProperty(IconProvider::symbolProperty, systemName);
    updateGeometry();
    update();
}

QSize CompactButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int symbol = IconProvider::symbolSize(fontSize);
    const int width = horizontalPadding + metrics.horizontalAdvance(text()) + spacing + symbol + horizontalPadding;
    const int height = verticalPadding + std::max(metrics.height(), symbol) + verticalPadding;
    return {width + 2 * shadowMargin, height + 2 * shadowMargin};
}

void CompactButton::paintEvent(QPaintEvent*)
{
    const SystemColors& colors = SystemColors::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.45);

    const QRectF chip = QRectF(rect()).adjusted(shadowMargin, shadowMargin, -shadowMargin, -shadowMargin);
    // Shadow: black at 8 %, about 2 px soft, 1 px down.
    for (int ring = 2; ring >= 0; --ring) {
        QPainterPath shadow;
        const QRectF r = chip.translated(0, 1).adjusted(-ring * 0.7, -ring * 0.7, ring * 0.7, ring * 0.7);
        shadow.addRoundedRect(r, cornerRadius + ring * 0.7, cornerRadius + ring * 0.7);
        painter.fillPath(shadow, QColor(0, 0, 0, 8 + (2 - ring) * 4));
    }
    QPainterPath background;
    background.addRoundedRect(chip, cornerRadius, cornerRadius);
    QColor fill = colors.windowBackground;
    if (isDown())
        fill = fill.darker(110);
    painter.fillPath(background, fill);
    // On a dark window the shadow cannot be seen; a faint edge keeps the chip's shape.
    if (colors.name == QLatin1String("dark"))
        painter.strokePath(background, QPen(QColor(255, 255, 255, 28), 1));
    if (FocusRing::isShown(this))
        FocusRing::paint(painter, chip, cornerRadius);

    const int symbol = IconProvider::symbolSize(fontSize);
    const QFontMetrics metrics(font());
    const int contentWidth = metrics.horizontalAdvance(text()) + spacing + symbol;
    const QRectF content(chip.center().x() - contentWidth / 2.0, chip.top(), contentWidth, chip.height());
    painter.setPen(colors.label);
    painter.setFont(font());
    painter.drawText(content, Qt::AlignLeft | Qt::AlignVCenter, text());
    const QPixmap pixmap = IconProvider::pixmap(m_symbol, symbol, colors.label, devicePixelRatioF());
    painter.drawPixmap(QPointF(content.right() - symbol, content.center().y() - symbol / 2.0), pixmap);
}

} // namespace vantorel
