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

QString markLineBreaks(const QString& line, const QFontMetrics& metrics, int width)
{
    QString marked;
    QString current;
    for (const QString& phrase : linePhrases(line)) {
        const QString longer = current + phrase;
        if (!current.isEmpty() && metrics.horizontalAdvance(longer.trimmed()) > width) {
            marked += current + QChar::LineSeparator;
            current = phrase;
        } else {
            current = longer;
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
