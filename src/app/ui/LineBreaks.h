#pragma once

#include <QString>

class QFontMetrics;

namespace vantorel {

// `text` with a line break put before each phrase that would not fit on the line in `width`
// pixels of `metrics`. A phrase ends after Japanese punctuation (、。！？) or a space, so a wrapped
// Japanese line never ends inside a word ("見つかりま / せん。"). A phrase wider than the whole
// line stays as it is and is left to the label's own wrapping. Existing line breaks stay.
QString breakAtPunctuation(const QString& text, const QFontMetrics& metrics, int width);

} // namespace vantorel
