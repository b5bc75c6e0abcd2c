#include "app/ui/SystemColors.h"

#include "app/ui/ApplicationPalette.h"

namespace vantorel {

namespace {

QColor flattened(const QColor& color, const QColor& background)
{
    const qreal a = color.alphaF();
    return QColor::fromRgbF(color.redF() * a + background.redF() * (1 - a),
                            color.greenF() * a + background.greenF() * (1 - a),
                            color.blueF() * a + background.blueF() * (1 - a));
}

SystemColors fromMenuBar(const MenuBarPalette& palette)
{
    SystemColors colors;
    static_cast<MenuBarPalette&>(colors) = palette;
    // The gauge palette's separator is the full ink that the gauge gives its own opacity; lines
    // in the window use it at the desktop's separator strength.
    colors.separator = flattened(SystemColors::withOpacity(palette.separator, 0.12), palette.windowBackground);
    return colors;
}

} // namespace

SystemColors SystemColors::light()
{
    SystemColors colors = fromMenuBar(MenuBarPalette::light());
    colors.tertiaryLabel = flattened(QColor(0, 0, 0, 66), colors.windowBackground);
    colors.accent = QColor(0, 122, 255);
    colors.systemBlue = QColor(0, 122, 255);
    colors.systemTeal = QColor(48, 176, 199);
    colors.systemPurple = QColor(175, 82, 222);
    colors.systemYellow = QColor(255, 204, 0);
    colors.systemGray = QColor(142, 142, 147);
    colors.textBackground = QColor(255, 255, 255);
    colors.placeholderText = QColor(115, 115, 115);
    colors.textFieldBorder = QColor(128, 128, 128);
    colors.tertiaryText = QColor(102, 102, 102);
    colors.accentText = QColor(0, 84, 200);
    colors.orangeText = QColor(148, 64, 0);
    colors.greenText = QColor(0, 110, 40);
    colors.redText = QColor(176, 22, 18);
    colors.accentTextFill = QColor(0, 104, 230);
    colors.redTextFill = QColor(215, 0, 21);
    return colors;
}

SystemColors SystemColors::dark()
{
    SystemColors colors = fromMenuBar(MenuBarPalette::dark());
    colors.tertiaryLabel = flattened(QColor(255, 255, 255, 64), colors.windowBackground);
    colors.accent = QColor(10, 132, 255);
    colors.systemBlue = QColor(10, 132, 255);
    colors.systemTeal = QColor(64, 200, 224);
    colors.systemPurple = QColor(191, 90, 242);
    colors.systemYellow = QColor(255, 214, 10);
    colors.systemGray = QColor(152, 152, 157);
    colors.textBackground = QColor(30, 30, 30);
    colors.placeholderText = QColor(138, 138, 138);
    colors.textFieldBorder = QColor(132, 132, 132);
    colors.tertiaryText = QColor(160, 160, 160);
    colors.accentText = QColor(110, 175, 255);
    colors.orangeText = colors.systemOrange;
    colors.greenText = colors.systemGreen;
    colors.redText = QColor(255, 132, 122);
    colors.accentTextFill = QColor(0, 104, 230);
    colors.redTextFill = QColor(215, 0, 21);
    return colors;
}

const SystemColors& SystemColors::current()
{
    return ApplicationPalette::colors();
}

QColor SystemColors::withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(float(opacity));
    return color;
}

QColor SystemColors::textShade(const QColor& color) const
{
    if (color == secondaryLabel)
        return secondaryText;
    if (color == tertiaryLabel)
        return tertiaryText;
    if (color == accent)
        return accentText;
    if (color == systemOrange)
        return orangeText;
    if (color == systemGreen)
        return greenText;
    if (color == systemRed)
        return redText;
    return color;
}

} // namespace vantorel
