#include "app/window/DashboardLabel.h"

#include "app/ui/LineLimitedLabel.h"
#include "app/ui/SymbolView.h"
#include "app/ui/SystemColors.h"
#include "app/ui/TextColor.h"

#include <QLabel>

namespace vantorel {

namespace {

ColorPick pick(std::optional<DashboardTint> tint)
{
    if (!tint)
        return colors::label;
    return [tint = *tint](const SystemColors& c) { return tintColor(tint, c); };
}

} // namespace

QLabel* dashboardLabel(const QString& objectName, const QFont& font, std::optional<DashboardTint> tint, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    setDashboardTint(label, tint);
    return label;
}

LineLimitedLabel* dashboardLines(const QString& objectName, int lines, const QFont& font,
                                 std::optional<DashboardTint> tint, QWidget* parent)
{
    auto* label = new LineLimitedLabel(lines, QString(), parent);
    label->setObjectName(objectName);
    label->setFont(font);
    setDashboardTint(label, tint);
    return label;
}

namespace {

// The page re-applies every tint on each change of the model; only a different one is set.
bool tintChanged(QWidget* widget, std::optional<DashboardTint> tint)
{
    const int code = tint ? int(*tint) : -1;
    const QVariant previous = widget->property("dashboardTint");
    if (previous.isValid() && previous.toInt() == code)
        return false;
    widget->setProperty("dashboardTint", code);
    return true;
}

} // namespace

void setDashboardTint(QWidget* widget, std::optional<DashboardTint> tint)
{
    if (tintChanged(widget, tint))
        setTextColor(widget, pick(tint));
}

void setDashboardTint(SymbolView* symbol, std::optional<DashboardTint> tint)
{
    if (tintChanged(symbol, tint))
        symbol->setColor(pick(tint));
}

} // namespace vantorel
