#include "app/ui/LineBreaks.h"

#include <QFontMetrics>
#include <QToolTip>

namespace vantorel {

namespace {

// About 30 Japanese characters of the tool tip font.
constexpr int toolTipWidth = 400;

bool endsPhrase(QChar c)
{
    return c == u'、' || c == u'。' || c == u'！' || c == u'？' || c == u' ' || c == u'\u3000';
}

bool closesBracket(QChar c)
{
    return c == u'」' || c == u'』' || c == u'）';
}

bool opensBracket(QChar c)
{
    return c == u'「' || c == u'『' || c == u'（';
}

bool isHiragana(QChar c)
{
    return c.unicode() >= 0x3041 && c.unicode() <= 0x309F;
}

bool isLatinWordCharacter(QChar c)
{
    return c.unicode() < 0x80 && c.isLetterOrNumber();
}

// Whether the spaces around `at` join two Latin words, as in a name ("Claude Code"): breaking
// there splits the name, so such a space only parts a phrase too wide for its line.
bool joinsLatinWords(QStringView line, qsizetype at)
{
    qsizetype before = at;
    while (before > 0 && line[before - 1] == u' ')
        --before;
    qsizetype after = at;
    while (after < line.size() && line[after] == u' ')
        ++after;
    return before > 0 && after < line.size() && isLatinWordCharacter(line[before - 1])
           && isLatinWordCharacter(line[after]);
}

// A particle after a word, ending a Japanese phrase ("認証の", "開始を") when a word of kanji,
// katakana or Latin letters follows; "この", "その", "あの" and "どの" belong to the word after them.
bool endsWithParticle(QStringView text, qsizetype end)
{
    if (end < 2)
        return false;
    const QChar last = text[end - 1];
    if (!QStringView(u"はがをにへでともの").contains(last))
        return false;
    if (last == u'の' && QStringView(u"こそあど").contains(text[end - 2]))
        return false;
    const QChar next = text[end];
    return next.isLetterOrNumber() && !isHiragana(next);
}

} // namespace

QStringList linePhrases(const QString& line)
{
    QStringList result;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < line.size()) {
        if (opensBracket(line[i]) && i > start) {
            result.append(line.mid(start, i - start));
            start = i;
        }
        const QChar c = line[i++];
        if (!endsPhrase(c) && !closesBracket(c))
            continue;
        if (c == u' ' && joinsLatinWords(line, i - 1))
            continue;
        // Punctuation and closing brackets right after it stay with the phrase ("。」").
        while (i < line.size() && (endsPhrase(line[i]) || closesBracket(line[i])))
            ++i;
        result.append(line.mid(start, i - start));
        start = i;
    }
    if (start < line.size())
        result.append(line.mid(start));
    return result;
}

QStringList phraseParts(const QString& phrase)
{
    QStringList result;
    qsizetype start = 0;
    for (qsizetype i = 1; i < phrase.size(); ++i) {
        const bool afterJoiningSpace = phrase[i - 1] == u' ' && phrase[i] != u' ' && joinsLatinWords(phrase, i - 1);
        if (afterJoiningSpace || endsWithParticle(phrase, i)) {
            result.append(phrase.mid(start, i - start));
            start = i;
        }
    }
    if (start < phrase.size())
        result.append(phrase.mid(start));
    return result;
}

QString markLineBreaks(const QString& line, const QFontMetrics& metrics, int width)
{
    const auto fits = [&](const QString& text) { return metrics.horizontalAdvance(text.trimmed()) <= width; };
    QString marked;
    QString current;
    const auto breakLine = [&] {
        marked += current + QChar::LineSeparator;
        current.clear();
    };
    for (const QString& phrase : linePhrases(line)) {
        const QString longer = current + phrase;
        if (fits(longer)) {
            current = longer;
            continue;
        }
        if (!current.isEmpty()) {
            breakLine();
            if (fits(phrase)) {
                current = phrase;
                continue;
            }
        }
        // A phrase too wide for any line starts its own, so the line before still ends at
        // punctuation, and breaks between its parts.
        for (const QString& part : phraseParts(phrase)) {
            if (!current.isEmpty() && !fits(current + part))
                breakLine();
            current += part;
        }
    }
    return marked + current;
}

QString breakAtPunctuation(const QString& text, const QFontMetrics& metrics, int width)
{
    QStringList paragraphs = text.split(u'\n');
    for (QString& paragraph : paragraphs) {
        QStringList lines = markLineBreaks(paragraph, metrics, width).split(QChar::LineSeparator);
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            lines[i] = lines[i].trimmed();
        paragraph = lines.join(u'\n');
    }
    return paragraphs.join(u'\n');
}

QString toolTipText(const QString& text)
{
    // "pre" keeps the breaks made here and adds none of its own.
    const QString lines = breakAtPunctuation(text, QFontMetrics(QToolTip::font()), toolTipWidth);
    return QStringLiteral("<p style=\"white-space:pre\">%1</p>").arg(lines.toHtmlEscaped());
}

} // namespace vantorel
