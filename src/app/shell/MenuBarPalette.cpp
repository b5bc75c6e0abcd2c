#include "app/shell/MenuBarPalette.h"

namespace vantorel {

MenuBarPalette MenuBarPalette::light()
{
    return {
        .name = QStringLiteral("light"),
        .label = QColor(0, 0, 0, 217),
        .secondaryLabel = QColor(0, 0, 0, 128),
        .windowBackground = QColor(236, 236, 236),
        .controlBackground = QColor(255, 255, 255),
        .separator = QColor(0, 0, 0, 26),
        .systemRed = QColor(255, 59, 48),
        .systemOrange = QColor(255, 149, 0),
        .systemGreen = QColor(40, 205, 65),
    };
}

MenuBarPalette MenuBarPalette::dark()
{
    return {
        .name = QStringLiteral("dark"),
        .label = QColor(255, 255, 255, 217),
        .secondaryLabel = QColor(255, 255, 255, 140),
        .windowBackground = QColor(50, 50, 50),
        .controlBackground = QColor(30, 30, 30),
        .separator = QColor(255, 255, 255, 26),
        .systemRed = QColor(255, 69, 58),
        .systemOrange = QColor(255, 159, 10),
        .systemGreen = QColor(50, 215, 75),
    };
}

} // namespace vantorel
