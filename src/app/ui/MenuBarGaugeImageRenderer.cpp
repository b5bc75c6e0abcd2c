#include "app/ui/MenuBarGaugeImageRenderer.h"

#include "app/ui/ApplicationResources.h"
#include "app/ui/DesktopAppearance.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace vantorel {

namespace {

constexpr qreal largestDevicePixelRatio = 8;

} // namespace

MenuBarGaugeImageRenderer::Environment MenuBarGaugeImageRenderer::systemEnvironment(const DesktopAppearance& appearance)
{
    QPointer<const DesktopAppearance> source(&appearance);
    return {
        .appearance = [source] { return source ? source->palette() : MenuBarPalette::light(); },
        .devicePixelRatio =
            [] {
                const auto* screen = QGuiApplication::primaryScreen();
                return screen ? screen->devicePixelRatio() : qreal(1);
            },
        .loadBrandIcon = &MenuBarGaugeImageRenderer::bundledBrandIcon,
        .applicationIcon =
            [] {
                const auto icon = QGuiApplication::windowIcon();
                return icon.isNull() ? QImage() : icon.pixmap(QSize(64, 64)).toImage();
            },
        .onAppearanceChange =
            [source](QObject* context, std::function<void()> changed) {
                if (source)
                    QObject::connect(source, &DesktopAppearance::changed, context, std::move(changed));
            },
    };
}

QImage MenuBarGaugeImageRenderer::bundledBrandIcon(const QString& iconName)
{
    ApplicationResources::registerAll();
    return QImage(u":/Brand/" % iconName % u".png");
}

QFont MenuBarGaugeImageRenderer::numberFont(qreal pointSize, QFont::Weight weight)
{
    return MenuBarGaugeDrawing::numberFont(pointSize, weight);
}

MenuBarGaugeImageRenderer::MenuBarGaugeImageRenderer(Environment environment)
    : m_environment(std::move(environment))
{
}

MenuBarGaugeImageRenderer::~MenuBarGaugeImageRenderer() = default;

qreal MenuBarGaugeImageRenderer::devicePixelRatio() const
{
    const qreal ratio = m_environment.devicePixelRatio();
    if (!std::isfinite(ratio) || ratio < 1)
        return 1;
    return std::min(ratio, largestDevicePixelRatio);
}

QImage MenuBarGaugeImageRenderer::make(const Input& input)
{
    const auto palette = m_environment.appearance();
    const qreal ratio = devicePixelRatio();

    auto& cache = renderedImageCache(ratio);
    const auto key = cacheKey(palette.name, input);
    if (const QImage* cached = cache.object(key))
        return *cached;

    const auto providers = input.enabledProviders();
    // Everything the platform supplies is fetched here, on the calling thread.
    MenuBarGaugePanelPicture::BrandImages brandImages;
    for (const auto& provider : providers) {
        if (provider.identityStyle == MenuBarProviderIdentityStyle::icon)
            brandImages.emplace(provider.iconName, brandIcon(provider.iconName));
    }
    const auto applicationIcon =
        providers.empty() && m_environment.applicationIcon ? m_environment.applicationIcon() : QImage();

    const auto image = MenuBarGaugePanelPicture::draw(input, palette, ratio, brandImages, applicationIcon);
    cache.insert(key, new QImage(image));
    return image;
}

QIcon MenuBarGaugeImageRenderer::makeSquare(const Input& input)
{
    const auto palette = m_environment.appearance();
    const qreal ratio = devicePixelRatio();
    if (m_square && m_square->key() == squareCacheKey(palette.name, input) && m_square->devicePixelRatio() == ratio)
        return m_squareIcon;

    const bool disabled = !input.codexEnabled && !input.claudeEnabled;
    auto applicationIcon = disabled && m_environment.applicationIcon ? m_environment.applicationIcon() : QImage();
    auto picture = std::make_shared<MenuBarGaugeSquarePicture>(palette.name, input, ratio, palette,
                                                               std::move(applicationIcon));
    if (m_square)
        picture->reuse(*m_square);
    m_square = std::move(picture);
    m_squareIcon = MenuBarGaugeSquarePicture::icon(m_square);
    return m_squareIcon;
}

void MenuBarGaugeImageRenderer::followAppearance(QObject* context, std::function<void()> changed) const
{
    if (m_environment.onAppearanceChange)
        m_environment.onAppearanceChange(context, std::move(changed));
}

qsizetype MenuBarGaugeImageRenderer::squareBytes() const
{
    return m_square ? m_square->bytes() : 0;
}

QList<std::optional<double>> MenuBarGaugeImageRenderer::squareRings(const Input& input)
{
    return MenuBarGaugeSquarePicture::rings(input);
}

int MenuBarGaugeImageRenderer::imageWidth(const Input& input)
{
    return MenuBarGaugePanelPicture::width(input);
}

int MenuBarGaugeImageRenderer::detailedProviderWidth(const QList<MenuBarGaugeValue>& values,
                                                     MenuBarGaugeLabelStyle labelStyle,
                                                     MenuBarProviderIdentityStyle identityStyle)
{
    return MenuBarGaugePanelPicture::detailedProviderWidth(values, labelStyle, identityStyle);
}

int MenuBarGaugeImageRenderer::percentageTextWidth(const QString& text)
{
    return MenuBarGaugePanelPicture::percentageTextWidth(text);
}

std::optional<MenuBarGaugeValue> MenuBarGaugeImageRenderer::compactSelection(const QList<MenuBarGaugeValue>& values)
{
    return MenuBarGaugePanelPicture::compactSelection(values);
}

QList<MenuBarGaugePanelPicture::ValueKey> MenuBarGaugeImageRenderer::cacheValues(const QList<MenuBarGaugeValue>& values)
{
    return MenuBarGaugePanelPicture::valueKeys(values);
}

MenuBarGaugePanelPicture::Key MenuBarGaugeImageRenderer::cacheKey(const QString& appearanceName, const Input& input)
{
    return MenuBarGaugePanelPicture::key(appearanceName, input);
}

MenuBarGaugeSquarePicture::Key MenuBarGaugeImageRenderer::squareCacheKey(const QString& appearanceName,
                                                                         const Input& input)
{
    return MenuBarGaugeSquarePicture::key(appearanceName, input);
}

std::optional<int> MenuBarGaugeImageRenderer::squareNumber(const Input& input)
{
    return MenuBarGaugeSquarePicture::number(input);
}

QColor MenuBarGaugeImageRenderer::color(std::optional<double> percent, const MenuBarPalette& palette)
{
    return MenuBarGaugeDrawing::color(percent, palette);
}

std::optional<QImage> MenuBarGaugeImageRenderer::brandIcon(const QString& iconName)
{
    if (const QImage* cached = m_brandIconCache.object(iconName))
        return *cached;
    const auto loaded = m_environment.loadBrandIcon ? m_environment.loadBrandIcon(iconName) : QImage();
    if (loaded.isNull())
        return std::nullopt;
    // Kept in the canvas format so drawing it needs no conversion.
    const auto image = loaded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    m_brandIconCache.insert(iconName, new QImage(image));
    return image;
}

MenuBarGaugeImageRenderer::ImageCache& MenuBarGaugeImageRenderer::renderedImageCache(qreal devicePixelRatio)
{
    auto& cache = m_renderedImageCaches[devicePixelRatio];
    if (!cache)
        cache = std::make_unique<ImageCache>(renderedImageCacheLimit);
    return *cache;
}

} // namespace vantorel
