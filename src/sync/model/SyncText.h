#pragma once

#include <QString>

#include <optional>

namespace vantorel {

// Text measures and comparison shared by the sync records and their limits.
struct SyncText
{
    // Unicode canonical equivalence: a precomposed and a decomposed spelling are equal.
    static bool canonicallyEqual(const QString& a, const QString& b);
    static bool canonicallyEqual(const std::optional<QString>& a, const std::optional<QString>& b);

    // User-perceived characters (extended grapheme clusters).
    static qsizetype characterCount(QStringView text);
    // characterCount(text) > limit, without segmenting text that cannot exceed it.
    static bool exceedsCharacters(QStringView text, qsizetype limit);
};

} // namespace vantorel
