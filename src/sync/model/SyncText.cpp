#include "sync/model/SyncText.h"

#include <QTextBoundaryFinder>

namespace vantorel {

bool SyncText::canonicallyEqual(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    return a.normalized(QString::NormalizationForm_D) == b.normalized(QString::NormalizationForm_D);
}

bool SyncText::canonicallyEqual(const std::optional<QString>& a, const std::optional<QString>& b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || canonicallyEqual(*a, *b);
}

qsizetype SyncText::characterCount(QStringView text)
{
    if (text.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

bool SyncText::exceedsCharacters(QStringView text, qsizetype limit)
{
    // Every character holds at least one UTF-16 unit.
    if (text.size() <= limit)
        return false;
    return characterCount(text) > limit;
}

qsizetype SyncText::prefixLength(QStringView text, qsizetype characters)
{
    if (text.size() <= characters)
        return text.size();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype end = 0;
    for (qsizetype i = 0; i < characters; ++i) {
        const qsizetype next = finder.toNextBoundary();
        if (next == -1)
            break;
        end = next;
    }
    return end;
}

QString SyncText::prefix(const QString& text, qsizetype characters)
{
    return text.left(prefixLength(text, characters));
}

} // namespace vantorel
