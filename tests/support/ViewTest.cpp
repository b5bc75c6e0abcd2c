#include "support/ViewTest.h"

#include "app/ui/ApplicationPalette.h"
#include "app/ui/KitStyle.h"
#include "app/ui/LineBreaks.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/UiFont.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolTip>

#include <algorithm>

namespace vantorel {

namespace {

QStringList missingGlyphTexts(const QString& text, const QFont& font)
{
    QStringList missing;
    for (const QString& line : text.split(u'\n')) {
        if (line.trimmed().isEmpty())
            continue;
        QTextLayout layout(line, font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        for (const QGlyphRun& run : layout.glyphRuns()) {
            if (run.glyphIndexes().contains(0)) {
                missing.append(line);
                break;
            }
        }
    }
    return missing;
}

QString shownText(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (label->textFormat() == Qt::PlainText)
            return label->text();
        QTextDocument document;
        document.setHtml(label->text());
        return document.toPlainText();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    return {};
}

bool laysOut(const QLayout* layout, const QWidget* widget)
{
    for (int index = 0; index < layout->count(); ++index) {
        QLayoutItem* item = layout->itemAt(index);
        if (item->widget() == widget || (item->layout() && laysOut(item->layout(), widget)))
            return true;
    }
    return false;
}

// The least height a layout grants `widget` when it has room: its set minimum, else its minimum
// size hint (its size hint where it may not shrink), and what its width wraps to: its layout's
// least height for that width, or a wrapped label's height.
int leastHeight(const QWidget* widget)
{
    int least = widget->minimumHeight();
    if (least == 0)
        least = widget->sizePolicy().verticalPolicy() & QSizePolicy::ShrinkFlag ? widget->minimumSizeHint().height()
                                                                                : widget->sizeHint().height();
    if (QLayout* layout = widget->layout(); layout && layout->hasHeightForWidth())
        least = std::max(least, layout->totalMinimumHeightForWidth(widget->width()));
    else if (widget->hasHeightForWidth())
        least = std::max(least, widget->heightForWidth(widget->width()));
    return std::min(least, widget->maximumHeight());
}

} // namespace

void ViewTest::SetUp()
{
    ASSERT_TRUE(QFontDatabase::hasFamily(QString::fromLatin1(UiFont::japaneseFamily)))
        << "the Japanese font (fonts-noto-cjk) is not installed";
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    ApplicationPalette::applyStyleAndFont();
    setDark(false);
}

void ViewTest::TearDown()
{
    setDark(false);
}

void ViewTest::setDark(bool dark)
{
    ApplicationPalette::apply(dark ? SystemColors::dark() : SystemColors::light());
}

void ViewTest::show(QWidget* widget)
{
    widget->show();
    QApplication::processEvents();
}

void ViewTest::saveGrab(QWidget* widget, const QString& name)
{
    const QPixmap pixmap = widget->grab();
    EXPECT_FALSE(pixmap.isNull()) << name.toStdString();
    const QString folder = qEnvironmentVariable("VANTOREL_TEST_ARTEFACTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    EXPECT_TRUE(pixmap.save(folder + u'/' + name + QStringLiteral(".png"))) << name.toStdString();
}

void ViewTest::expectNoMissingGlyphs(const QWidget* root)
{
    QList<const QWidget*> widgets{root};
    for (const QWidget* child : root->findChildren<QWidget*>())
        widgets.append(child);
    for (const QWidget* widget : widgets) {
        if (widget != root && !widget->isVisibleTo(root))
            continue;
        for (const QString& line : missingGlyphTexts(shownText(widget), widget->font()))
            ADD_FAILURE() << "missing glyph in " << widget->metaObject()->className() << " \""
                          << widget->objectName().toStdString() << "\": " << line.toStdString();
    }
}

int ViewTest::expectNothingSqueezed(const QWidget* root)
{
    int weighed = 0;
    for (const QWidget* widget : root->findChildren<QWidget*>()) {
        const QWidget* parent = widget->parentWidget();
        if (!widget->isVisibleTo(root) || !parent || !parent->layout() || !laysOut(parent->layout(), widget))
            continue;
        ++weighed;
        EXPECT_GE(widget->height(), leastHeight(widget))
            << widget->metaObject()->className() << " \"" << widget->objectName().toStdString() << "\" "
            << shownText(widget).left(20).toStdString();
    }
    return weighed;
}

void ViewTest::expectButtonsFit(const QWidget* root)
{
    for (const QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(root) || button->text().isEmpty())
            continue;
        const std::string what = std::string(button->metaObject()->className()) + " \""
                                 + button->objectName().toStdString() + "\" (" + button->text().toStdString() + ")";
        if (const auto* push = qobject_cast<const QPushButton*>(button)) {
            const int icon = push->icon().isNull() ? 0 : push->iconSize().width();
            EXPECT_GE(push->width(), KitStyle::pushButtonWidth(push->fontMetrics(), push->text(), icon)) << what;
            EXPECT_GE(push->width(), KitStyle::minimumButtonWidth) << what;
        } else {
            EXPECT_GE(button->width(), button->sizeHint().width()) << what;
        }
    }
}

void ViewTest::expectLinesEndAtPunctuation(const QLabel* label)
{
    // Every wrapping label of the kit lays its lines out itself.
    const auto* limited = qobject_cast<const LineLimitedLabel*>(label);
    ASSERT_TRUE(limited) << label->objectName().toStdString() << " is no wrapping label of the kit";
    expectLinesEndAtPunctuation(limited->visibleLines(), label->text(), label->objectName().toStdString(),
                                label->font(), label->contentsRect().width());
}

void ViewTest::expectLinesEndAtPunctuation(const QStringList& lines, const QString& text, const std::string& what,
                                           const QFont& font, int width)
{
    const auto squeezed = [](QString piece) { return piece.remove(u' ').remove(u'\n').remove(QChar::LineSeparator); };
    const QFontMetrics metrics(font);
    // Where a line may end, counted in the text without spaces and line feeds.
    QList<qsizetype> allowed;
    qsizetype offset = 0;
    for (const QString& paragraph : text.split(u'\n')) {
        for (const QString& phrase : linePhrases(paragraph)) {
            const QStringList parts = metrics.horizontalAdvance(phrase.trimmed()) > width ? phraseParts(phrase)
                                                                                           : QStringList{phrase};
            for (const QString& part : parts)
                allowed.append(offset += squeezed(part).size());
        }
    }
    offset = 0;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        offset += squeezed(lines[i]).size();
        EXPECT_TRUE(allowed.contains(offset)) << what << " breaks after \"" << lines[i].toStdString() << "\" before \""
                                              << lines[i + 1].toStdString() << "\"";
    }
}

QStringList ViewTest::shownToolTipLines(QWidget* widget)
{
    QToolTip::showText(widget->mapToGlobal(widget->rect().center()), widget->toolTip(), widget);
    QCoreApplication::processEvents();
    QStringList lines;
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() != u"qtooltip_label" || !window->isVisible())
            continue;
        // The label lays out the tool tip's rich text in a document of its own, at the label's width.
        for (QTextDocument* document : window->findChildren<QTextDocument*>()) {
            document->size();
            for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
                const QTextLayout* layout = block.layout();
                for (int i = 0; i < layout->lineCount(); ++i) {
                    const QTextLine line = layout->lineAt(i);
                    lines.append(block.text().mid(line.textStart(), line.textLength()).remove(QChar::LineSeparator));
                }
            }
        }
    }
    QToolTip::hideText();
    return lines;
}

void ViewTest::expectSheetButtonRow(const QWidget* sheet, const QWidget* cancel, const QWidget* action)
{
    ASSERT_TRUE(sheet && cancel && action);
    constexpr int trailingMargin = 24;
    constexpr int largestGap = 12;
    const QRect c(cancel->mapTo(sheet, QPoint()), cancel->size());
    const QRect a(action->mapTo(sheet, QPoint()), action->size());
    EXPECT_EQ(c.center().y(), a.center().y()) << "one row";
    EXPECT_LT(c.right(), a.left()) << "the cancel button comes first";
    EXPECT_LE(a.left() - c.right(), largestGap) << "side by side";
    EXPECT_LE(sheet->width() - 1 - a.right(), trailingMargin) << "at the trailing edge";
}

} // namespace vantorel
