#pragma once

#include <QList>
#include <QString>

#include <algorithm>
#include <optional>

namespace vantorel {

// Text measures and comparison shared by the sync records and their limits.
struct SyncText
{
    // Unicode canonical equivalence: a precomposed and a decomposed spelling are equal.
    static bool canonicallyEqual(const QString& a, const QString& b);
    static bool canonicallyEqual(const std::optional<QString>& a, const std::optional<QString>& b);

    // Element by element. QList's own == treats shared copies as equal without comparing, which
    // would make a list holding a NaN equal to itself.
    template <typename T>
    static bool elementsEqual(const QList<T>& a, const QList<T>& b)
    {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
    }

    // User-perceived characters (extended grapheme clusters).
    static qsizetype characterCount(QStringView text);
    // characterCount(text) > limit, without segmenting text that cannot exceed it.
    static bool exceedsCharacters(QStringView text, qsizetype limit);
    // The UTF-16 length of the first `characters` user-perceived characters, and that prefix.
    static qsizetype prefixLength(QStringView text, qsizetype characters);
    static QString prefix(const QString& text, qsizetype characters);
};

} // namespace vantorel
