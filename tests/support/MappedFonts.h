#pragma once

#include <QStringList>

namespace vantorel {

// The CJK font collections (several megabytes each) this process has mapped now.
QStringList mappedCjkFonts();

// Every font file this process has mapped now.
QStringList mappedFonts();

} // namespace vantorel
