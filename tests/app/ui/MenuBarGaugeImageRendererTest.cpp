#include "GaugeProbe.h"

#include <gtest/gtest.h>

#include <limits>

namespace vantorel {
namespace {

using namespace gaugetest;
using Input = MenuBarGaugeImageRenderer::Input;
using Style = MenuBarProviderIdentityStyle;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

Input compactCodex(std::optional<double> percent)
{
    return {.codexEnabled = true, .codexValues = {fiveHour(percent)}, .compact = true};
}

// The compact ring at x = 0 is centred at (13.5, 13) with an arc radius of 10.15; the angle
// runs counter-clockwise from 3 o'clock.
QColor arcPixel(const QImage& image, double degrees)
{
    const double radians = degrees * M_PI / 180;
    return pixelAt(image, 13.5 + 10.15 * std::cos(radians), 13 + 10.15 * std::sin(radians));
}

bool isArc(const QColor& pixel, const QColor& arc)
{
    const int distance = std::abs(pixel.red() - arc.red()) + std::abs(pixel.green() - arc.green())
        + std::abs(pixel.blue() - arc.blue());
    return pixel.alpha() > 200 && distance < 60;
}

TEST(MenuBarGaugeRing, ArcRunsClockwiseFromTwelveForItsFraction)
{
    struct Case {
        std::optional<double> percent;
        std::vector<double> arcAt, trackOnlyAt;
    };
    const std::vector<Case> cases{
        {42, {0, 60}, {180, 270, 100}}, {100, {0, 180, 270, 100}, {}}, {120, {0, 180, 270}, {}},
        {0, {}, {0, 80, 180, 270}},     {-5, {}, {0, 80, 180}},       {std::nullopt, {}, {0, 80, 180, 270}},
        {nan, {}, {0, 80, 180, 270}},   {infinity, {0, 180, 270}, {}}, {-infinity, {}, {0, 80, 180}},
    };
    for (const double ratio : {1.0, 2.0}) {
        for (const auto& c : cases) {
            RendererRig rig;
            rig.ratio = ratio;
            const auto image = rig.renderer.make(compactCodex(c.percent));
            const auto arc = MenuBarGaugeImageRenderer::color(c.percent, rig.palette);
            const auto name = (c.percent ? std::to_string(*c.percent) : "absent") + " @" + std::to_string(ratio);
            for (const double degrees : c.arcAt)
                EXPECT_TRUE(isArc(arcPixel(image, degrees), arc)) << name << " at " << degrees;
            for (const double degrees : c.trackOnlyAt)
                EXPECT_LT(arcPixel(image, degrees).alpha(), 100) << name << " at " << degrees;
        }
    }
}

TEST(MenuBarGaugeRing, ColourBandFollowsTheUnclampedValue)
{
    const auto palette = MenuBarPalette::light();
    const std::vector<std::pair<double, QColor>> cases{
        {5, palette.systemRed},         {10, palette.systemRed},      {10.5, palette.systemOrange},
        {19.99, palette.systemOrange}, {20, palette.systemGreen},    {120, palette.systemGreen},
    };
    for (const auto& [percent, expected] : cases) {
        EXPECT_EQ(MenuBarGaugeImageRenderer::color(percent, palette), expected) << percent;
        RendererRig rig;
        const double midway = 90 - 180 * std::min(percent, 100.0) / 100;
        EXPECT_TRUE(isArc(arcPixel(rig.renderer.make(compactCodex(percent)), midway), expected)) << percent;
    }
    EXPECT_EQ(MenuBarGaugeImageRenderer::color(std::nullopt, palette), palette.secondaryLabel);
    EXPECT_EQ(MenuBarGaugeImageRenderer::color(nan, palette), palette.secondaryLabel);
}

// Each use sets its own alpha on an opaque palette colour; probes sit where a stroke covers a whole
// pixel at 4x (edge tops at y = 25.2, ring bottoms on the track's radius, no arc drawn).
TEST(MenuBarGaugeOpacity, BordersAndTracksTakeTheirOwnAlpha)
{
    struct Probe {
        const char* name;
        Input input;
        double x, yUp;
        int alpha;
        QColor MenuBarPalette::*color;
    };
    const std::vector<Probe> probes{
        {"capsule border", {.codexEnabled = true, .compact = false}, 14.5, 25.2, 61, &MenuBarPalette::separator},
        {"indicator border", {}, 15, 25.2, 61, &MenuBarPalette::separator},
        {"compact track", compactCodex(std::nullopt), 13.5, 13 - 10.15, 71, &MenuBarPalette::secondaryLabel},
    };
    for (const auto& palette : {MenuBarPalette::light(), MenuBarPalette::dark()}) {
        for (const auto& probe : probes) {
            RendererRig rig;
            rig.palette = palette;
            rig.ratio = 4;
            const auto pixel = pixelAt(rig.renderer.make(probe.input), probe.x, probe.yUp);
            const auto expected = palette.*probe.color;
            const auto name = palette.name.toStdString() + " " + probe.name;
            EXPECT_EQ(expected.alpha(), 255) << name;
            EXPECT_NEAR(pixel.alpha(), probe.alpha, 1) << name;
            EXPECT_NEAR(pixel.red(), expected.red(), 3) << name;
            EXPECT_NEAR(pixel.blue(), expected.blue(), 3) << name;
        }
    }
}

TEST(MenuBarGaugeLayout, ImageWidthFollowsTheWidthRuleAtEveryRatio)
{
    const int hundred = MenuBarGaugeImageRenderer::percentageTextWidth(QStringLiteral("100%"));
    const int dashes = MenuBarGaugeImageRenderer::percentageTextWidth(QStringLiteral("--"));
    ASSERT_GT(hundred, dashes);
    ASSERT_GT(dashes, 0);
    const QList<MenuBarGaugeValue> both{fiveHour(37.2), weekly(80)};
    const auto percentText = MenuBarGaugeLabelStyle::remainingPercent;
    const std::vector<std::pair<Input, int>> cases{
        {{.codexValues = both, .compact = true}, 30},
        {{.codexValues = both, .compact = false, .codexIdentityStyle = Style::text}, 30},
        {{.codexEnabled = true, .codexValues = both, .compact = false}, 83},
        {{.codexEnabled = true, .claudeEnabled = true, .codexValues = both, .claudeIdentityStyle = Style::text}, 117},
        {{.codexEnabled = true, .claudeEnabled = true, .codexIdentityStyle = Style::text,
          .claudeIdentityStyle = Style::text}, 129},
        {{.claudeEnabled = true, .compact = false}, 29},
        {{.claudeEnabled = true, .compact = false, .claudeIdentityStyle = Style::text}, 39},
        {{.codexEnabled = true, .claudeEnabled = true, .codexValues = both, .claudeValues = {weekly(50)},
          .compact = false, .claudeIdentityStyle = Style::text}, 83 + 4 + 39 + 27},
        {{.codexEnabled = true, .codexValues = {fiveHour(100)}, .compact = false, .labelStyle = percentText},
         29 + 27 + 4 + hundred},
        {{.codexEnabled = true, .codexValues = {fiveHour(130), weekly(std::nullopt)}, .compact = false,
          .labelStyle = percentText}, 29 + 2 * (27 + 4) + hundred + dashes},
        {{.codexEnabled = true, .codexValues = both, .compact = true, .labelStyle = percentText}, 52},
    };
    for (const double ratio : {1.0, 2.0, 1.5}) {
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const auto& [input, width] = cases[i];
            EXPECT_EQ(MenuBarGaugeImageRenderer::imageWidth(input), width) << "case " << i;
            RendererRig rig;
            rig.ratio = ratio;
            const auto image = rig.renderer.make(input);
            EXPECT_EQ(image.size(), QSize(std::ceil(width * ratio), std::ceil(26 * ratio))) << "case " << i;
            EXPECT_EQ(image.devicePixelRatio(), ratio);
        }
    }
}

TEST(MenuBarGaugeLayout, CompactSelectionPrefersMissingThenLowestThenEarliest)
{
    const std::vector<std::pair<QList<MenuBarGaugeValue>, int>> cases{
        {{}, -1},
        {{fiveHour(80), weekly(30)}, 1},
        {{fiveHour(15), weekly(15)}, 0},
        {{fiveHour(5), weekly(std::nullopt)}, 1},
        {{fiveHour(std::nullopt), weekly(std::nullopt)}, 0},
        {{fiveHour(5), weekly(nan)}, 1},
    };
    for (const auto& [values, index] : cases) {
        const auto selected = MenuBarGaugeImageRenderer::compactSelection(values);
        ASSERT_EQ(selected.has_value(), index >= 0);
        if (selected) {
            EXPECT_EQ(selected->window, values[index].window) << index;
            EXPECT_EQ(MenuBarGaugeImageRenderer::cacheValues({*selected}), MenuBarGaugeImageRenderer::cacheValues({values[index]}));
        }
    }
}

TEST(MenuBarGaugeIndicator, NothingEnabledDrawsTheBoxAndTheApplicationIcon)
{
    RendererRig rig;
    rig.applicationIcon = solidImage(QColor(255, 0, 255));
    const auto image = rig.renderer.make({.claudeValues = {weekly(3)}});
    ASSERT_EQ(image.size(), QSize(30, 26));
    EXPECT_EQ(pixelAt(image, 0.2, 0.2).alpha(), 0);
    EXPECT_EQ(pixelAt(image, 29.8, 25.8).alpha(), 0);
    // Left of the icon: control background (white) at 72 %; the icon at 72 % over it.
    EXPECT_EQ(pixelAt(image, 2.5, 13), QColor(255, 255, 255, 184));
    const auto icon = pixelAt(image, 14, 13);
    EXPECT_TRUE(icon.red() > 240 && icon.blue() > 240 && icon.green() < 110 && icon.alpha() > 230) << icon.name().toStdString();

    RendererRig withoutIcon;
    const auto plain = withoutIcon.renderer.make({.compact = false});
    EXPECT_EQ(pixelAt(plain, 14, 13), pixelAt(plain, 2.5, 13));
}

TEST(MenuBarGaugeBrand, IconIsLoadedOnceAndAMissingOneDrawsLettersAndIsLookedForAgain)
{
    RendererRig rig;
    rig.codexIcon = solidImage(Qt::blue);
    // Codex cell icon square (28, 2, 22, 22); Claude's cell starts at 53.
    const auto inkIn = [](const QImage& image, double left) {
        int ink = 0;
        for (double x = left + 0.5; x < left + 22; ++x)
            for (double y = 2.5; y < 24; ++y)
                ink += pixelAt(image, x, y).alpha() > 60 ? 1 : 0;
        return ink;
    };
    for (int render = 1; render <= 3; ++render) {
        const auto image = rig.renderer.make(
            {.codexEnabled = true, .claudeEnabled = true, .codexValues = {fiveHour(render)}, .compact = true});
        EXPECT_EQ(pixelAt(image, 39, 13), QColor(Qt::blue));
        EXPECT_EQ(pixelAt(image, 28.5, 2.5), QColor(Qt::blue));
        EXPECT_EQ(pixelAt(image, 27.5, 13).alpha(), 0);
        const int letters = inkIn(image, 53 + 28);
        EXPECT_GT(letters, 8);
        EXPECT_LT(letters, 22 * 22 / 3);
        EXPECT_EQ(rig.codexLookups, 1);
        EXPECT_EQ(rig.claudeLookups, render);
    }
    rig.renderer.make({.codexEnabled = true, .codexValues = {fiveHour(1)}, .compact = true});
    EXPECT_EQ(rig.claudeLookups, 3) << "a cache hit looks nothing up";

    const auto capsule = rig.renderer.make({.codexEnabled = true, .compact = false});
    EXPECT_EQ(pixelAt(capsule, 14, 13), QColor(Qt::blue));
}

// A pixel of the square form of side `side` at `radius` from its centre, `degrees` counter-clockwise
// from 3 o'clock.
QColor squarePixel(const QIcon& icon, int side, qreal ratio, double radius, double degrees)
{
    const auto image = icon.pixmap(QSize(side, side), ratio).toImage();
    const double radians = degrees * M_PI / 180;
    return image.pixelColor(int((side / 2.0 + radius * std::cos(radians)) * ratio),
                            int((side / 2.0 - radius * std::sin(radians)) * ratio));
}

// Codex shows its weekly 42 % (the lower) outside, Claude its five-hour 8 % inside; the rings sit
// at 0.4035 and 0.3215 of the side from the centre.
TEST(MenuBarGaugeSquare, OneRingPerProviderCachedLikeTheWideImage)
{
    const Input input{.codexEnabled = true, .claudeEnabled = true, .codexValues = {fiveHour(80), weekly(42)},
                      .claudeValues = {fiveHour(8)}};
    for (const double ratio : {1.0, 2.0}) {
        RendererRig rig;
        rig.ratio = ratio;
        const auto icon = rig.renderer.makeSquare(input);
        EXPECT_EQ(icon.availableSizes().size(), qsizetype(MenuBarGaugeImageRenderer::squareIconSizes.size()));
        EXPECT_TRUE(icon.availableSizes().contains(QSize(64, 64) * ratio));
        const auto green = rig.palette.systemGreen, red = rig.palette.systemRed;
        EXPECT_TRUE(isArc(squarePixel(icon, 64, ratio, 25.83, 0), green)) << ratio;
        EXPECT_FALSE(isArc(squarePixel(icon, 64, ratio, 25.83, 180), green)) << ratio;
        EXPECT_TRUE(isArc(squarePixel(icon, 64, ratio, 20.58, 80), red)) << ratio;
        EXPECT_FALSE(isArc(squarePixel(icon, 64, ratio, 20.58, 0), red)) << ratio;
    }
    RendererRig rig;
    const auto first = rig.renderer.makeSquare(compactCodex(37.2));
    EXPECT_EQ(rig.renderer.makeSquare(compactCodex(37.4)).cacheKey(), first.cacheKey());
    EXPECT_NE(rig.renderer.makeSquare(compactCodex(38)).cacheKey(), first.cacheKey());
    rig.applicationIcon = solidImage(QColor(255, 0, 255));
    const auto centre = squarePixel(rig.renderer.makeSquare({.codexValues = {fiveHour(5)}}), 64, 1, 0, 0);
    EXPECT_TRUE(centre.red() > 180 && centre.blue() > 180 && centre.green() < 110) << "disabled indicator";
}

TEST(MenuBarGaugeSquare, NumberIsTheLowestShownPercentFrom22Pixels)
{
    const std::vector<std::pair<Input, std::optional<int>>> cases{
        {{.codexEnabled = true, .claudeEnabled = true, .codexValues = {fiveHour(37.2), weekly(80)},
          .claudeValues = {weekly(15.4)}}, 15},
        {{.codexEnabled = true, .codexValues = {fiveHour(120)}, .claudeValues = {fiveHour(3)}}, 100},
        {{.codexEnabled = true, .claudeEnabled = true, .codexValues = {fiveHour(std::nullopt), weekly(3)},
          .claudeValues = {weekly(44.5)}}, 45},
        {{.codexEnabled = true, .codexValues = {fiveHour(nan)}}, std::nullopt},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(MenuBarGaugeImageRenderer::squareNumber(cases[i].first), cases[i].second) << "case " << i;

    // Dark digits in the light palette: none at 16 pixels, some from 22 on.
    RendererRig rig;
    const auto icon = rig.renderer.makeSquare(cases[0].first);
    for (const int side : {16, 22}) {
        const auto image = icon.pixmap(QSize(side, side), 1).toImage().copy(side / 2 - 3, side / 2 - 3, 7, 7);
        int ink = 0;
        for (int i = 0; i < 49; ++i)
            ink += image.pixelColor(i % 7, i / 7).lightness() < 120 ? 1 : 0;
        EXPECT_EQ(ink > 4, side == 22) << side;
    }
}

TEST(MenuBarGaugeCache, KeySumsUpEverythingThePictureShows)
{
    Input input{.codexEnabled = true, .codexValues = {fiveHour(37.2), weekly(80)}, .compact = false,
                .claudeIdentityStyle = Style::text};
    using Band = UsageGaugeColorBand;
    using Key = MenuBarGaugePanelPicture::Key;
    using W = MenuBarUsageWindow;
    const QList<MenuBarGaugePanelPicture::ValueKey> codexKeys{{W::fiveHour, {Band::healthy, 37}},
                                                              {W::weekly, {Band::healthy, 80}}};
    EXPECT_EQ(MenuBarGaugeImageRenderer::cacheKey(QStringLiteral("dark"), input),
              (Key{.appearanceName = QStringLiteral("dark"), .compact = false, .codexIdentity = Style::icon,
                   .codexValues = codexKeys}));
    input.claudeEnabled = true;
    input.claudeValues = {weekly(8), fiveHour(std::nullopt)};
    input.compact = true;
    input.labelStyle = MenuBarGaugeLabelStyle::remainingPercent;
    EXPECT_EQ(MenuBarGaugeImageRenderer::cacheKey(QStringLiteral("light"), input),
              (Key{.appearanceName = QStringLiteral("light"), .compact = true,
                   .labelStyle = MenuBarGaugeLabelStyle::remainingPercent, .codexIdentity = Style::icon,
                   .claudeIdentity = Style::text, .codexValues = codexKeys,
                   .claudeValues = {{W::weekly, {Band::critical, 8}}, {W::fiveHour, {}}}}));
}

TEST(MenuBarGaugeCache, HitsReturnTheSameImagePerAppearanceAndPixelRatio)
{
    RendererRig rig;
    const auto first = rig.renderer.make(compactCodex(37.2));
    EXPECT_EQ(rig.renderer.make(compactCodex(37.4)).cacheKey(), first.cacheKey());
    EXPECT_NE(rig.renderer.make(compactCodex(38)).cacheKey(), first.cacheKey());
    auto disabledValues = compactCodex(37.2);
    disabledValues.claudeValues = {weekly(50)};
    EXPECT_NE(rig.renderer.make(disabledValues).cacheKey(), first.cacheKey());

    rig.palette = MenuBarPalette::dark();
    const auto dark = rig.renderer.make(compactCodex(37.2));
    EXPECT_NE(dark.cacheKey(), first.cacheKey());
    // The inner disc, clear of the arc and the ring label.
    EXPECT_GT(pixelAt(first, 19.2, 9.2).lightness(), 200);
    EXPECT_LT(pixelAt(dark, 19.2, 9.2).lightness(), 80);

    rig.ratio = 2;
    const auto sharp = rig.renderer.make(compactCodex(37.2));
    EXPECT_EQ(sharp.size(), QSize(104, 52));
    EXPECT_NE(sharp.cacheKey(), dark.cacheKey());
    rig.palette = MenuBarPalette::light();
    for (const double ratio : {1.0, 0.0, -2.0, nan}) {
        rig.ratio = ratio;
        EXPECT_EQ(rig.renderer.make(compactCodex(37.2)).cacheKey(), first.cacheKey()) << ratio;
    }
}

TEST(MenuBarGaugeCache, HoldsAtMostItsLimitOfImages)
{
    RendererRig rig;
    const auto first = rig.renderer.make(compactCodex(0));
    for (int i = 0; i <= MenuBarGaugeImageRenderer::renderedImageCacheLimit; ++i)
        rig.renderer.make({.codexEnabled = true, .codexValues = {fiveHour(i % 101), weekly(i / 101)}});
    EXPECT_NE(rig.renderer.make(compactCodex(0)).cacheKey(), first.cacheKey());
}

} // namespace
} // namespace vantorel
