#include "app/shell/MenuBarGaugeImageRenderer.h"

#include "GaugeProbe.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using namespace gaugetest;
using Input = MenuBarGaugeImageRenderer::Input;
using Style = MenuBarProviderIdentityStyle;

// A channel may be off by this much before the pixel counts as different (anti-aliasing and
// glyph rasterisation move a little between font and library versions).
constexpr int channelTolerance = 40;
constexpr double differingPixelShareLimit = 0.02;

// Set VANTOREL_UPDATE_GOLDEN=1 to rewrite the reference images after a deliberate change.
bool updatingGoldenImages()
{
    return qEnvironmentVariableIntValue("VANTOREL_UPDATE_GOLDEN") == 1;
}

QString goldenPath(const QString& name)
{
    return QStringLiteral(VANTOREL_TEST_SOURCE_DIR "/app/shell/golden/") + name + QStringLiteral(".png");
}

double differingPixelShare(const QImage& actual, const QImage& expected)
{
    const auto a = actual.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const auto b = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int delta = std::max({std::abs(qRed(rowA[x]) - qRed(rowB[x])),
                                        std::abs(qGreen(rowA[x]) - qGreen(rowB[x])),
                                        std::abs(qBlue(rowA[x]) - qBlue(rowB[x])),
                                        std::abs(qAlpha(rowA[x]) - qAlpha(rowB[x]))});
            differing += delta > channelTolerance ? 1 : 0;
        }
    }
    return double(differing) / (a.width() * a.height());
}

void expectMatchesGolden(const QImage& image, const QString& name)
{
    const auto path = goldenPath(name);
    if (updatingGoldenImages()) {
        ASSERT_TRUE(image.save(path)) << path.toStdString();
        return;
    }
    const QImage golden(path);
    ASSERT_FALSE(golden.isNull()) << "missing " << path.toStdString();
    bool matches = golden.size() == image.size();
    EXPECT_EQ(golden.size(), image.size()) << name.toStdString();
    if (matches) {
        const double share = differingPixelShare(image, golden);
        EXPECT_LE(share, differingPixelShareLimit) << name.toStdString();
        matches = share <= differingPixelShareLimit;
    }
    if (!matches) {
        // Keep what was drawn beside the test program for review.
        const QDir out(QCoreApplication::applicationDirPath() + QStringLiteral("/golden-actual"));
        out.mkpath(QStringLiteral("."));
        image.save(out.filePath(name + QStringLiteral(".png")));
    }
}

struct GoldenCase {
    QString name;
    Input input;
};

TEST(MenuBarGaugeGolden, LayoutsMatchTheirReferenceImages)
{
    const std::vector<GoldenCase> cases{
        {QStringLiteral("compact"),
         Input{.codexEnabled = true, .claudeEnabled = true,
               .codexValues = {fiveHour(37.2), weekly(80)}, .claudeValues = {fiveHour(15), weekly(60)},
               .compact = true, .codexIdentityStyle = Style::icon, .claudeIdentityStyle = Style::text}},
        {QStringLiteral("detailed"),
         Input{.codexEnabled = true, .claudeEnabled = true,
               .codexValues = {fiveHour(100), weekly(8)}, .claudeValues = {weekly(std::nullopt)},
               .compact = false, .labelStyle = MenuBarGaugeLabelStyle::remainingPercent,
               .codexIdentityStyle = Style::icon, .claudeIdentityStyle = Style::text}},
    };
    for (const int ratio : {1, 2}) {
        for (const auto& c : cases) {
            RendererRig rig;
            rig.ratio = ratio;
            // The application's own brand images, as shipped.
            rig.codexIcon = MenuBarGaugeImageRenderer::bundledBrandIcon(MenuBarGaugeImageRenderer::codexIconName);
            rig.claudeIcon = MenuBarGaugeImageRenderer::bundledBrandIcon(MenuBarGaugeImageRenderer::claudeIconName);
            ASSERT_FALSE(rig.codexIcon.isNull());
            ASSERT_FALSE(rig.claudeIcon.isNull());
            expectMatchesGolden(rig.renderer.make(c.input), c.name + QStringLiteral("@") + QString::number(ratio) + u'x');
        }
    }
}

} // namespace
} // namespace vantorel
