#include "GaugeProbe.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QRawFont>
#include <QSet>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using namespace gaugetest;
using Input = MenuBarGaugeImageRenderer::Input;
using Percents = QList<std::optional<double>>;
const auto remainingPercent = MenuBarGaugeLabelStyle::remainingPercent;

// Codex 37 % and 80 %, Claude 15 % and 60 %: both providers, both windows.
Input bothProviders(bool compact, MenuBarGaugeLabelStyle labelStyle = MenuBarGaugeLabelStyle::period)
{
    return {.codexEnabled = true, .claudeEnabled = true, .codexValues = {fiveHour(37), weekly(80)},
            .claudeValues = {fiveHour(60), weekly(15)}, .compact = compact, .labelStyle = labelStyle};
}

QImage squareImage(const QIcon& icon, int side)
{
    return icon.pixmap(QSize(side, side), 1).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Rows holding dark ink in the middle columns, inside the outline: the height of the digits, as
// the rings there are lighter.
int darkRowsInCentre(const QImage& image)
{
    const int side = image.width();
    int rows = 0;
    for (int y = side / 5; y < side - side / 5; ++y) {
        bool dark = false;
        for (int x = side / 2 - 3; x <= side / 2 + 3; ++x)
            dark = dark || (image.pixelColor(x, y).alpha() > 128 && image.pixelColor(x, y).lightness() < 110);
        rows += dark;
    }
    return rows;
}

TEST(MenuBarGaugeSquare, LayoutChoicesShapeTheRingsAndTheNumber)
{
    using R = MenuBarGaugeImageRenderer;
    EXPECT_EQ(R::squareRings(bothProviders(true)), (Percents{37, 15}));
    EXPECT_EQ(R::squareRings(bothProviders(false)), (Percents{37, 80, 60, 15}));
    EXPECT_EQ(R::squareRings({.codexEnabled = true, .compact = false}), (Percents{std::nullopt}))
        << "a provider with every window off is still there, without a reading";
    EXPECT_TRUE(R::squareRings({.codexValues = {fiveHour(5)}}).isEmpty());

    EXPECT_EQ(R::squareNumber(bothProviders(true)), 15);
    EXPECT_EQ(R::squareNumber(bothProviders(false, remainingPercent)), 15);
    EXPECT_EQ(R::squareNumber(bothProviders(false)), std::nullopt) << "rings only";

    // Each choice that shapes the picture changes its key; the identity style (panel only) does not.
    const auto key = [](const Input& input) { return R::squareCacheKey(QStringLiteral("light"), input); };
    auto textIdentity = bothProviders(true);
    textIdentity.codexIdentityStyle = MenuBarProviderIdentityStyle::text;
    EXPECT_EQ(key(textIdentity), key(bothProviders(true)));
    const QList<MenuBarGaugeSquarePicture::Key> keys{key(bothProviders(true)), key(bothProviders(false)),
                                                     key(bothProviders(false, remainingPercent)), key({})};
    EXPECT_EQ(QSet<MenuBarGaugeSquarePicture::Key>(keys.cbegin(), keys.cend()).size(), keys.size());
}

// At 22 and 24 pixels a number is drawn with digits at least 9 pixels tall, or not at all.
TEST(MenuBarGaugeSquare, DigitsAreReadableOrLeftOut)
{
    const std::vector<std::pair<Input, bool>> cases{
        {{.codexEnabled = true, .codexValues = {fiveHour(37)}}, true},
        {bothProviders(true), true},
        // Three digits need more room than one ring leaves at 22 and 24 pixels.
        {{.codexEnabled = true, .codexValues = {fiveHour(100)}}, false},
        {{.codexEnabled = true, .claudeEnabled = true, .codexValues = {fiveHour(100)}, .claudeValues = {fiveHour(100)}},
         false},
        {bothProviders(false, remainingPercent), false},
        {bothProviders(false), false},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        RendererRig rig;
        const auto icon = rig.renderer.makeSquare(cases[i].first);
        for (const int side : {22, 24}) {
            const int rows = darkRowsInCentre(squareImage(icon, side));
            if (cases[i].second)
                EXPECT_GE(rows, 9) << "case " << i << " at " << side;
            else
                EXPECT_EQ(rows, 0) << "case " << i << " at " << side;
        }
        // A small host takes a picture without the number instead of shrinking a numbered one.
        for (const int side : {16, 20})
            EXPECT_EQ(darkRowsInCentre(squareImage(icon, side)), 0) << "case " << i << " at " << side;
    }
    // From 48 pixels there is room even inside four rings, and for three digits from 32.
    RendererRig rig;
    EXPECT_GE(darkRowsInCentre(squareImage(rig.renderer.makeSquare(bothProviders(false, remainingPercent)), 48)), 9);
    EXPECT_GE(darkRowsInCentre(squareImage(rig.renderer.makeSquare(cases[2].first), 32)), 9);
}

// The numbers need no CJK face, whose files stay mapped while the tray is all there is, and
// keep the half-em digits the layout and the fit of two digits above were drawn for.
TEST(MenuBarGaugeSquare, NumbersUseALatinFaceWithHalfEmDigits)
{
    QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
    device.setDotsPerMeterX(2835);
    device.setDotsPerMeterY(2835);
    for (const auto weight : {QFont::Bold, QFont::ExtraBold}) {
        const auto font = MenuBarGaugeImageRenderer::numberFont(100, weight);
        const auto family = QRawFont::fromFont(font).familyName();
        EXPECT_FALSE(family.contains(u"CJK")) << family.toStdString();
        EXPECT_NEAR(QFontMetricsF(font, &device).horizontalAdvance(QStringLiteral("15%")), 150, 3) << weight;
    }
}

// Changes between light and dark along a circle of the given radius, sampled every 3 degrees.
int changesAlongCircle(const QImage& image, double radius)
{
    const double middle = image.width() / 2.0;
    int changes = 0;
    bool previous = false;
    for (int degrees = 0; degrees <= 360; degrees += 3) {
        const double radians = degrees * M_PI / 180;
        const auto pixel = image.pixelColor(int(middle + radius * std::cos(radians)),
                                            int(middle - radius * std::sin(radians)));
        const bool dark = pixel.lightness() < 190;
        changes += degrees > 0 && dark != previous;
        previous = dark;
    }
    return changes;
}

TEST(MenuBarGaugeSquare, NoReadingShowsADashInsideADashedRing)
{
    RendererRig rig;
    const auto none = rig.renderer.makeSquare({.codexEnabled = true, .codexValues = {fiveHour(std::nullopt)}});
    const auto empty = rig.renderer.makeSquare({.codexEnabled = true, .codexValues = {fiveHour(0)}, .compact = false});
    for (const int side : {16, 22, 64}) {
        const auto image = squareImage(none, side);
        EXPECT_LT(image.pixelColor(side / 2, side / 2).lightness(), 80) << "dash at " << side;
        EXPECT_LT(image.pixelColor(side * 35 / 100, side / 2).lightness(), 80) << "dash at " << side;
        EXPECT_GT(image.pixelColor(side / 2, side * 3 / 10).lightness(), 180) << "a bar, not a blot, at " << side;
        // The ring's middle: 1 pixel outline, a 2 % gap, then half the ring's width.
        const double ringRadius = side / 2.0 - std::max(1.0, side / 22.0) - side * 0.02 - side * 0.055;
        EXPECT_GE(changesAlongCircle(image, ringRadius), 16) << "dashed at " << side;
        const auto zero = squareImage(empty, side);
        EXPECT_EQ(changesAlongCircle(zero, ringRadius), 0) << "a 0 % reading keeps a plain track at " << side;
        EXPECT_GT(zero.pixelColor(side / 2, side / 2).lightness(), 180) << "no dash with a reading at " << side;
    }
}

// The picture over a light and a dark panel in both appearances: near its rim something always
// stands out from the panel, all round.
TEST(MenuBarGaugeSquare, ReadsOnLightAndDarkPanels)
{
    for (const auto& palette : {MenuBarPalette::light(), MenuBarPalette::dark()}) {
        RendererRig rig;
        rig.palette = palette;
        const auto icon = rig.renderer.makeSquare({.codexEnabled = true, .codexValues = {fiveHour(std::nullopt)}});
        for (const QColor panel : {QColor(235, 235, 235), QColor(40, 40, 44)}) {
            QImage shown(22, 22, QImage::Format_ARGB32);
            shown.fill(panel);
            QPainter(&shown).drawPixmap(0, 0, icon.pixmap(QSize(22, 22), 1));
            for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                int contrast = 0;
                for (int depth = 0; depth < 3; ++depth) {
                    const auto pixel = shown.pixelColor(11 + dx * (10 - depth) - (dx < 0), 11 + dy * (10 - depth) - (dy < 0));
                    contrast = std::max(contrast, std::abs(pixel.lightness() - panel.lightness()));
                }
                EXPECT_GE(contrast, 60) << palette.name.toStdString() << " on " << panel.name().toStdString() << " at "
                                        << dx << "," << dy;
            }
        }
        if (const auto artefacts = qEnvironmentVariable("VANTOREL_TEST_ARTEFACTS"); !artefacts.isEmpty()) {
            for (const int side : MenuBarGaugeImageRenderer::squareIconSizes) {
                for (const auto& [name, input] : {std::pair{"none", Input{.codexEnabled = true, .claudeEnabled = true}},
                                                  {"compact", bothProviders(true)},
                                                  {"detailed", bothProviders(false, remainingPercent)}}) {
                    squareImage(rig.renderer.makeSquare(input), side)
                        .save(artefacts + u"/tray-" + palette.name + u'-' + QLatin1String(name) + u'-'
                              + QString::number(side) + u".png");
                }
            }
        }
    }
}

// Nothing is drawn until the tray asks for a size, and then only that size, at whatever size the
// tray shows. A reading moved by one point changes the arc by less than a pixel in the small
// sizes: those come from the picture before. Only the current picture's sizes are kept.
TEST(MenuBarGaugeSquare, DrawsOnlyTheSizesAskedForAndKeepsOnlyTheCurrentPicture)
{
    RendererRig rig;
    const auto input = [](double percent) {
        return Input{.codexEnabled = true, .codexValues = {fiveHour(percent)}, .compact = false};
    };
    const auto first = rig.renderer.makeSquare(input(37));
    EXPECT_EQ(rig.renderer.squareBytes(), 0);
    QImage panel(26, 26, QImage::Format_ARGB32_Premultiplied);
    panel.fill(Qt::transparent);
    QPainter(&panel).drawPixmap(0, 0, first.pixmap(QSize(26, 26), 1));
    EXPECT_EQ(rig.renderer.squareBytes(), 26 * 26 * 4);
    EXPECT_GT(panel.pixelColor(13, 1).alpha(), 0) << "drawn to the edge, not a smaller size in the middle";

    const auto first16 = first.pixmap(QSize(16, 16), 1).cacheKey();
    const auto first64 = first.pixmap(QSize(64, 64), 1).cacheKey();
    const auto next = rig.renderer.makeSquare(input(38));
    EXPECT_NE(next.cacheKey(), first.cacheKey());
    EXPECT_EQ(next.pixmap(QSize(16, 16), 1).cacheKey(), first16);
    EXPECT_NE(next.pixmap(QSize(64, 64), 1).cacheKey(), first64);
    EXPECT_NE(squareImage(next, 64), squareImage(first, 64));
    EXPECT_EQ(rig.renderer.makeSquare(input(38.2)).cacheKey(), next.cacheKey());

    qsizetype onePicture = 0;
    for (const int side : MenuBarGaugeImageRenderer::squareIconSizes)
        onePicture += side * side * 4;
    for (int percent = 0; percent <= 100; ++percent) {
        const auto icon = rig.renderer.makeSquare(input(percent));
        for (const QSize& size : icon.availableSizes())
            icon.pixmap(size, 1);
    }
    EXPECT_EQ(rig.renderer.squareBytes(), onePicture);
}

} // namespace
} // namespace vantorel
