#include "app/ui/ToggleSwitch.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/window/ManualInputPanel.h"
#include "core/sources/UsageParser.h"
#include "support/FakePasteboard.h"
#include "support/ViewModelHarness.h"
#include "support/ViewTest.h"

#include <QAbstractButton>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

namespace vantorel {
namespace {

class ManualInputPanelTest : public ViewTest
{
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        panel = std::make_unique<ManualInputPanel>(
            model, Binding<PopoverPage>{[this] { return page; }, [this](PopoverPage p) { page = p; }}, &clipboard);
        panel->resize(386, 560);
    }
    void click(const QString& name) { find<QAbstractButton>(panel.get(), name)->click(); }
    QLineEdit* field(const QString& name) { return find<QLineEdit>(panel.get(), "manual." + name); }
    QPlainTextEdit* editor() { return find<QPlainTextEdit>(panel.get(), "manual.pastedText"); }
    QString message() { return find<QLabel>(panel.get(), "manual.message")->text(); }

    ViewModelHarness harness;
    AppViewModel& model = harness.makeViewModel();
    FakePasteboard clipboard;
    PopoverPage page = PopoverPage::manual;
    std::unique_ptr<ManualInputPanel> panel;
};

TEST_F(ManualInputPanelTest, EachTargetSavesThroughItsOwnOperationAndKeepsTheFields)
{
    field("fiveHour")->setText("72");
    click("manual.save");
    ASSERT_TRUE(model.usageSnapshot());
    EXPECT_EQ(model.usageSnapshot()->fiveHourRemainingPercent, 72);
    EXPECT_EQ(message(), "Codex の手入力を保存しました。");
    EXPECT_FALSE(model.claudeUsageSnapshot());

    click("segment.1");
    EXPECT_EQ(panel->inputTarget(), UsageInputTarget::claude);
    EXPECT_EQ(field("fiveHour")->text(), "72");
    field("weekly")->setText("51");
    click("manual.save");
    ASSERT_TRUE(model.claudeUsageSnapshot());
    EXPECT_EQ(model.claudeUsageSnapshot()->weeklyRemainingPercent, 51);
    EXPECT_EQ(message(), "Claude の手入力を保存しました。");

    editor()->setPlainText("5h limit: 40% left");
    click("manual.parse");
    EXPECT_EQ(model.claudeUsageSnapshot()->fiveHourRemainingPercent, 40);
    EXPECT_EQ(message(), "Claude の貼り付け内容を保存しました。");
    EXPECT_EQ(model.usageSnapshot()->fiveHourRemainingPercent, 72);
}

TEST_F(ManualInputPanelTest, ReturnInAFieldOfTheFormSavesAsItsButtonDoes)
{
    show(panel.get());
    field("fiveHour")->setText("72");
    field("fiveHour")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(field("fiveHour"), Qt::Key_Return);
    ASSERT_TRUE(model.usageSnapshot());
    EXPECT_EQ(model.usageSnapshot()->fiveHourRemainingPercent, 72);
    EXPECT_EQ(message(), "Codex の手入力を保存しました。");

    field("weekly")->setText("51");
    QTest::keyClick(field("weekly"), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(model.usageSnapshot()->weeklyRemainingPercent, 51);
}

TEST_F(ManualInputPanelTest, ManualFormRefusesBadOrEmptyInputAndSavesTheResetOnlyWhenSwitchedOn)
{
    const QString refused = "保存できません。残り率は0〜100で入力してください。現在の値は変更していません。";
    auto* reset = find<ToggleSwitch>(panel.get(), "manual.resetEnabled");
    auto* date = find<QDateTimeEdit>(panel.get(), "manual.resetDate");
    for (const QString text : {"", "72%%"}) {
        field("fiveHour")->setText(text);
        click("manual.save");
        EXPECT_EQ(message(), refused);
    }
    EXPECT_FALSE(model.usageSnapshot());
    field("fiveHour")->clear();
    field("credits")->setText(" $5 ");
    reset->click();
    EXPECT_TRUE(date->isVisibleTo(panel.get()));
    reset->click();
    click("manual.save");
    ASSERT_TRUE(model.usageSnapshot());
    EXPECT_EQ(model.usageSnapshot()->creditsRemaining, "$5");
    EXPECT_FALSE(model.usageSnapshot()->resetAt);

    reset->click();
    click("manual.save");
    EXPECT_EQ(model.usageSnapshot()->resetAt, Date::fromQDateTime(date->dateTime()));
}

TEST_F(ManualInputPanelTest, ClipboardEditorAndHeader)
{
    auto* clear = find<QAbstractButton>(panel.get(), "manual.clear");
    EXPECT_FALSE(clear->isEnabled());
    click("manual.parse");
    EXPECT_EQ(message(), "抽出できませんでした。下で手入力してください。");

    editor()->setPlainText("keep");
    const QList<std::pair<QString, QString>> refusals{
        {" \n\t", "クリップボードにテキストがありません。"},
        {QString(UsageParser::maximumTextLength + 1, u'x'), "クリップボードのテキストが長すぎます。"}};
    for (const auto& [text, expected] : refusals) {
        clipboard.copyFromAnotherProgram(text);
        click("manual.readClipboard");
        EXPECT_EQ(message(), expected);
        EXPECT_EQ(editor()->toPlainText(), "keep");
    }
    clipboard.copyFromAnotherProgram(" 5h limit ");
    click("manual.readClipboard");
    EXPECT_EQ(editor()->toPlainText(), " 5h limit ");

    EXPECT_TRUE(clear->isEnabled());
    clear->click();
    EXPECT_TRUE(editor()->toPlainText().isEmpty());
    EXPECT_FALSE(find<QLabel>(panel.get(), "manual.message")->isVisibleTo(panel.get()));

    click("panelHeader.back");
    EXPECT_EQ(page, PopoverPage::main);

    editor()->setPlainText("5h limit: 72% left (resets 21:02)\nWeekly limit: 97% left");
    field("fiveHour")->setText("72");
    find<ToggleSwitch>(panel.get(), "manual.resetEnabled")->click();
    click("manual.save");
    for (const bool dark : {false, true}) {
        setDark(dark);
        show(panel.get());
        expectNoMissingGlyphs(panel.get());
        saveGrab(panel.get(), dark ? "manual-input-dark" : "manual-input-light");
    }
}

} // namespace
} // namespace vantorel
