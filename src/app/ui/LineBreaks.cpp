#include "app/ui/LineBreaks.h"

#include <QFontMetrics>
#include <QStringList>

namespace vantorel {

namespace {

bool endsPhrase(QChar c)
{
    return c == u'、' || c == u'。' || c == u'！' || c == u'？' || c == u' ' || c == u'\u3000';
}

bool closesBracket(QChar c)
{
    return c == u'」' || c == u'』' || c == u'）';
}

QStringList phrases(const QString& paragraph)
{
    QStringList result;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < paragraph.size()) {
        if (!endsPhrase(paragraph[i++]))
            continue;
        // Punctuation and closing brackets right after it stay with the phrase ("。」").
        while (i < paragraph.size() && (endsPhrase(paragraph[i]) || closesBracket(paragraph[i])))
            ++i;
        result.append(paragraph.mid(start, i - start));
        start = i;
    }
    if (start < paragraph.size())
        result.append(paragraph.mid(start));
    return result;
}

} // namespace

QString breakAtPunctuation(const QString& text, const QFontMetrics& metrics, int width)
{
    QStringList paragraphs = text.split(u'\n');
    for (QString& paragraph : paragraphs) {
        QString broken;
        QString line;
        for (const QString& phrase : phrases(paragraph)) {
            const QString longer = line + phrase;
            if (!line.isEmpty() && metrics.horizontalAdvance(longer.trimmed()) > width) {
                broken += line.trimmed() + u'\n';
                line = phrase;
            } else {
                line = longer;
            }
        }
        paragraph = broken + line;
    }
    return paragraphs.join(u'\n');
}

} // namespace vantorel
