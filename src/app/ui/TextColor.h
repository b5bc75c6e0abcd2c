#pragma once

#include <QColor>

#include <functional>

class QWidget;

namespace vantorel {

struct SystemColors;

// Picks one named colour out of the current system colours.
using ColorPick = std::function<QColor(const SystemColors&)>;

namespace colors {
QColor label(const SystemColors& c);
QColor secondary(const SystemColors& c);
QColor tertiary(const SystemColors& c);
QColor accent(const SystemColors& c);
} // namespace colors

// Sets the widget's text colour (window text, text and button text) to `pick` of the current
// system colours, in its text shade, and sets it again whenever the application palette changes,
// so the widget follows light and dark like one that uses the palette unchanged.
void setTextColor(QWidget* widget, ColorPick pick);

} // namespace vantorel
