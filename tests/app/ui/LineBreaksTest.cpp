#include "app/ui/LineBreaks.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/UiFont.h"
#include "support/ViewTest.h"

#include <QFontMetrics>

#include <initializer_list>

namespace vantorel {
namespace {

using namespace Qt::Literals::StringLiterals;

const QString instruction = u"Claude Codeの認証ファイルがないか、読み取れませんでした。Claude Codeでログインしてから「認証を再読込」を押してください。"_s;

class LineBreaksTest : public ViewTest
{
};

// Each row: a text and the pieces it splits into, which joined give it back.
struct Split {
    QString text;
    QStringList pieces;
};

void expectSplits(QStringList (*split)(const QString&), std::initializer_list<Split> rows)
{
    for (const Split& row : rows) {
        EXPECT_EQ(split(row.text), row.pieces) << row.text.toStdString();
        EXPECT_EQ(split(row.text).join(QString()), row.text);
    }
}

TEST_F(LineBreaksTest, PhrasesEndAfterPunctuationSpacesAndClosingBracketsAndBeforeOpeningOnes)
{
    expectSplits(&linePhrases,
                 {
                     {u"Codeでログインしてから「認証を再読込」を押してください。"_s,
                      {u"Codeでログインしてから"_s, u"「認証を再読込」"_s, u"を押してください。"_s}},
                     {u"「設定。」を開く"_s, {u"「設定。」"_s, u"を開く"_s}},
                     {u"ないか、読み取れません。"_s, {u"ないか、"_s, u"読み取れません。"_s}},
                     // A space between Latin words keeps a name whole; one beside Japanese ends a phrase.
                     {u"Codex CLI（任意）です！次へ"_s, {u"Codex CLI"_s, u"（任意）"_s, u"です！"_s, u"次へ"_s}},
                     {u"Claude  Codeで 開く"_s, {u"Claude  Codeで "_s, u"開く"_s}},
                     {u"句読点のない長い文"_s, {u"句読点のない長い文"_s}},
                     {QString(), {}},
                 });
}

TEST_F(LineBreaksTest, PartsOfAPhraseEndAfterParticlesBeforeAWordAndAfterSpacesInsideNames)
{
    expectSplits(&phraseParts,
                 {
                     {u"保存済み認証の再読込と必要時の公式ログイン開始を補助します。"_s,
                      {u"保存済み認証の"_s, u"再読込と"_s, u"必要時の"_s, u"公式ログイン開始を"_s, u"補助します。"_s}},
                     // A demonstrative stays with its word; a particle before hiragana or
                     // punctuation, or without a word before it, ends nothing.
                     {u"時にもこのPCまたはiCloudを確認します。"_s, {u"時にもこのPCまたは"_s, u"iCloudを"_s, u"確認します。"_s}},
                     {u"この端末の設定を"_s, {u"この端末の"_s, u"設定を"_s}},
                     {u"を開く"_s, {u"を開く"_s}},
                     {u"ClaudeはClaude Codeで"_s, {u"Claudeは"_s, u"Claude "_s, u"Codeで"_s}},
                     {u"句読点のない長い文"_s, {u"句読点のない長い文"_s}},
                     {QString(), {}},
                 });
}

// A wrapping label breaks between phrases; between the parts of one only when that phrase alone is
// wider than the line, inside a part only when the part is; and at the text's own line feeds.
TEST_F(LineBreaksTest, WrappingLabelBreaksBetweenPhrasesAndSplitsOnlyAPhraseWiderThanTheLine)
{
    LineLimitedLabel label(LineLimitedLabel::unlimited, instruction);
    label.setFont(UiFont::caption());
    const QFontMetrics metrics(label.font());
    int widestPart = 0;
    for (const QString& phrase : linePhrases(instruction)) {
        for (const QString& part : phraseParts(phrase))
            widestPart = std::max(widestPart, metrics.horizontalAdvance(part.trimmed()));
    }
    for (int width = 40; width <= 420; width += 10) {
        label.resize(width, label.heightForWidth(width));
        const QStringList lines = label.visibleLines();
        EXPECT_EQ(QString(lines.join(QString())).remove(u' '), QString(instruction).remove(u' ')) << width;
        EXPECT_EQ(label.heightForWidth(width), int(lines.size()) * metrics.lineSpacing()) << width;
        for (const QString& line : lines)
            EXPECT_LE(metrics.horizontalAdvance(line), width) << width;
        if (width >= widestPart)
            expectLinesEndAtPunctuation(lines, instruction, "width " + std::to_string(width), label.font(), width);
    }

    label.setText(u"一行目。\n二行目、三行目"_s);
    label.resize(400, label.heightForWidth(400));
    EXPECT_EQ(label.visibleLines(), (QStringList{u"一行目。"_s, u"二行目、三行目"_s}));
}

} // namespace
} // namespace vantorel
