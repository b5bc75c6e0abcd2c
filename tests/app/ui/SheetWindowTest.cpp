#include "app/setup/DiscordTestPreviewView.h"
#include "app/ui/ConfirmationSheet.h"
#include "app/ui/ScreenFit.h"
#include "support/ViewTest.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

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

} // namespace
} // namespace vantorel
