#include "app/setup/DiscordTestPreviewView.h"
#include "app/ui/ConfirmationSheet.h"
#include "app/ui/FocusRing.h"
#include "app/ui/ScreenFit.h"
#include "support/ViewTest.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QTest>

#include <algorithm>
#include <memory>

namespace vantorel {
namespace {

using namespace Qt::Literals::StringLiterals;

class SheetWindowTest : public ViewTest
{
protected:
    QWidget parent;
};

QString lines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << u"%1行目の確認事項です。"_s.arg(i);
    return lines.join(u'\n');
}

// Japanese characters, then narrow Latin ones, up to `width`: a scroll bar's width less wraps it.
QString lineAsWideAs(const QFontMetrics& metrics, int width)
{
    QString line;
    for (const QChar c : {u'確', u'i'}) {
        while (metrics.horizontalAdvance(line + c) <= width)
            line += c;
    }
    return line;
}

// A sheet taller than the screen's room below its title bar is cut to that room: its body scrolls
// to its last line and both buttons stay whole inside the sheet. Shorter again, it is as tall as
// its content and nothing scrolls.
TEST_F(SheetWindowTest, ASheetTallerThanTheScreenScrollsItsBodyAndKeepsItsButtons)
{
    show(&parent);
    const QRect available = parent.screen()->availableGeometry();
    const int longer = available.height() / QFontMetrics(QApplication::font()).lineSpacing() + 10;
    struct Sheet {
        std::unique_ptr<QDialog> dialog;
        QString lastLabel;
        QList<QPushButton*> buttons;
    };
    auto confirmation = std::make_unique<ConfirmationSheet>(u"削除しますか？"_s, lines(longer), u"削除"_s, &parent);
    const QList<QPushButton*> confirmationButtons{confirmation->cancelButton(), confirmation->destructiveButton()};
    auto preview = std::make_unique<DiscordTestPreviewView>(DiscordTestDraft{QUuid::createUuid(), lines(longer)},
                                                            [] {}, [] {}, &parent);
    const QList<QPushButton*> previewButtons{preview->findChild<QPushButton*>(u"discordTestPreview.cancel"_s),
                                             preview->findChild<QPushButton*>(u"discordTestPreview.confirm"_s)};
    Sheet sheets[] = {{std::move(confirmation), u"confirmation.message"_s, confirmationButtons},
                      {std::move(preview), u"discordTestPreview.content"_s, previewButtons}};
    for (Sheet& sheet : sheets) {
        QDialog* dialog = sheet.dialog.get();
        SCOPED_TRACE(dialog->metaObject()->className());
        dialog->open();
        QApplication::processEvents();
        const QMargins frame = ScreenFit::frameOf(dialog);
        EXPECT_EQ(dialog->height(), available.height() - frame.top() - frame.bottom());
        EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize()) << "still one size";
        for (const QPushButton* button : sheet.buttons) {
            EXPECT_TRUE(button->isVisible());
            EXPECT_TRUE(dialog->rect().contains(QRect(button->mapTo(dialog, QPoint()), button->size())))
                << button->text().toStdString();
        }
        auto* area = dialog->findChild<QScrollArea*>(u"sheet.body"_s);
        ASSERT_TRUE(area);
        QScrollBar* bar = area->verticalScrollBar();
        EXPECT_GT(bar->maximum(), 0);
        bar->setValue(bar->maximum());
        auto* message = dialog->findChild<QLabel*>(sheet.lastLabel);
        ASSERT_TRUE(message);
        const int lastBottom = message->mapTo(area->viewport(), QPoint(0, message->height())).y();
        EXPECT_LE(lastBottom, area->viewport()->height()) << "the body scrolls to its last line";
        saveGrab(dialog, u"sheet-cut-to-screen-"_s + sheet.lastLabel.section(u'.', 0, 0));

        // Line by line shorter, up to the first height that fits, the last line one that fits the
        // body's whole width and wraps beside a scroll bar: then the bar goes.
        const QString wide = lineAsWideAs(message->fontMetrics(), area->width());
        for (int count = longer; count >= 0 && dialog->height() == available.height() - frame.top() - frame.bottom();
             --count) {
            message->setText(lines(count) + u'\n' + wide);
            // The body's layout request, then the sheet's.
            QApplication::processEvents();
            QApplication::processEvents();
        }
        EXPECT_LT(dialog->height(), available.height() - frame.top() - frame.bottom());
        EXPECT_EQ(dialog->height(), dialog->heightForWidth(dialog->width()));
        EXPECT_EQ(bar->maximum(), 0);
        EXPECT_FALSE(bar->isVisible());
        dialog->close();
    }
}

// The body of a sheet cut to the screen takes the keyboard as a page does: Tab reaches it after
// the buttons the sheet opens on, and the arrow and page keys scroll it, with the ring round it.
// A whole sheet's body is no stop of Tab.
TEST_F(SheetWindowTest, ACutSheetsBodyScrollsByKeysAndAWholeOneTakesNoFocus)
{
    show(&parent);
    const int longer =
        parent.screen()->availableGeometry().height() / QFontMetrics(QApplication::font()).lineSpacing() + 10;
    for (const int count : {longer, 1}) {
        SCOPED_TRACE(count);
        ConfirmationSheet sheet(u"削除しますか？"_s, lines(count), u"削除"_s, &parent);
        sheet.open();
        sheet.activateWindow();
        QApplication::processEvents();
        ASSERT_TRUE(sheet.isActiveWindow());
        ASSERT_EQ(QApplication::focusWidget(), sheet.cancelButton()) << "the sheet opens on its buttons";
        auto* area = sheet.findChild<QScrollArea*>(u"sheet.body"_s);
        ASSERT_TRUE(area);
        QSet<QWidget*> stops;
        for (int press = 0; press < 4; ++press) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            stops.insert(QApplication::focusWidget());
        }
        if (count == 1) {
            EXPECT_FALSE(stops.contains(area)) << "a whole body is no stop of Tab";
            EXPECT_EQ(area->verticalScrollBar()->maximum(), 0);
            sheet.close();
            continue;
        }
        ASSERT_TRUE(stops.contains(area)) << "Tab reaches the cut body";
        while (QApplication::focusWidget() != area)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_TRUE(FocusRing::isShown(area));
        QScrollBar* bar = area->verticalScrollBar();
        ASSERT_EQ(bar->value(), 0);
        QTest::keyClick(area, Qt::Key_Down);
        const int line = bar->value();
        EXPECT_GT(line, 0) << "Down scrolls";
        QTest::keyClick(area, Qt::Key_PageDown);
        EXPECT_EQ(bar->value(), std::min(line + bar->pageStep(), bar->maximum())) << "PgDn scrolls a page";
        QTest::keyClick(area, Qt::Key_PageUp);
        QTest::keyClick(area, Qt::Key_Up);
        EXPECT_EQ(bar->value(), 0);
        saveGrab(&sheet, u"sheet-cut-body-focused"_s);
        sheet.close();
    }
}

// A sheet first shows before the window manager's title bar is known and grows into the room that
// bar leaves once it is; a window manager may keep the sheet's old place or push it up over a
// panel. Grown on screen, the sheet stays inside the screen's available geometry, title bar and
// all, as the window and the popover do.
TEST_F(SheetWindowTest, ASheetThatGrowsOnScreenStaysInsideTheAvailableGeometry)
{
    show(&parent);
    const QRect available = parent.screen()->availableGeometry();
    const int longer = available.height() / QFontMetrics(QApplication::font()).lineSpacing() + 10;
    for (const int shift : {-20, 0}) {
        SCOPED_TRACE(shift);
        ConfirmationSheet sheet(u"削除しますか？"_s, lines(1), u"削除"_s, &parent);
        sheet.open();
        QApplication::processEvents();
        const QMargins frame = ScreenFit::frameOf(&sheet);
        // Above the top edge where a window manager left it, or at the bottom edge.
        const int top = shift < 0 ? available.top() + shift
                                  : available.bottom() + 1 - sheet.height() - frame.top() - frame.bottom();
        sheet.move(sheet.x(), top);
        QApplication::processEvents();
        if (shift < 0) {
            ASSERT_LT(sheet.y(), available.top());
        }
        const int before = sheet.height();
        sheet.findChild<QLabel*>(u"confirmation.message"_s)->setText(lines(longer));
        QApplication::processEvents();
        QApplication::processEvents();
        ASSERT_GT(sheet.height(), before);
        // pos() is the frame's top left; offscreen the frame is the one assumed for a title bar.
        const QRect placed(sheet.pos(), sheet.size().grownBy(frame));
        EXPECT_TRUE(available.contains(placed)) << "frame at " << placed.y() << ", " << placed.height() << " high";
        sheet.close();
    }
}

} // namespace
} // namespace vantorel
