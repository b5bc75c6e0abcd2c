#pragma once

#include <QString>
#include <QStringList>

class QFontMetrics;

namespace vantorel {

// The phrases of one line of text (without '\n') between which a wrapped line may break, in
// order; joined, they give the line back. A phrase ends after Japanese punctuation (、。！？), a
// space or a closing bracket (」』）), with the punctuation and closing brackets right after it
// ("。」"), and before an opening bracket (「『（), so a wrapped Japanese line never ends inside a
// word ("見つかりま / せん。"). A space between two Latin words ("Claude Code") ends none.
QStringList linePhrases(const QString& line);

// The parts of one phrase between which it may break when it alone is wider than the line, in
// order; joined, they give the phrase back. A part ends after a particle that a word of kanji,
// katakana or Latin letters follows ("公式ログイン開始を / 補助します。") and after a space between
// two Latin words.
QStringList phraseParts(const QString& phrase);

// One line of text (without '\n') with QChar::LineSeparator put before each phrase that would not
// fit on the line in `width` pixels of `metrics`; nothing else changes, so removing the separators
// gives `line` back. A phrase wider than the whole line starts a line and breaks between its
// parts; a part wider than the whole line stays as it is.
QString markLineBreaks(const QString& line, const QFontMetrics& metrics, int width);

// `text` with a line break put before each phrase that would not fit on the line in `width`
// pixels of `metrics`, the spaces at those breaks dropped. A phrase wider than the whole line
// breaks between its parts; a part wider than the whole line stays as it is and is left to the
// label's own wrapping. Existing line breaks stay.
QString breakAtPunctuation(const QString& text, const QFontMetrics& metrics, int width);

// `text` as the rich text of a tool tip whose lines break only between phrases. Qt wraps a tool
// tip's rich text between any two Japanese characters ("取 / 得"), so the lines are broken here,
// at a fixed width of the tool tip font, and each is kept whole. Markup in `text` is shown as it is.
QString toolTipText(const QString& text);

} // namespace vantorel
