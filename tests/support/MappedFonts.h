#pragma once

#include <QStringList>

namespace vantorel {

// The font files this process has mapped now, from /proc/self/maps, each once.
QStringList mappedFontFiles();

// Whether any of them is one of the (several megabyte) CJK collections.
bool mapsCjkFont();

} // namespace vantorel
