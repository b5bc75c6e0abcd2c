#include "app/window/SidebarButton.h"

#include "app/ui/FocusRing.h"
#include "app/ui/IconProvider.h"
#include "app/ui/SystemColors.h"
#include "app/ui/UiFont.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace vantorel {

namespace {

constexpr int symbolFontSize = 15;
constexpr int symbolFrame = 18;
constexpr int navigationHeight = 32;
constexpr int navigationPadding = 9;
constexpr int navigationSpacing = 8;
constexpr int externalHeight = 48;
constexpr int externalPadding = 3;
constexpr int externalSpacing = 3;
constexpr qreal cornerRadius = 7;

} // namespace

SidebarButton::SidebarButton(const QString& title, const QString& systemName, SidebarButtonRole role,
                             const QString& helpText, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbol(systemName)
    , m_role(role)
{
    setText(title);
    setAccessibleName(title);
    setToolTip(helpText.isEmpty() ? title : helpText);
    setFont(UiFont::system(12, QFont::DemiBold));
    setCursor(Qt::PointingHandCursor);
    setProperty(IconProvider::symbolProperty, systemName);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(role == SidebarButtonRole::navigation ? navigationHeight : externalHeight);
    FocusRing::track(this);
}

void SidebarButton::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

QSize SidebarButton::sizeHint() const
{
    const int textWidth = QFontMetrics(font()).horizontalAdvance(text());
    if (m_role == SidebarButtonRole::navigation)
        return {2 * navigationPadding + symbolFrame + navigationSpacing + textWidth, navigationHeight};
    return {2 * externalPadding + std::max(textWidth, symbolFrame), externalHeight};
}

void SidebarButton::paintEvent(QPaintEvent*)
{
    const SystemColors& colors = SystemColors::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.45);

    if (m_selected) {
        QPainterPath background;
        background.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
        painter.fillPath(background, SystemColors::withOpacity(colors.accent, 0.14));
    } else if (isDown()) {
        QPainterPath background;
        background.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
        painter.fillPath(background, SystemColors::withOpacity(colors.label, 0.06));
    }
    if (FocusRing::isShown(this))
        FocusRing::paint(painter, QRectF(rect()), cornerRadius);

    const QColor ink = m_selected ? colors.accent : colors.secondaryLabel;
    const int symbol = symbolFrame;
    const QPixmap pixmap = IconProvider::pixmap(m_symbol, symbol, ink, devicePixelRatioF());
    const QFontMetrics metrics(font());
    painter.setPen(colors.textShade(ink));
    painter.setFont(font());

    if (m_role == SidebarButtonRole::navigation) {
        const QRectF frame(navigationPadding, (height() - symbolFrame) / 2.0, symbolFrame, symbolFrame);
        painter.drawPixmap(QPointF(frame.center().x() - symbol / 2.0, frame.center().y() - symbol / 2.0), pixmap);
        const qreal textLeft = frame.right() + navigationSpacing;
        const QRectF textRect(textLeft, 0, width() - navigationPadding - textLeft, height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(text(), Qt::ElideRight, int(textRect.width())));
        return;
    }

    const qreal contentHeight = symbolFrame + externalSpacing + metrics.height();
    const qreal top = (height() - contentHeight) / 2.0;
    painter.drawPixmap(QPointF((width() - symbol) / 2.0, top + (symbolFrame - symbol) / 2.0), pixmap);
    const QRectF textRect(externalPadding, top + symbolFrame + externalSpacing, width() - 2 * externalPadding,
                          metrics.height());
    painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignVCenter,
                     metrics.elidedText(text(), Qt::ElideRight, int(textRect.width())));
}

} // namespace vantorel
