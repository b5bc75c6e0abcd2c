#include "app/ui/SymbolButton.h"

#include "app/ui/IconProvider.h"
#include "app/ui/SystemColors.h"

#include <QEvent>
#include <QIcon>

namespace vantorel {

SymbolButton::SymbolButton(const QString& title, const QString& systemName, QWidget* parent)
    : QPushButton(title, parent)
    , m_symbol(systemName)
{
    setProperty(IconProvider::symbolProperty, systemName);
    updateIcon();
}

void SymbolButton::setTint(ColorPick pick)
{
    m_tint = pick;
    setTextColor(this, std::move(pick));
    updateIcon();
}

void SymbolButton::setSymbol(const QString& systemName)
{
    m_symbol = systemName;
    setProperty(IconProvider::symbolProperty, systemName);
    updateIcon();
}

void SymbolButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        updateIcon();
}

void SymbolButton::updateIcon()
{
    if (m_symbol.isEmpty())
        return;
    const SystemColors& colors = SystemColors::current();
    const int size = IconProvider::symbolSize(font().pixelSize() > 0 ? font().pixelSize() : 13);
    const qreal ratio = devicePixelRatioF();
    QIcon icon;
    icon.addPixmap(IconProvider::pixmap(m_symbol, size, m_tint ? m_tint(colors) : colors.label, ratio), QIcon::Normal);
    icon.addPixmap(IconProvider::pixmap(m_symbol, size, colors.tertiaryLabel, ratio), QIcon::Disabled);
    setIcon(icon);
    setIconSize(QSize(size, size));
}

} // namespace vantorel
