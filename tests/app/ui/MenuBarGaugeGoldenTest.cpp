#include "GaugeProbe.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using namespace gaugetest;
using Style = MenuBarProviderIdentityStyle;

// Anti-aliasing and glyph rasterisation move a little between library versions: a pixel counts
// as different when a channel is off by more than this, and a few such pixels are allowed.
constexpr int channelTolerance = 40;
constexpr double differingShareLimit = 0.02;

double differingShare(const QImage& actual, const QImage& expected)
{
    const auto a = actual.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const auto b = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            differing += std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                   std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))})
                    > channelTolerance;
        }
    }
    return double(differing) / (a.width() * a.height());
}

// VANTOREL_UPDATE_GOLDEN=1 rewrites the reference images after a deliberate change; a mismatch
// leaves what was drawn in golden-actual/ beside the test program for review.
void checkGolden(const QImage& image, const QString& name)
{
    const QString path = QStringLiteral(VANTOREL_TEST_SOURCE_DIR "/app/ui/golden/") + name + u".png";
    if (qEnvironmentVariableIntValue("VANTOREL_UPDATE_GOLDEN") == 1) {
        EXPECT_TRUE(image.save(path));
        return;
    }
    const QImage golden(path);
    const bool matches = golden.size() == image.size() && differingShare(image, golden) <= differingShareLimit;
    EXPECT_TRUE(matches) << name.toStdString();
    if (!matches) {
        const QDir out(QCoreApplication::applicationDirPath() + u"/golden-actual");
        out.mkpath(QStringLiteral("."));
        image.save(out.filePath(name + u".png"));
    }
}

TEST(MenuBarGaugeGolden, LayoutsMatchTheirReferenceImages)
{
    const std::vector<std::pair<QString, MenuBarGaugeImageRenderer::Input>> cases{
        {QStringLiteral("compact"),
         {.codexEnabled = true, .claudeEnabled = true, .codexValues = {fiveHour(37.2), weekly(80)},
          .claudeValues = {fiveHour(15), weekly(60)}, .compact = true, .claudeIdentityStyle = Style::text}},
        {QStringLiteral("detailed"),
         {.codexEnabled = true, .claudeEnabled = true, .codexValues = {fiveHour(100), weekly(8)},
          .claudeValues = {weekly(std::nullopt)}, .compact = false,
          .labelStyle = MenuBarGaugeLabelStyle::remainingPercent, .claudeIdentityStyle = Style::text}},
    };
    for (const int ratio : {1, 2}) {
        for (const auto& [layout, input] : cases) {
            RendererRig rig;
            rig.ratio = ratio;
            rig.codexIcon = MenuBarGaugeImageRenderer::bundledBrandIcon(MenuBarGaugeImageRenderer::codexIconName);
            rig.claudeIcon = MenuBarGaugeImageRenderer::bundledBrandIcon(MenuBarGaugeImageRenderer::claudeIconName);
            ASSERT_FALSE(rig.codexIcon.isNull() || rig.claudeIcon.isNull()) << "brand images missing from resources";
            checkGolden(rig.renderer.make(input), layout + u'@' + QString::number(ratio) + u'x');
        }
    }
}

TEST(MenuBarGaugeGolden, SquareFormMatchesItsReferenceImages)
{
    const MenuBarGaugeImageRenderer::Input input{.codexEnabled = true, .claudeEnabled = true,
                                                 .codexValues = {fiveHour(37.2), weekly(80)},
                                                 .claudeValues = {fiveHour(15), weekly(60)}};
    for (const int ratio : {1, 2}) {
        RendererRig rig;
        rig.ratio = ratio;
        const auto icon = rig.renderer.makeSquare(input);
        for (const int side : {22, 64}) {
            const auto image = icon.pixmap(QSize(side, side), ratio).toImage();
            const QString name = u"square" + QString::number(side) + u'@' + QString::number(ratio) + u'x';
            checkGolden(image, name);
        }
    }
}

} // namespace
} // namespace vantorel
