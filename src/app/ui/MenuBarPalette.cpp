#include "app/ui/MenuBarPalette.h"

namespace vantorel {

MenuBarPalette MenuBarPalette::light()
{
    return {
        .name = QStringLiteral("light"),
        .label = QColor(38, 38, 38),
        .secondaryLabel = QColor(128, 128, 128),
        .secondaryText = QColor(92, 92, 92),
        .windowBackground = QColor(236, 236, 236),
        .controlBackground = QColor(255, 255, 255),
        .separator = QColor(0, 0, 0),
        .systemRed = QColor(255, 59, 48),
        .systemOrange = QColor(255, 149, 0),
        .systemGreen = QColor(40, 205, 65),
    };
}

MenuBarPalette MenuBarPalette::dark()
{
    return {
        .name = QStringLiteral("dark"),
        .label = QColor(224, 224, 224),
        .secondaryLabel = QColor(163, 163, 163),
        .secondaryText = QColor(176, 176, 176),
        .windowBackground = QColor(50, 50, 50),
        .controlBackground = QColor(30, 30, 30),
        .separator = QColor(255, 255, 255),
        .systemRed = QColor(255, 69, 58),
        .systemOrange = QColor(255, 159, 10),
        .systemGreen = QColor(50, 215, 75),
    };
}

} // namespace vantorel
