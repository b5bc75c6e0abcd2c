#pragma once

#include <QColor>

namespace vantorel {

struct SystemColors;

// The named colours the dashboard's presenters choose from; widgets resolve them for the
// current appearance, so the pure rules stay free of palettes.
enum class DashboardTint { secondary, red, orange, green, blue, purple, teal, ink };

// `ink` is the near-black of a healthy meter bar; on a dark background it would vanish, so the
// dark palette draws it in the label colour.
QColor tintColor(DashboardTint tint, const SystemColors& colors);

} // namespace vantorel
