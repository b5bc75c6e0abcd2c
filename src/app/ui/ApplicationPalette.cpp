#include "app/ui/ApplicationPalette.h"

#include "app/ui/DesktopAppearance.h"
#include "app/ui/KitStyle.h"
#include "app/ui/UiFont.h"

#include <QApplication>
#include <QPalette>

namespace vantorel {

namespace {

SystemColors& appliedColors()
{
    static SystemColors colors = SystemColors::light();
    return colors;
}

QPalette paletteFor(const SystemColors& c)
{
    QPalette palette;
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, c.windowBackground);
        palette.setColor(group, QPalette::WindowText, c.label);
        palette.setColor(group, QPalette::Base, c.textBackground);
        palette.setColor(group, QPalette::AlternateBase, c.controlBackground);
        palette.setColor(group, QPalette::Text, c.label);
        palette.setColor(group, QPalette::Button, c.controlBackground);
        palette.setColor(group, QPalette::ButtonText, c.label);
        palette.setColor(group, QPalette::BrightText, c.systemRed);
        palette.setColor(group, QPalette::Highlight, c.accent);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::Link, c.accent);
        palette.setColor(group, QPalette::PlaceholderText, c.placeholderText);
        palette.setColor(group, QPalette::ToolTipBase, c.controlBackground);
        palette.setColor(group, QPalette::ToolTipText, c.label);
        palette.setColor(group, QPalette::Light, c.controlBackground.lighter(115));
        palette.setColor(group, QPalette::Midlight, c.separator);
        palette.setColor(group, QPalette::Mid, c.separator);
        palette.setColor(group, QPalette::Dark, c.secondaryLabel);
        palette.setColor(group, QPalette::Shadow, Qt::black);
    }
    palette.setColor(QPalette::Disabled, QPalette::Window, c.windowBackground);
    palette.setColor(QPalette::Disabled, QPalette::Base, c.textBackground);
    palette.setColor(QPalette::Disabled, QPalette::Button, c.controlBackground);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, c.tertiaryLabel);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, c.systemGray);
    // A disabled field still says what belongs in it.
    palette.setColor(QPalette::Disabled, QPalette::PlaceholderText, c.placeholderText);
    return palette;
}

} // namespace

void ApplicationPalette::install(DesktopAppearance& appearance)
{
    const auto follow = [&appearance] {
        apply(appearance.isDark() ? SystemColors::dark() : SystemColors::light());
    };
    // Without a portal answer the desktop's own palette tells dark from light; setting the style
    // replaces that palette, so read it first.
    const bool darkAtStart = appearance.isDark();
    applyStyleAndFont();
    apply(darkAtStart ? SystemColors::dark() : SystemColors::light());
    QObject::connect(&appearance, &DesktopAppearance::changed, &appearance, follow);
}

void ApplicationPalette::applyStyleAndFont()
{
    if (!qobject_cast<KitStyle*>(QApplication::style()))
        QApplication::setStyle(new KitStyle);
    QApplication::setFont(UiFont::system(13));
}

void ApplicationPalette::apply(const SystemColors& colors)
{
    appliedColors() = colors;
    QApplication::setPalette(paletteFor(colors));
}

const SystemColors& ApplicationPalette::colors()
{
    return appliedColors();
}

} // namespace vantorel
