#include "sync/model/SyncDisplayName.h"
#include "sync/model/SyncText.h"

#include <gtest/gtest.h>

using namespace vantorel;

namespace {

QString scalars(std::initializer_list<char32_t> values)
{
    QString out;
    for (const char32_t v : values)
        out.append(QString::fromUcs4(&v, 1));
    return out;
}

} // namespace

TEST(SyncDisplayNameTest, CharacterCountIsUserPerceived)
{
    const std::vector<std::pair<QString, qsizetype>> table = {
        {QString(), 0},
        {QStringLiteral("Mac"), 3},
        {QStringLiteral("e\u0301"), 1},
        {scalars({0x1F469, 0x200D, 0x1F469, 0x200D, 0x1F467, 0x200D, 0x1F466}), 1}, // family
        {scalars({0x1F3F3, 0xFE0F, 0x200D, 0x1F308}), 1},                           // rainbow flag
        {scalars({0x1F1EF, 0x1F1F5}), 1},                                           // flag of Japan
        {QStringLiteral("\r\n"), 1},
        {QStringLiteral("ｶﾞ山田"), 3}, // the half-width voiced mark extends its letter
    };
    for (const auto& [text, count] : table)
        EXPECT_EQ(SyncText::characterCount(text), count) << text.toStdString();
}

TEST(SyncDisplayNameTest, IsValidChecksLimitsAndCharacterClasses)
{
    struct Case
    {
        const char* name;
        QString text;
        qsizetype maximum;
        bool valid;
    };
    const std::vector<Case> table = {
        {"empty", QString(), 128, true},
        {"plain", QStringLiteral("Kenの MacBook Pro"), 128, true},
        {"80 letters at 80", QString(80, QLatin1Char('a')), 80, true},
        {"81 letters at 80", QString(81, QLatin1Char('a')), 80, false},
        {"assigned in 3.2", scalars({0x0220}), 1, true},
        {"assigned in 4.0", scalars({0x0221}), 1, false},
        {"emoji after 3.2", QStringLiteral("Mac ") + scalars({0x1F600}), 128, false},
        {"unassigned", scalars({0x0378}), 1, false},
        {"private use", scalars({0xE000}), 1, true},
        {"zero-width joiner", QStringLiteral("a\u200Db"), 128, false},
        {"right-to-left override", QStringLiteral("a\u202Eb"), 128, false},
        {"soft hyphen (Cf)", QStringLiteral("a\u00ADb"), 128, false},
        {"tab", QStringLiteral("a\tb"), 128, false},
        {"next line U+0085", QStringLiteral("a\u0085b"), 128, false},
        {"noncharacter U+FFFE", scalars({0x61, 0xFFFE}), 128, false},
        {"noncharacter U+10FFFF", scalars({0x10FFFF}), 128, false},
        {"lone surrogate", QString(QChar(0xD800)), 128, false},
        {"ideographic space", QStringLiteral("名前\u3000名前"), 128, true},
        {"two scalars in one character at 1", QStringLiteral("e\u0301"), 1, true},
        {"three scalars in one character at 1", QStringLiteral("e\u0301\u0302"), 1, false},
        {"six bytes in one character at 1", QStringLiteral("あ\u3099"), 1, false},
        {"six bytes in one character at 2", QStringLiteral("あ\u3099"), 2, true},
    };
    for (const Case& c : table)
        EXPECT_EQ(SyncDisplayName::isValid(c.text, c.maximum), c.valid) << c.name;
}

TEST(SyncDisplayNameTest, SanitizedComposesFiltersCutsAndTrims)
{
    const QString fallback = QStringLiteral("Mac");
    struct Case
    {
        const char* name;
        QString text;
        qsizetype maximum;
        QString expected;
    };
    const std::vector<Case> table = {
        {"empty", QString(), 128, fallback},
        {"only forbidden", QStringLiteral("\u200D\t") + scalars({0x1F600}), 128, fallback},
        {"trimmed", QStringLiteral("  Ken's Mac \n"), 128, QStringLiteral("Ken's Mac")},
        {"ideographic spaces trimmed", QStringLiteral("\u3000名前\u3000"), 128, QStringLiteral("名前")},
        {"tab inside removed", QStringLiteral("Ken\tMac"), 128, QStringLiteral("KenMac")},
        {"composed", QStringLiteral("Cafe\u0301"), 128, QStringLiteral("Caf\u00E9")},
        {"controls and late emoji removed", QStringLiteral("A\u200DB\u202EC") + scalars({0x1F600}), 128,
         QStringLiteral("ABC")},
        {"family emoji removed whole", QStringLiteral("Mac ") + scalars({0x1F469, 0x200D, 0x1F467}), 128,
         QStringLiteral("Mac")},
        {"cut to 80 letters", QString(81, QLatin1Char('a')), 80, QString(80, QLatin1Char('a'))},
        {"leading spaces count toward the scalar cut", QString(300, QLatin1Char(' ')) + QStringLiteral("Mac Studio"),
         128, fallback},
        {"scalar cut then trim", QStringLiteral(" ab c"), 2, QStringLiteral("ab")},
        {"character cut keeps marks", QStringLiteral("x\u0301q\u0301z"), 2, QStringLiteral("x\u0301q\u0301")},
        {"bytes over limit fall back", QStringLiteral("あ\u3099"), 1, fallback},
        {"3.2 letter kept, 4.0 letter removed", scalars({0x0220, 0x0221}), 128, scalars({0x0220})},
        {"lone surrogate removed", QStringLiteral("a") + QChar(0xDC00) + QStringLiteral("b"), 128,
         QStringLiteral("ab")},
    };
    for (const Case& c : table) {
        const QString result = SyncDisplayName::sanitized(c.text, fallback, c.maximum);
        EXPECT_EQ(result, c.expected) << c.name;
        if (result != fallback) {
            EXPECT_TRUE(SyncDisplayName::isValid(result, c.maximum)) << c.name;
        }
    }
    // The fallback comes back as given, even when it would not pass itself.
    EXPECT_EQ(SyncDisplayName::sanitized(QString(), QStringLiteral("\tX"), 80), QStringLiteral("\tX"));
}
