#include "app/ui/UiFont.h"

#include "app/ui/ApplicationResources.h"

#include <QFile>
#include <QFontDatabase>
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

// A font without glyphs (scripts/make-empty-font.py), registered only to change the font database.
constexpr auto emptyFontPath = ":/fonts/empty.ttf";

} // namespace

void UiFont::releaseUnusedFaces()
{
    // Widgets share the application font's private data, which keeps the faces it loaded even
    // after Qt's font cache is emptied; a copy that differed for a moment starts with none.
    QFont fresh = QGuiApplication::font();
    const auto weight = fresh.weight();
    fresh.setWeight(weight == QFont::Bold ? QFont::Normal : QFont::Bold);
    fresh.setWeight(weight);
    QGuiApplication::setFont(fresh);

    // Qt has no call to unload a face, but it empties its font cache whenever its font database
    // changes, and adding or removing an application font changes it.
    ApplicationResources::registerAll();
    QFile file(QString::fromLatin1(emptyFontPath));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const int id = QFontDatabase::addApplicationFontFromData(file.readAll());
    if (id >= 0)
        QFontDatabase::removeApplicationFont(id);
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
