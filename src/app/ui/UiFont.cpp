#include "app/ui/UiFont.h"

#include <QFontMetricsF>
#include <QGuiApplication>

namespace vantorel {

namespace {

bool digitsHaveEqualWidth(const QFont& font)
{
    const QFontMetricsF metrics(font);
    const qreal zero = metrics.horizontalAdvance(u'0');
    for (char16_t digit = u'1'; digit <= u'9'; ++digit)
        if (!qFuzzyCompare(metrics.horizontalAdvance(QChar(digit)), zero))
            return false;
    return true;
}

} // namespace

void UiFont::releaseUnusedFaces()
{
    // Emptying the thread's font cache (what a font database change does) is not enough: a font
    // kept alive across it, by a hidden page or the application font its widgets share, keeps its
    // own table of faces, no longer known to the cache, and loads its next faces into that table,
    // where no later emptying reaches them. Discarding the cache itself gives the next one a new
    // identity, and every font drops a table made by an earlier cache at its next use.
    QFont::cleanup();
}

QFont UiFont::system(int pixelSize, QFont::Weight weight)
{
    QFont font = QGuiApplication::font();
    QStringList families{font.family(), QString::fromLatin1(japaneseFamily)};
    families.removeDuplicates();
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QFont UiFont::monospacedDigits(const QFont& font)
{
    // Qt 6.4 cannot switch on the tabular-figures feature, so a family with proportional digits
    // gives way to a fixed-pitch one for the digits.
    if (digitsHaveEqualWidth(font))
        return font;
    QFont fixed = font;
    QStringList families{QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("monospace")};
    families += font.families();
    fixed.setFamilies(families);
    return fixed;
}

} // namespace vantorel
