#pragma once

#include <QString>

namespace vantorel {

// `value` as one word of a POSIX shell: in single quotes, each inner single quote written as
// quote, backslash, quote, quote. Nothing inside is expanded.
QString shellQuoted(const QString& value);

} // namespace vantorel
