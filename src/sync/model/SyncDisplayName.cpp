#include "sync/model/SyncDisplayName.h"

#include "sync/model/SyncText.h"

namespace vantorel {

namespace {

struct Scalar
{
    char32_t value = 0;
    qsizetype length = 1; // UTF-16 units
    bool loneSurrogate = false;
};

Scalar scalarAt(QStringView text, qsizetype index)
{
    const QChar c = text[index];
    if (c.isHighSurrogate() && index + 1 < text.size() && text[index + 1].isLowSurrogate())
        return {QChar::surrogateToUcs4(c, text[index + 1]), 2, false};
    return {c.unicode(), 1, c.isSurrogate()};
}

// Control (Cc, Cf) or illegal (noncharacter, or not assigned in Unicode 3.2). A lone surrogate
// is no scalar at all and goes the same way.
bool isForbidden(const Scalar& scalar)
{
    if (scalar.loneSurrogate)
        return true;
    const char32_t v = scalar.value;
    const auto category = QChar::category(v);
    if (category == QChar::Other_Control || category == QChar::Other_Format)
        return true;
    if (QChar::isNonCharacter(v))
        return true;
    const auto version = QChar::unicodeVersion(v);
    return version == QChar::Unicode_Unassigned || version > QChar::Unicode_3_2;
}

bool isWhitespaceOrNewline(QChar c)
{
    const auto u = c.unicode();
    if ((u >= 0x09 && u <= 0x0D) || u == 0x85)
        return true;
    const auto category = c.category();
    return category == QChar::Separator_Space || category == QChar::Separator_Line
        || category == QChar::Separator_Paragraph;
}

qsizetype utf8Length(char32_t v)
{
    if (v < 0x80)
        return 1;
    if (v < 0x800)
        return 2;
    if (v < 0x10000)
        return 3;
    return 4;
}

} // namespace

bool SyncDisplayName::isValid(QStringView name, qsizetype maximumCharacters)
{
    // Every failure gives the same false, so the cheap measures go first and stop early.
    qsizetype scalars = 0;
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < name.size();) {
        const Scalar scalar = scalarAt(name, i);
        if (isForbidden(scalar))
            return false;
        ++scalars;
        bytes += utf8Length(scalar.value);
        if (scalars > 2 * maximumCharacters || bytes > 4 * maximumCharacters)
            return false;
        i += scalar.length;
    }
    return !SyncText::exceedsCharacters(name, maximumCharacters);
}

QString SyncDisplayName::sanitized(const QString& name, const QString& fallback, qsizetype maximumCharacters)
{
    const QString composed = name.normalized(QString::NormalizationForm_C);
    QString kept;
    kept.reserve(composed.size());
    qsizetype scalars = 0;
    for (qsizetype i = 0; i < composed.size() && scalars < 2 * maximumCharacters;) {
        const Scalar scalar = scalarAt(composed, i);
        if (!isForbidden(scalar)) {
            kept.append(QStringView(composed).mid(i, scalar.length));
            ++scalars;
        }
        i += scalar.length;
    }

    // Whitespace and newline characters all lie in the Basic Multilingual Plane.
    qsizetype begin = 0;
    qsizetype end = kept.size();
    while (begin < end && isWhitespaceOrNewline(kept[begin]))
        ++begin;
    while (end > begin && isWhitespaceOrNewline(kept[end - 1]))
        --end;
    const QStringView trimmed = QStringView(kept).mid(begin, end - begin);

    const QString result = trimmed.left(SyncText::prefixLength(trimmed, maximumCharacters)).toString();
    if (result.isEmpty() || !isValid(result, maximumCharacters))
        return fallback;
    return result;
}

} // namespace vantorel
