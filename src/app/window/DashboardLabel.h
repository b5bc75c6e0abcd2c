#pragma once

#include "app/window/DashboardTint.h"

#include <QFont>
#include <QString>

#include <optional>

class QLabel;
class QWidget;

namespace vantorel {

class LineLimitedLabel;
class SymbolView;

// A plain-text label of the dashboard in `font`, drawn in `tint` (or the label colour), named
// for the tests. Every label of the page shows outside text at some point, so all are plain.
QLabel* dashboardLabel(const QString& objectName, const QFont& font, std::optional<DashboardTint> tint,
                       QWidget* parent);
// The same with at most `lines` lines, wrapping, the last one elided.
LineLimitedLabel* dashboardLines(const QString& objectName, int lines, const QFont& font,
                                 std::optional<DashboardTint> tint, QWidget* parent);
// Sets or changes the text colour of a label or symbol to `tint` (the label colour without one).
void setDashboardTint(QWidget* widget, std::optional<DashboardTint> tint);
void setDashboardTint(SymbolView* symbol, std::optional<DashboardTint> tint);

} // namespace vantorel
