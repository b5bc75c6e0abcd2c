#include "app/ui/Binding.h"
#include "app/ui/CompactButton.h"
#include "app/ui/DisclosureGroup.h"
#include "app/ui/IconButton.h"
#include "app/ui/IconProvider.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/PillButton.h"
#include "app/ui/SegmentedControl.h"
#include "app/ui/ShrinkingLabel.h"
#include "app/ui/Stepper.h"
#include "app/ui/SystemColors.h"
#include "app/ui/TextColor.h"
#include "app/ui/ToggleSwitch.h"
#include "app/ui/UiFont.h"
#include "support/ViewTest.h"

#include <gtest/gtest-spi.h>

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

namespace vantorel {
namespace {

const QStringList symbolNames = QStringLiteral(
    "1.circle 2.circle 3.circle arrow.clockwise arrow.counterclockwise arrow.left arrow.left.arrow.right "
    "arrow.triangle.2.circlepath arrow.up.right arrow.up.right.square battery.100percent battery.25 battery.50 bell "
    "bell.badge bell.slash book.pages bubble.left.and.bubble.right calendar.badge.clock chart.line.downtrend.xyaxis "
    "chart.xyaxis.line checklist checkmark checkmark.circle checkmark.message checkmark.seal checkmark.seal.fill "
    "checkmark.shield chevron.left chevron.right clock clock.badge.checkmark desktopcomputer doc.on.clipboard "
    "doc.on.doc doc.text.magnifyingglass exclamationmark.icloud exclamationmark.octagon.fill exclamationmark.triangle "
    "exclamationmark.triangle.fill eye.slash gauge.with.dots.needle.50percent gearshape hand.raised hourglass icloud "
    "icloud.and.arrow.up icloud.slash info.circle iphone iphone.and.arrow.forward iphone.slash key laptopcomputer lock "
    "lock.shield macbook menubar.rectangle moon.zzz network paperplane pause.circle pause.circle.fill percent "
    "person.badge.key person.crop.circle.badge.checkmark power powersleep qrcode qrcode.viewfinder "
    "questionmark.circle rectangle.3.group restart slider.horizontal.3 sparkles speedometer square.and.arrow.down "
    "square.and.pencil switch.2 terminal text.bubble ticket timer trash waveform.path.ecg wifi wifi.exclamationmark "
    "wifi.slash xmark xmark.circle").split(u' ');

// Renders the widget over white and returns the image (1:1 pixels).
QImage render(QWidget* widget)
{
    widget->resize(widget->sizeHint());
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    widget->render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

int inkedPixels(const QImage& image, const QColor& ink)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == ink)
                ++count;
    return count;
}

QColor over(const QColor& color, qreal opacity, const QColor& background)
{
    return QColor::fromRgbF(color.redF() * opacity + background.redF() * (1 - opacity),
                            color.greenF() * opacity + background.greenF() * (1 - opacity),
                            color.blueF() * opacity + background.blueF() * (1 - opacity));
}

void expectNear(const QColor& actual, const QColor& expected, int tolerance, const char* what)
{
    EXPECT_LE(std::abs(actual.red() - expected.red()), tolerance) << what;
    EXPECT_LE(std::abs(actual.green() - expected.green()), tolerance) << what;
    EXPECT_LE(std::abs(actual.blue() - expected.blue()), tolerance) << what;
}

class UiKitTest : public ViewTest
{
};

TEST_F(UiKitTest, EverySymbolIsAValidDrawingInTheAskedColourAndAnUnknownOneAPlaceholder)
{
    ASSERT_EQ(symbolNames.size(), 90);
    const QColor ink(200, 30, 60);
    QImage sheet(10 * 36, 9 * 36, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (int i = 0; i < symbolNames.size(); ++i) {
        const QString& name = symbolNames[i];
        EXPECT_TRUE(IconProvider::hasSymbol(name)) << name.toStdString();
        const QPixmap pixmap = IconProvider::pixmap(name, 16, ink, 2.0);
        EXPECT_EQ(pixmap.size(), QSize(32, 32)) << name.toStdString();
        EXPECT_GT(inkedPixels(pixmap.toImage(), ink), 20) << name.toStdString() << " draws almost nothing";
        painter.drawPixmap(QRect((i % 10) * 36 + 2, (i / 10) * 36 + 2, 32, 32), IconProvider::pixmap(name, 32, Qt::black, 1.0));
    }
    painter.end();
    QLabel sheetLabel;
    sheetLabel.setPixmap(QPixmap::fromImage(sheet));
    saveGrab(&sheetLabel, QStringLiteral("icons"));

    EXPECT_FALSE(IconProvider::hasSymbol(QStringLiteral("no.such.symbol")));
    EXPECT_GT(inkedPixels(IconProvider::pixmap(QStringLiteral("no.such.symbol"), 16, ink, 1.0).toImage(), ink), 0);
}

TEST_F(UiKitTest, SymbolsAreCachedUntilTheCachesAreReleasedAndThenDrawnTheSameAgain)
{
    const auto draw = [] { return IconProvider::pixmap(QStringLiteral("gearshape"), 16, Qt::black, 2.0); };
    const QPixmap first = draw();
    EXPECT_EQ(draw().cacheKey(), first.cacheKey());
    IconProvider::releaseCaches();
    const QPixmap again = draw();
    EXPECT_NE(again.cacheKey(), first.cacheKey());
    EXPECT_EQ(again.toImage(), first.toImage());
    EXPECT_TRUE(IconProvider::hasSymbol(QStringLiteral("gearshape")));
}

TEST_F(UiKitTest, ButtonsKeepTheirGeometryAndOrder)
{
    for (const auto* name : {"xmark", "arrow.left.arrow.right"}) {
        QWidget host;
        auto* layout = new QHBoxLayout(&host);
        auto* button = new IconButton(QString::fromLatin1(name), QStringLiteral("閉じる"));
        layout->addWidget(button, 1);
        host.resize(200, 80);
        show(&host);
        EXPECT_EQ(button->size(), QSize(25, 25)) << name;
    }

    // With a blank title every inked pixel is the symbol's: it must sit after the title.
    CompactButton compact(QStringLiteral("    "), QStringLiteral("xmark"));
    const QImage image = render(&compact);
    const QColor label = SystemColors::current().label;
    int leftmostInk = image.width();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == label)
                leftmostInk = std::min(leftmostInk, x);
    EXPECT_GT(leftmostInk, image.width() / 2);
}

TEST_F(UiKitTest, PillButtonTintsFillOutlineAndTitleFromOneColour)
{
    const QColor tint = SystemColors::light().systemRed;
    const QColor title = SystemColors::light().redText;
    PillButton pill(QStringLiteral("終了"), [](const SystemColors& c) { return c.systemRed; });
    const QImage image = render(&pill);
    const int middle = image.height() / 2;
    expectNear(image.pixelColor(0, middle), over(tint, 0.7, Qt::white), 12, "outline");
    expectNear(image.pixelColor(6, middle), over(tint, 0.08, Qt::white), 2, "fill");
    EXPECT_GT(inkedPixels(image, title), 10) << "title in the colour's text shade";

    pill.setEnabled(false);
    const QImage dimmed = render(&pill);
    EXPECT_EQ(inkedPixels(dimmed, title), 0);
}

TEST_F(UiKitTest, ControlsReportUserChangesApartFromProgrammaticOnes)
{
    SegmentedControl segments({QStringLiteral("アイコン"), QStringLiteral("文字")});
    segments.resize(segments.sizeHint());
    QSignalSpy changed(&segments, &SegmentedControl::currentIndexChanged);
    QSignalSpy activated(&segments, &SegmentedControl::activated);
    segments.setCurrentIndex(1);
    QTest::mouseClick(find<QAbstractButton>(&segments, QStringLiteral("segment.0")), Qt::LeftButton);
    EXPECT_EQ(segments.currentIndex(), 0);
    EXPECT_EQ(changed.size(), 2);
    ASSERT_EQ(activated.size(), 1);
    EXPECT_EQ(activated[0][0].toInt(), 0);

    DisclosureGroup group(QStringLiteral("詳細"));
    group.setContent(new QLabel(QStringLiteral("中身")));
    show(&group);
    EXPECT_FALSE(group.content()->isVisible());
    QTest::mouseClick(find<QAbstractButton>(&group, QStringLiteral("disclosure.header")), Qt::LeftButton);
    EXPECT_TRUE(group.isExpanded());
    EXPECT_TRUE(group.content()->isVisible());
}

TEST_F(UiKitTest, LineLimitedLabelElidesTheLastAllowedLine)
{
    LineLimitedLabel label(2, QStringLiteral("サービスの状態ページから取得した長いメッセージが三行以上に折り返されるとき"));
    label.resize(120, label.heightForWidth(120));
    const QStringList lines = label.visibleLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines.last().endsWith(QStringLiteral("…")));
    EXPECT_EQ(label.heightForWidth(120), 2 * label.fontMetrics().lineSpacing());

    label.setText(QStringLiteral("短い"));
    EXPECT_EQ(label.visibleLines(), QStringList{QStringLiteral("短い")});
}

TEST_F(UiKitTest, GlyphCheckFindsACharacterNoFontHas)
{
    QWidget root;
    auto* layout = new QHBoxLayout(&root);
    layout->addWidget(new QLabel(QStringLiteral("残量と回復予定")));
    auto* missing = new QLabel(QString(QChar(0x0378)));
    layout->addWidget(missing);
    missing->hide();
    expectNoMissingGlyphs(&root);
    missing->show();
    EXPECT_NONFATAL_FAILURE(expectNoMissingGlyphs(&root), "missing glyph");
}

TEST_F(UiKitTest, TextColourOfAChildFollowsADarkSwitch)
{
    QWidget window;
    auto* label = new QLabel(QStringLiteral("残り"), &window);
    setTextColor(label, colors::label);
    show(&window);
    setDark(true);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(label->palette().color(QPalette::WindowText), SystemColors::dark().label);
}

TEST_F(UiKitTest, MemberBindingWritesTheWholeValueBack)
{
    struct Pair {
        int a = 1;
        int b = 2;
    };
    Pair stored;
    int writes = 0;
    const Binding<Pair> whole{[&] { return stored; }, [&](Pair value) { stored = value; ++writes; }};
    memberBinding(whole, &Pair::b).set(5);
    EXPECT_EQ(stored.a, 1);
    EXPECT_EQ(stored.b, 5);
    EXPECT_EQ(writes, 1);
}

TEST_F(UiKitTest, ShrinkingLabelGivesUpAQuarterOfItsSizeThenElides)
{
    ShrinkingLabel label(0.75);
    label.setFont(UiFont::system(9, QFont::Medium));
    label.setText(QStringLiteral("リセット 12月5日 9:05（あと2日3時間）"));
    const qreal natural = QFontMetricsF(label.font()).horizontalAdvance(label.text());
    const struct {
        qreal share;
        qreal scale;
        bool elided;
    } cases[] = {{1.1, 1, false}, {0.9, 0.9, false}, {0.76, 0.76, false}, {0.5, 0.75, true}};
    for (const auto& c : cases) {
        label.resize(int(std::ceil(natural * c.share)), 14);
        EXPECT_NEAR(label.shownScale(), c.scale, 0.01) << c.share;
        EXPECT_EQ(label.shownText().endsWith(QStringLiteral("…")), c.elided) << c.share;
    }
    EXPECT_EQ(label.minimumSizeHint().width(), 0);
}

TEST_F(UiKitTest, StepperLeavesTheNumberToItsLabelAndStillSteps)
{
    Stepper stepper;
    stepper.setRange(1, 30);
    stepper.setValue(30);
    show(&stepper);
    EXPECT_LE(stepper.findChild<QLineEdit*>()->width(), 2);
    EXPECT_LE(stepper.width(), QSpinBox().sizeHint().width() / 2);
    QTest::keyClick(&stepper, Qt::Key_Up);
    EXPECT_EQ(stepper.value(), 30);
    QTest::keyClick(&stepper, Qt::Key_Down);
    EXPECT_EQ(stepper.value(), 29);
}

TEST_F(UiKitTest, DisabledSwitchStaysVisibleInDark)
{
    setDark(true);
    for (const bool checked : {false, true}) {
        ToggleSwitch toggle;
        toggle.setChecked(checked);
        toggle.setEnabled(false);
        toggle.resize(toggle.sizeHint());
        QImage image(toggle.size(), QImage::Format_ARGB32);
        image.fill(SystemColors::current().windowBackground);
        toggle.render(&image, {}, {}, QWidget::DrawChildren);
        // A point of the track that the knob does not cover.
        const int x = checked ? 8 : image.width() - 8;
        const QColor track = image.pixelColor(x, image.height() / 2);
        if (checked)
            EXPECT_GT(track.blue(), track.red() + 60) << "a dimmed accent";
        else
            EXPECT_GE(std::abs(qGray(track.rgb()) - qGray(SystemColors::current().windowBackground.rgb())), 30);
    }
}

} // namespace
} // namespace vantorel
