#include "app/ui/KitStyle.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/SystemColors.h"
#include "support/ViewTest.h"

#include <gtest/gtest-spi.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOption>
#include <QTest>

namespace vantorel {
namespace {

int contrast(const QColor& a, const QColor& b)
{
    return std::abs(qGray(a.rgb()) - qGray(b.rgb()));
}

// The widget drawn over the window background of the current scheme.
QImage renderOnWindow(QWidget* widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(SystemColors::current().windowBackground);
    widget->render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

// The strongest contrast against `background` inside `area` of the image.
int strongestContrast(const QImage& image, const QRect& area, const QColor& background)
{
    int strongest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            strongest = std::max(strongest, contrast(image.pixelColor(x, y), background));
    return strongest;
}

class KitStyleTest : public ViewTest
{
};

TEST_F(KitStyleTest, PushButtonsHoldTheirTitleAndIconWithOnePaddingAndOneMinimumWidth)
{
    ASSERT_TRUE(qobject_cast<KitStyle*>(QApplication::style()));
    const QStringList titles{QStringLiteral("テスト送信の確認"), QStringLiteral("API Key保存"),
                             QStringLiteral("対象サービス名を保存"), QStringLiteral("削除")};
    for (const QString& title : titles) {
        QPushButton plain(title);
        EXPECT_GE(plain.sizeHint().width(), KitStyle::pushButtonWidth(plain.fontMetrics(), title, 0)) << title.toStdString();
        EXPECT_GE(plain.sizeHint().width(), KitStyle::minimumButtonWidth);
        SymbolButton symbol(title, QStringLiteral("doc.text.magnifyingglass"));
        EXPECT_GE(symbol.sizeHint().width(),
                  KitStyle::pushButtonWidth(symbol.fontMetrics(), title, symbol.iconSize().width()))
            << title.toStdString();
    }
    // Short titles share the minimum, so a row of them reads as one set.
    EXPECT_EQ(QPushButton(QStringLiteral("削除")).sizeHint().width(), QPushButton(QStringLiteral("保存")).sizeHint().width());

    // The page check reports a button squeezed below its title.
    QWidget row;
    auto* squeezed = new QPushButton(QStringLiteral("テスト送信の確認"), &row);
    squeezed->setFixedWidth(KitStyle::minimumButtonWidth + 10);
    show(&row);
    EXPECT_NONFATAL_FAILURE(expectButtonsFit(&row), "テスト送信の確認");
}

TEST_F(KitStyleTest, ScrollBarIsThinWithoutArrowsAndItsHandleShowsInBothSchemes)
{
    QScrollBar bar(Qt::Vertical);
    bar.setRange(0, 300);
    bar.setPageStep(100);
    EXPECT_EQ(bar.sizeHint().width(), KitStyle::scrollBarExtent);
    bar.resize(KitStyle::scrollBarExtent, 200);
    show(&bar);

    QStyleOptionSlider option;
    option.initFrom(&bar);
    option.orientation = Qt::Vertical;
    option.minimum = bar.minimum();
    option.maximum = bar.maximum();
    option.pageStep = bar.pageStep();
    option.sliderPosition = option.sliderValue = 300;
    const QStyle* style = bar.style();
    for (const auto arrow : {QStyle::SC_ScrollBarAddLine, QStyle::SC_ScrollBarSubLine})
        EXPECT_TRUE(style->subControlRect(QStyle::CC_ScrollBar, &option, arrow, &bar).isEmpty());
    // A page of 100 out of 400 is a quarter of the track, and at the end it touches the bottom.
    const QRect handle = style->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, &bar);
    EXPECT_EQ(handle, QRect(0, 150, KitStyle::scrollBarExtent, 50));

    // A click below the handle pages down through the same geometry.
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(4, 190));
    EXPECT_EQ(bar.value(), 100);

    for (const bool dark : {false, true}) {
        setDark(dark);
        bar.setValue(0);
        const QImage image = renderOnWindow(&bar);
        EXPECT_GE(strongestContrast(image, QRect(0, 0, KitStyle::scrollBarExtent, 50), SystemColors::current().windowBackground), 60)
            << (dark ? "dark" : "light");
        EXPECT_LE(strongestContrast(image, QRect(0, 60, KitStyle::scrollBarExtent, 140), SystemColors::current().windowBackground), 0)
            << "the track itself stays clear";
    }
}

TEST_F(KitStyleTest, TextFieldsKeepAVisibleBorderAndPasswordsSmallBullets)
{
    for (const bool dark : {false, true}) {
        setDark(dark);
        QLineEdit field;
        field.resize(160, field.sizeHint().height());
        const QImage image = renderOnWindow(&field);
        const QColor edge = image.pixelColor(0, image.height() / 2);
        EXPECT_GE(contrast(edge, SystemColors::current().windowBackground), 40) << (dark ? "dark" : "light");
        EXPECT_GE(contrast(edge, SystemColors::current().textBackground), 40) << (dark ? "dark" : "light");
    }

    QLineEdit password;
    password.setEchoMode(QLineEdit::Password);
    const int bullet = password.style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, &password);
    EXPECT_EQ(bullet, int(KitStyle::passwordCharacter));
    EXPECT_LE(password.fontMetrics().horizontalAdvance(QChar(bullet)), password.fontMetrics().height() / 2);
}

} // namespace
} // namespace vantorel
