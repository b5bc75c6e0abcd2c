#include "app/window/DashboardTint.h"

#include "app/ui/SystemColors.h"

namespace vantorel {

QColor tintColor(DashboardTint tint, const SystemColors& colors)
{
    switch (tint) {
    case DashboardTint::secondary:
        return colors.secondaryLabel;
    case DashboardTint::red:
        return colors.systemRed;
    case DashboardTint::orange:
        return colors.systemOrange;
    case DashboardTint::green:
        return colors.systemGreen;
    case DashboardTint::blue:
        return colors.systemBlue;
    case DashboardTint::purple:
        return colors.systemPurple;
    case DashboardTint::teal:
        return colors.systemTeal;
    case DashboardTint::ink:
        return colors.windowBackground.lightness() < 128 ? colors.label : QColor::fromRgbF(0.06f, 0.08f, 0.16f);
    }
    return colors.label;
}

} // namespace vantorel
