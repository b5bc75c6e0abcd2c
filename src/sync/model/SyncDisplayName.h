#pragma once

#include <QString>

namespace vantorel {

// The rules every device name that crosses between Mac and companion passes. Lengths are
// limited three ways from `maximumCharacters` m: at most m user-perceived characters, 2m
// Unicode scalars and 4m UTF-8 bytes. Control and format characters (Cc, Cf), noncharacters and
// anything not assigned in Unicode 3.2 are never allowed.
struct SyncDisplayName
{
    static constexpr qsizetype maximumHostNameCharacters = 128;
    static constexpr qsizetype maximumDeviceNameCharacters = 80;
    static QString hostNameFallback() { return QStringLiteral("Mac"); }
    static QString deviceNameFallback() { return QStringLiteral("iPhone"); }

    // True when the name keeps the limits and holds no forbidden character. Empty is valid.
    static bool isValid(QStringView name, qsizetype maximumCharacters);

    // The name in composed form with forbidden characters removed, cut to 2m scalars, trimmed
    // of whitespace and newlines and cut to m characters; the fallback, unchanged, when nothing
    // is left or the result is still not valid.
    static QString sanitized(const QString& name, const QString& fallback, qsizetype maximumCharacters);
};

} // namespace vantorel
