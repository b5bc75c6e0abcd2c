#include "app/shell/MenuBarGaugeImageRenderer.h"

#include "GaugeProbe.h"

#include <gtest/gtest.h>

#include <limits>

namespace vantorel {
namespace {

using namespace gaugetest;
using Input = MenuBarGaugeImageRenderer::Input;
using Style = MenuBarProviderIdentityStyle;

// Compact cell at x = 0: ring rectangle (2, 1.5, 23, 23), arc radius 10.15.
constexpr double compactCentreX = 13.5;
constexpr double ringCentreY = 13;
constexpr double compactArcRadius = 10.15;

Input compactCodex(std::optional<double> percent, Style style = Style::icon)
{
    return Input{.codexEnabled = true, .codexValues = {fiveHour(percent)}, .compact = true, .codexIdentityStyle = style};
}

QColor compactArcPixel(const QImage& image, double degrees)
{
    const auto [x, y] = onCircle(compactCentreX, ringCentreY, compactArcRadius, degrees);
    return pixelAt(image, x, y);
}

struct ArcCase {
    std::optional<double> percent;
    std::vector<double> arcAt;
    std::vector<double> trackOnlyAt;
};

TEST(MenuBarGaugeRing, ArcStartsAtTwelveAndRunsClockwiseForItsFraction)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const std::vector<ArcCase> cases{
        {42, {0, 60}, {180, 270, 100}},
        {100, {0, 180, 270, 100}, {}},
        {120, {0, 180, 270}, {}},
        {0, {}, {0, 80, 180, 270}},
        {-5, {}, {0, 80, 180}},
        {std::nullopt, {}, {0, 80, 180, 270}},
        {nan, {}, {0, 80, 180, 270}},
        {infinity, {0, 180, 270}, {}},
        {-infinity, {}, {0, 80, 180}},
    };
    for (const double ratio : {1.0, 2.0}) {
        for (const auto& c : cases) {
            RendererRig rig;
            rig.ratio = ratio;
            const auto image = rig.renderer.make(compactCodex(c.percent));
            const auto arc = MenuBarGaugeImageRenderer::color(c.percent, rig.palette);
            const auto label = c.percent ? QString::number(*c.percent) : QStringLiteral("absent");
            for (const double degrees : c.arcAt)
                EXPECT_TRUE(isArc(compactArcPixel(image, degrees), arc))
                    << label.toStdString() << "% at " << degrees << "° ratio " << ratio;
            for (const double degrees : c.trackOnlyAt) {
                const auto pixel = compactArcPixel(image, degrees);
                EXPECT_LT(pixel.alpha(), 100) << label.toStdString() << "% at " << degrees << "° ratio " << ratio;
            }
        }
    }
}

TEST(MenuBarGaugeRing, ColourBandFollowsTheUnclampedValue)
{
    const auto palette = MenuBarPalette::light();
    const std::vector<std::pair<double, QColor>> cases{
        {10, palette.systemRed},     {5, palette.systemRed},      {10.5, palette.systemOrange},
        {19.9, palette.systemOrange}, {19.99, palette.systemOrange}, {20, palette.systemGreen},
        {100, palette.systemGreen},  {120, palette.systemGreen},
    };
    for (const auto& [percent, expected] : cases) {
        EXPECT_EQ(MenuBarGaugeImageRenderer::color(percent, palette), expected) << percent;
        RendererRig rig;
        const auto image = rig.renderer.make(compactCodex(percent));
        // Midway along the arc, whatever its length.
        const double midway = 90 - 180 * std::min(percent, 100.0) / 100;
        EXPECT_TRUE(isArc(compactArcPixel(image, midway), expected)) << percent;
    }
    EXPECT_EQ(MenuBarGaugeImageRenderer::color(std::nullopt, palette), palette.secondaryLabel);
}

TEST(MenuBarGaugeRing, DetailedRingsSitAfterTheIdentityOneStepApart)
{
    RendererRig rig;
    const Input input{.codexEnabled = true,
                      .codexValues = {fiveHour(100), weekly(std::nullopt)},
                      .compact = false,
                      .codexIdentityStyle = Style::icon};
    const auto image = rig.renderer.make(input);
    const auto green = rig.palette.systemGreen;
    // Rings at x = 27 and 54, each 23 wide; arc radius 9.95.
    for (const double degrees : {0.0, 180.0, 270.0}) {
        const auto [x1, y1] = onCircle(27 + 11.5, ringCentreY, 9.95, degrees);
        EXPECT_TRUE(isArc(pixelAt(image, x1, y1), green)) << degrees;
        const auto [x2, y2] = onCircle(54 + 11.5, ringCentreY, 9.95, degrees);
        EXPECT_FALSE(isArc(pixelAt(image, x2, y2), green)) << degrees;
    }
}

struct WidthCase {
    const char* name;
    Input input;
    int width;
};

TEST(MenuBarGaugeLayout, ImageWidthFollowsTheWidthRuleAtEveryRatio)
{
    const auto hundred = MenuBarGaugeImageRenderer::percentageTextWidth(QStringLiteral("100%"));
    const auto dashes = MenuBarGaugeImageRenderer::percentageTextWidth(QStringLiteral("--"));
    const auto both = QList<MenuBarGaugeValue>{fiveHour(37.2), weekly(80)};
    const std::vector<WidthCase> cases{
        {"nothing enabled", Input{.codexValues = both, .compact = true}, 30},
        {"nothing enabled, detailed", Input{.codexValues = both, .compact = false, .codexIdentityStyle = Style::text}, 30},
        {"codex detailed icon, two rings", Input{.codexEnabled = true, .codexValues = both, .compact = false}, 83},
        {"both compact, icon and text",
         Input{.codexEnabled = true, .claudeEnabled = true, .codexValues = both, .compact = true,
               .codexIdentityStyle = Style::icon, .claudeIdentityStyle = Style::text},
         117},
        {"both compact text", Input{.codexEnabled = true, .claudeEnabled = true, .compact = true,
                                    .codexIdentityStyle = Style::text, .claudeIdentityStyle = Style::text},
         129},
        {"claude compact icon without values", Input{.claudeEnabled = true, .compact = true}, 52},
        {"codex detailed icon, no windows", Input{.codexEnabled = true, .compact = false}, 29},
        {"claude detailed text, no windows",
         Input{.claudeEnabled = true, .compact = false, .claudeIdentityStyle = Style::text}, 39},
        {"both detailed, capsules 4 apart",
         Input{.codexEnabled = true, .claudeEnabled = true, .codexValues = both, .claudeValues = {weekly(50)},
               .compact = false, .claudeIdentityStyle = Style::text},
         83 + 4 + 39 + 27},
        {"detailed percentage text",
         Input{.codexEnabled = true, .codexValues = {fiveHour(100)}, .compact = false,
               .labelStyle = MenuBarGaugeLabelStyle::remainingPercent},
         29 + 27 + hundred + 4},
        {"detailed percentage text clamps and shows dashes",
         Input{.codexEnabled = true, .codexValues = {fiveHour(130), weekly(std::nullopt)}, .compact = false,
               .labelStyle = MenuBarGaugeLabelStyle::remainingPercent},
         29 + 2 * 27 + hundred + dashes + 8},
        {"compact ignores the percentage text",
         Input{.codexEnabled = true, .codexValues = both, .compact = true,
               .labelStyle = MenuBarGaugeLabelStyle::remainingPercent},
         52},
    };
    EXPECT_GT(hundred, dashes);
    for (const double ratio : {1.0, 2.0, 1.5}) {
        for (const auto& c : cases) {
            EXPECT_EQ(MenuBarGaugeImageRenderer::imageWidth(c.input), c.width) << c.name;
            RendererRig rig;
            rig.ratio = ratio;
            const auto image = rig.renderer.make(c.input);
            EXPECT_EQ(image.devicePixelRatio(), ratio) << c.name;
            EXPECT_EQ(image.width(), int(std::ceil(c.width * ratio))) << c.name << " ratio " << ratio;
            EXPECT_EQ(image.height(), int(std::ceil(26 * ratio))) << c.name << " ratio " << ratio;
        }
    }
}

TEST(MenuBarGaugeLayout, PercentageTextWidthIsWholeAndGrowsWithTheText)
{
    const auto one = MenuBarGaugeImageRenderer::percentageTextWidth(QStringLiteral("7%"));
    const auto two = MenuBarGaugeImageRenderer::percentageTextWidth(QStringLiteral("37%"));
    const auto three = MenuBarGaugeImageRenderer::percentageTextWidth(QStringLiteral("100%"));
    EXPECT_GT(one, 0);
    EXPECT_LT(one, two);
    EXPECT_LT(two, three);
    // Digits of the monospaced font share one advance.
    EXPECT_EQ(two, MenuBarGaugeImageRenderer::percentageTextWidth(QStringLiteral("88%")));
}

TEST(MenuBarGaugeLayout, CompactSelectionPrefersMissingThenLowestThenEarliest)
{
    struct Case {
        const char* name;
        QList<MenuBarGaugeValue> values;
        int expectedIndex;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Case> cases{
        {"empty", {}, -1},
        {"single", {weekly(50)}, 0},
        {"lowest wins", {fiveHour(80), weekly(30)}, 1},
        {"tie goes to five-hour", {fiveHour(15), weekly(15)}, 0},
        {"missing beats lower", {fiveHour(5), weekly(std::nullopt)}, 1},
        {"first missing", {fiveHour(std::nullopt), weekly(std::nullopt)}, 0},
        {"not-a-number counts as missing", {fiveHour(5), weekly(nan)}, 1},
    };
    for (const auto& c : cases) {
        const auto selected = MenuBarGaugeImageRenderer::compactSelection(c.values);
        if (c.expectedIndex < 0) {
            EXPECT_FALSE(selected.has_value()) << c.name;
            continue;
        }
        ASSERT_TRUE(selected.has_value()) << c.name;
        const auto& expected = c.values[c.expectedIndex];
        EXPECT_EQ(selected->window, expected.window) << c.name;
        EXPECT_EQ(selected->remainingPercent.has_value(), expected.remainingPercent.has_value()) << c.name;
        if (expected.remainingPercent && std::isfinite(*expected.remainingPercent)) {
            EXPECT_EQ(*selected->remainingPercent, *expected.remainingPercent) << c.name;
        }
    }
}

TEST(MenuBarGaugeLayout, CompactCellShowsTheSelectedWindow)
{
    RendererRig rig;
    // 15 % both: the five-hour ring, orange.
    auto image = rig.renderer.make(
        Input{.codexEnabled = true, .codexValues = {fiveHour(15), weekly(15)}, .compact = true});
    EXPECT_TRUE(isArc(compactArcPixel(image, 60), rig.palette.systemOrange));
    // A weekly value without percentage wins over a known five-hour one: track only.
    image = rig.renderer.make(
        Input{.codexEnabled = true, .codexValues = {fiveHour(90), weekly(std::nullopt)}, .compact = true});
    for (const double degrees : {0.0, 60.0, 180.0})
        EXPECT_LT(compactArcPixel(image, degrees).alpha(), 100) << degrees;
}

TEST(MenuBarGaugeIndicator, NothingEnabledDrawsTheBoxAndTheApplicationIcon)
{
    RendererRig rig;
    rig.applicationIcon = solidImage(QColor(255, 0, 255));
    for (const bool compact : {true, false}) {
        const auto image = rig.renderer.make(Input{.claudeValues = {weekly(3)}, .compact = compact});
        ASSERT_EQ(image.width(), 30);
        EXPECT_EQ(pixelAt(image, 0.2, 0.2).alpha(), 0);
        EXPECT_EQ(pixelAt(image, 29.8, 25.8).alpha(), 0);
        // Inside the box, left of the icon: control background at 72 %.
        const auto fill = pixelAt(image, 2.5, 13);
        EXPECT_NEAR(fill.alpha(), 0.72 * 255, 3);
        EXPECT_EQ(fill.red(), 255);
        // The icon at 72 % over the box.
        const auto icon = pixelAt(image, 14, 13);
        EXPECT_GT(icon.red(), 240);
        EXPECT_GT(icon.blue(), 240);
        EXPECT_LT(icon.green(), 110);
        EXPECT_GT(icon.alpha(), 230);
    }
    RendererRig withoutIcon;
    const auto image = withoutIcon.renderer.make(Input{});
    EXPECT_EQ(pixelAt(image, 14, 13), pixelAt(image, 2.5, 13));
}

TEST(MenuBarGaugeBrand, IconIsDrawnScaledIntoItsSquareAndLoadedOnce)
{
    RendererRig rig;
    rig.codexIcon = solidImage(QColor(0, 0, 255));
    rig.claudeIcon = solidImage(QColor(0, 128, 0));
    const auto input = Input{.codexEnabled = true, .claudeEnabled = true, .compact = true};
    const auto image = rig.renderer.make(input);
    // Codex cell icon square (28, 2, 22, 22); Claude cell starts at 53.
    EXPECT_EQ(pixelAt(image, 39, 13), QColor(0, 0, 255));
    EXPECT_EQ(pixelAt(image, 28.5, 2.5), QColor(0, 0, 255));
    EXPECT_EQ(pixelAt(image, 53 + 39, 13), QColor(0, 128, 0));
    EXPECT_EQ(pixelAt(image, 27.5, 13).alpha(), 0);

    RendererRig detailed;
    detailed.codexIcon = rig.codexIcon;
    const auto capsule = detailed.renderer.make(Input{.codexEnabled = true, .compact = false});
    EXPECT_EQ(pixelAt(capsule, 14, 13), QColor(0, 0, 255));
    EXPECT_EQ(pixelAt(capsule, 3.5, 2.5), QColor(0, 0, 255));

    for (int value = 0; value < 5; ++value)
        rig.renderer.make(Input{.codexEnabled = true, .codexValues = {fiveHour(value * 10)}, .compact = true});
    EXPECT_EQ(rig.codexLookups, 1);
    EXPECT_EQ(rig.claudeLookups, 1);
}

TEST(MenuBarGaugeBrand, MissingIconDrawsFallbackLettersAndIsLookedForAgain)
{
    RendererRig rig;
    rig.codexIcon = solidImage(QColor(0, 0, 255));
    const auto iconSquareInk = [](const QImage& image, double left) {
        int ink = 0;
        for (double x = left + 0.5; x < left + 22; x += 1)
            for (double y = 2.5; y < 24; y += 1)
                ink += pixelAt(image, x, y).alpha() > 60 ? 1 : 0;
        return ink;
    };
    for (int render = 1; render <= 3; ++render) {
        const auto image = rig.renderer.make(
            Input{.claudeEnabled = true, .claudeValues = {fiveHour(render * 10)}, .compact = true});
        // Letters leave ink in the square, though far less than a filled image.
        const int ink = iconSquareInk(image, 28);
        EXPECT_GT(ink, 8);
        EXPECT_LT(ink, 22 * 22 / 3);
        EXPECT_EQ(rig.claudeLookups, render);
    }
    EXPECT_FALSE(rig.renderer.brandIcon(MenuBarGaugeImageRenderer::claudeIconName).has_value());
    EXPECT_TRUE(rig.renderer.brandIcon(MenuBarGaugeImageRenderer::codexIconName).has_value());
}

TEST(MenuBarGaugeCache, KeySumsUpEverythingThePictureShows)
{
    const Input input{.codexEnabled = true,
                      .codexValues = {fiveHour(37.2), weekly(80)},
                      .compact = false,
                      .codexIdentityStyle = Style::icon,
                      .claudeIdentityStyle = Style::text};
    EXPECT_EQ(MenuBarGaugeImageRenderer::cacheKey(QStringLiteral("dark"), input),
              QStringLiteral("dark|detailed|period|icon||codex-on|claude-off|fiveHour:37-healthy,weekly:80-healthy|"));
    Input other = input;
    other.claudeEnabled = true;
    other.claudeValues = {weekly(8), fiveHour(std::nullopt)};
    other.compact = true;
    other.labelStyle = MenuBarGaugeLabelStyle::remainingPercent;
    EXPECT_EQ(MenuBarGaugeImageRenderer::cacheKey(QStringLiteral("light"), other),
              QStringLiteral("light|compact|remainingPercent|icon|text|codex-on|claude-on|"
                             "fiveHour:37-healthy,weekly:80-healthy|weekly:8-critical,fiveHour:nil-unavailable"));
    EXPECT_EQ(MenuBarGaugeImageRenderer::cacheValues({}), QString());
}

TEST(MenuBarGaugeCache, HitReturnsTheSameImageAndMissDrawsAnew)
{
    RendererRig rig;
    const auto first = rig.renderer.make(compactCodex(37.2));
    const auto rounded = rig.renderer.make(compactCodex(37.4));
    EXPECT_EQ(first.cacheKey(), rounded.cacheKey());
    const auto next = rig.renderer.make(compactCodex(38));
    EXPECT_NE(first.cacheKey(), next.cacheKey());
    // A disabled provider's values still take part in the key.
    auto withClaudeValues = compactCodex(37.2);
    withClaudeValues.claudeValues = {weekly(50)};
    EXPECT_NE(rig.renderer.make(withClaudeValues).cacheKey(), first.cacheKey());
    EXPECT_EQ(rig.renderer.make(compactCodex(37.2)).cacheKey(), first.cacheKey());
}

TEST(MenuBarGaugeCache, AppearanceSwitchDrawsWithTheNewColours)
{
    RendererRig rig;
    const auto light = rig.renderer.make(compactCodex(50));
    rig.palette = MenuBarPalette::dark();
    const auto dark = rig.renderer.make(compactCodex(50));
    EXPECT_NE(light.cacheKey(), dark.cacheKey());
    // The inner disc, clear of the arc and the ring label.
    const auto lightDisc = pixelAt(light, 19.2, 9.2);
    const auto darkDisc = pixelAt(dark, 19.2, 9.2);
    EXPECT_GT(lightDisc.lightness(), 200);
    EXPECT_LT(darkDisc.lightness(), 80);
    EXPECT_TRUE(isArc(compactArcPixel(dark, 0), MenuBarPalette::dark().systemGreen));
    rig.palette = MenuBarPalette::light();
    EXPECT_EQ(rig.renderer.make(compactCodex(50)).cacheKey(), light.cacheKey());
}

TEST(MenuBarGaugeCache, EachPixelRatioHasItsOwnImages)
{
    RendererRig rig;
    const auto standard = rig.renderer.make(compactCodex(50));
    rig.ratio = 2;
    const auto sharp = rig.renderer.make(compactCodex(50));
    EXPECT_NE(standard.cacheKey(), sharp.cacheKey());
    EXPECT_EQ(standard.size(), QSize(52, 26));
    EXPECT_EQ(sharp.size(), QSize(104, 52));
    EXPECT_EQ(rig.renderer.make(compactCodex(50)).cacheKey(), sharp.cacheKey());
    rig.ratio = 1;
    EXPECT_EQ(rig.renderer.make(compactCodex(50)).cacheKey(), standard.cacheKey());
    // A ratio the platform should never report draws at 1 rather than failing.
    for (const double broken : {0.0, -2.0, std::numeric_limits<double>::quiet_NaN()}) {
        rig.ratio = broken;
        EXPECT_EQ(rig.renderer.make(compactCodex(50)).cacheKey(), standard.cacheKey()) << broken;
    }
}

TEST(MenuBarGaugeCache, HoldsAtMostItsLimitOfImages)
{
    RendererRig rig;
    const auto first = rig.renderer.make(compactCodex(0));
    // Two value lists of 101 distinct rounded percentages give well over the limit of keys.
    int drawn = 0;
    for (int fiveHourPercent = 0; fiveHourPercent <= 100 && drawn <= MenuBarGaugeImageRenderer::renderedImageCacheLimit;
         ++fiveHourPercent) {
        for (int weeklyPercent = 0; weeklyPercent <= 100; ++weeklyPercent, ++drawn) {
            rig.renderer.make(Input{.codexEnabled = true,
                                    .codexValues = {fiveHour(fiveHourPercent), weekly(weeklyPercent)},
                                    .compact = true});
        }
    }
    EXPECT_NE(rig.renderer.make(compactCodex(0)).cacheKey(), first.cacheKey());
}

} // namespace
} // namespace vantorel
