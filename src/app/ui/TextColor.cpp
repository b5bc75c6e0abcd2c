#include "app/ui/TextColor.h"

#include "app/ui/SystemColors.h"

#include <QEvent>
#include <QPalette>
#include <QWidget>

namespace vantorel {

namespace colors {
QColor label(const SystemColors& c) { return c.label; }
QColor secondary(const SystemColors& c) { return c.secondaryLabel; }
QColor tertiary(const SystemColors& c) { return c.tertiaryLabel; }
QColor accent(const SystemColors& c) { return c.accent; }
} // namespace colors

namespace {

void applyTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Active, role, color);
        palette.setColor(QPalette::Inactive, role, color);
    }
    widget->setPalette(palette);
}

class TextColorFollower final : public QObject
{
public:
    TextColorFollower(QWidget* widget, ColorPick pick)
        : QObject(widget)
        , m_pick(std::move(pick))
    {
        setObjectName(QStringLiteral("textColorFollower"));
    }

    void apply()
    {
        const SystemColors& colors = SystemColors::current();
        applyTextColor(static_cast<QWidget*>(parent()), colors.textShade(m_pick(colors)));
    }

    // Only windows receive ApplicationPaletteChange; a child hears of a new application palette
    // as the PaletteChange of its inherited roles. Setting the same colours again sends nothing,
    // so reacting to our own change ends there.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == parent()
            && (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange))
            apply();
        return false;
    }

private:
    ColorPick m_pick;
};

} // namespace

void setTextColor(QWidget* widget, ColorPick pick)
{
    // One follower per widget: a second call replaces the colour.
    delete widget->findChild<TextColorFollower*>(QString(), Qt::FindDirectChildrenOnly);
    auto* follower = new TextColorFollower(widget, std::move(pick));
    widget->installEventFilter(follower);
    follower->apply();
}

} // namespace vantorel
