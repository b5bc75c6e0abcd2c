#include "app/ui/ConfirmationSheet.h"
#include "app/ui/SystemColors.h"
#include "support/ViewTest.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

namespace vantorel {
namespace {

class ConfirmationSheetTest : public ViewTest
{
protected:
    QWidget parent;
};

TEST_F(ConfirmationSheetTest, EachTextKeepsToOneLineAndTheActionIsRedInBothSchemes)
{
    show(&parent);
    for (const bool dark : {false, true}) {
        setDark(dark);
        ConfirmationSheet sheet(QStringLiteral("使用率履歴を削除しますか？"), QStringLiteral("削除した履歴は元に戻せません。"),
                                QStringLiteral("Codexの履歴を削除"), &parent);
        sheet.open();
        QApplication::processEvents();
        for (const char* name : {"confirmation.question", "confirmation.message"}) {
            const auto* label = find<QLabel>(&sheet, QString::fromLatin1(name));
            EXPECT_LT(label->height(), 2 * label->fontMetrics().lineSpacing()) << name << " wraps";
        }
        const QImage button = sheet.destructiveButton()->grab().toImage();
        const QColor fill = button.pixelColor(5, button.height() / 2);
        EXPECT_GT(fill.red(), 170) << (dark ? "dark" : "light");
        EXPECT_LT(fill.green(), 110) << (dark ? "dark" : "light");
        expectButtonsFit(&sheet);
        expectNoMissingGlyphs(&sheet);
        expectSheetButtonRow(&sheet, sheet.cancelButton(), sheet.destructiveButton());
        saveGrab(&sheet, dark ? QStringLiteral("confirmation-sheet-dark") : QStringLiteral("confirmation-sheet-light"));
    }
}

TEST_F(ConfirmationSheetTest, ALongMessageWrapsAtPunctuationAndNoMessageLeavesOnlyTheQuestion)
{
    show(&parent);
    ConfirmationSheet sheet(QStringLiteral("iCloudの同期データを削除しますか？"),
                            QStringLiteral("このPCのiCloud同期データ（同期フォルダ内）を削除し、送信をOFFにします。このPC内の履歴は削除しません。"),
                            QStringLiteral("iCloudデータを削除"), &parent);
    sheet.open();
    QApplication::processEvents();
    const auto* message = find<QLabel>(&sheet, QStringLiteral("confirmation.message"));
    EXPECT_GE(message->height(), 2 * message->fontMetrics().lineSpacing());
    expectLinesEndAtPunctuation(message);

    ConfirmationSheet bare(QStringLiteral("iPhoneの登録を解除しますか？"), QString(), QStringLiteral("登録を解除"), &parent);
    bare.open();
    QApplication::processEvents();
    EXPECT_FALSE(find<QLabel>(&bare, QStringLiteral("confirmation.message"))->isVisible());
    saveGrab(&bare, QStringLiteral("confirmation-sheet-bare"));
}

TEST_F(ConfirmationSheetTest, OnlyTheActionConfirmsAndReturnCancelsUnlessTheActionHasTheFocus)
{
    show(&parent);
    ConfirmationSheet sheet(QStringLiteral("通知履歴を削除しますか？"), QStringLiteral("削除した履歴は元に戻せません。"),
                            QStringLiteral("通知履歴を削除"), &parent);
    QSignalSpy confirmed(&sheet, &ConfirmationSheet::confirmed);
    for (const auto key : {Qt::Key_Escape, Qt::Key_Return}) {
        sheet.open();
        QApplication::processEvents();
        QTest::keyClick(&sheet, key);
        EXPECT_FALSE(sheet.isVisible());
        EXPECT_EQ(sheet.result(), QDialog::Rejected);
    }
    sheet.open();
    sheet.cancelButton()->click();
    EXPECT_EQ(confirmed.size(), 0);
    sheet.open();
    sheet.destructiveButton()->click();
    EXPECT_EQ(confirmed.size(), 1);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.text(), "通知履歴を削除しますか？");

    // The ring on the red action: Return is that action, and キャンセル stays the default.
    sheet.open();
    QApplication::processEvents();
    QTest::keyClick(sheet.cancelButton(), Qt::Key_Tab);
    ASSERT_EQ(sheet.focusWidget(), sheet.destructiveButton());
    QTest::keyClick(sheet.destructiveButton(), Qt::Key_Return);
    EXPECT_EQ(confirmed.size(), 2);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(sheet.cancelButton()->isDefault());
}

TEST_F(ConfirmationSheetTest, IsADialogOfOneSizeWithoutMaximiseOrMinimise)
{
    show(&parent);
    ConfirmationSheet sheet(QStringLiteral("iCloudの同期データを削除しますか？"),
                            QStringLiteral("このPCのiCloud同期データ（同期フォルダ内）を削除し、送信をOFFにします。このPC内の履歴は削除しません。"),
                            QStringLiteral("iCloudデータを削除"), &parent);
    sheet.open();
    QApplication::processEvents();
    EXPECT_TRUE(sheet.windowFlags().testFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint));
    EXPECT_FALSE(sheet.windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint));
    // What the window manager is told: one size, so nothing to resize or maximise.
    ASSERT_TRUE(sheet.windowHandle());
    EXPECT_EQ(sheet.windowHandle()->minimumSize(), sheet.windowHandle()->maximumSize());
    EXPECT_EQ(sheet.size(), QSize(ConfirmationSheet::sheetWidth, sheet.heightForWidth(ConfirmationSheet::sheetWidth)));
}

} // namespace
} // namespace vantorel
