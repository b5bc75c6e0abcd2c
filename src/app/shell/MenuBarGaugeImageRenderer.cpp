#include "app/shell/MenuBarGaugeImageRenderer.h"

#include "app/shell/ApplicationResources.h"
#include "app/shell/DesktopAppearance.h"
#include "core/model/MenuBarGaugeLabelFormatter.h"
#include "core/model/UsageGaugeStyle.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScreen>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <vector>

namespace vantorel {

namespace {

using Values = QList<MenuBarGaugeValue>;

constexpr int compactIconCellWidth = 52;
constexpr int compactTextCellWidth = 64;
constexpr int compactGap = 1;
constexpr int detailedIconIdentityWidth = 29;
constexpr int detailedTextIdentityWidth = 39;
constexpr int detailedRingStep = 27;
constexpr int percentageTextGap = 4;
constexpr int detailedGap = 4;
constexpr qreal largestDevicePixelRatio = 8;
// Images are set to 72 dots per inch so that a font's point size is one logical pixel, the
// unit every size and position here is given in.
constexpr int dotsPerMeterAt72Dpi = 2835;

// Sizes and positions are written with the origin at the bottom-left and y growing upwards;
// this is the one place where such a rectangle becomes image coordinates.
QRectF box(qreal left, qreal bottom, qreal width, qreal height)
{
    return {left, MenuBarGaugeImageRenderer::imageHeight - bottom - height, width, height};
}

QFont makeFont(const QStringList& families, QFont::StyleHint hint, qreal pointSize, QFont::Weight weight)
{
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setFixedPitch(hint == QFont::Monospace);
    font.setPointSizeF(pointSize);
    font.setWeight(weight);
    // Unhinted outlines measure the same at every pixel ratio, so widths agree across screens.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QFont sansFont(qreal pointSize, QFont::Weight weight)
{
    static const QStringList families{QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
                                      QStringLiteral("DejaVu Sans")};
    return makeFont(families, QFont::SansSerif, pointSize, weight);
}

QFont monospacedFont(qreal pointSize, QFont::Weight weight)
{
    static const QStringList families{QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("DejaVu Sans Mono"),
                                      QStringLiteral("Liberation Mono")};
    return makeFont(families, QFont::Monospace, pointSize, weight);
}

struct Fonts {
    QFont percentage = monospacedFont(17, QFont::Bold);
    QFont ringTitle = monospacedFont(8.2, QFont::ExtraBold);
    QFont compactRingLabel = sansFont(9, QFont::Bold);
    QFont compactName = sansFont(10, QFont::DemiBold);
    QFont detailedName = sansFont(9, QFont::DemiBold);
    QFont statusWord = sansFont(8, QFont::Medium);
    QFont fallbackLetters = sansFont(8.2, QFont::Bold);
};

const Fonts& fonts()
{
    static const Fonts instance;
    return instance;
}

QImage makeCanvas(QSize pixels, qreal devicePixelRatio)
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDotsPerMeterX(dotsPerMeterAt72Dpi);
    image.setDotsPerMeterY(dotsPerMeterAt72Dpi);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    return image;
}

const QImage& measuringDevice()
{
    static const QImage device = makeCanvas(QSize(1, 1), 1);
    return device;
}

QFontMetricsF metrics(const QFont& font)
{
    return QFontMetricsF(font, &measuringDevice());
}

// NaN is drawn like a missing value, as the cache key treats it; infinities clamp like any value.
std::optional<double> knownPercent(std::optional<double> percent)
{
    if (percent && !std::isnan(*percent))
        return percent;
    return std::nullopt;
}

// "Colour at N % opacity": the alpha becomes N %, it is not multiplied into the colour's own.
QColor withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(opacity);
    return color;
}

QString ringTitle(MenuBarUsageWindow window)
{
    return window == MenuBarUsageWindow::weekly ? QStringLiteral("1W") : QStringLiteral("5h");
}

QString displayName(const QString& iconName)
{
    return iconName == MenuBarGaugeImageRenderer::codexIconName ? QStringLiteral("Codex") : QStringLiteral("Claude");
}

struct Provider {
    const QString& iconName;
    const Values& values;
    MenuBarProviderIdentityStyle identityStyle;
};

std::vector<Provider> enabledProviders(const MenuBarGaugeImageRenderer::Input& input)
{
    std::vector<Provider> providers;
    if (input.codexEnabled)
        providers.push_back({MenuBarGaugeImageRenderer::codexIconName, input.codexValues, input.codexIdentityStyle});
    if (input.claudeEnabled)
        providers.push_back({MenuBarGaugeImageRenderer::claudeIconName, input.claudeValues, input.claudeIdentityStyle});
    return providers;
}

int compactCellWidth(MenuBarProviderIdentityStyle style)
{
    return style == MenuBarProviderIdentityStyle::text ? compactTextCellWidth : compactIconCellWidth;
}

using BrandImages = std::map<QString, std::optional<QImage>>;

struct RingStyle {
    qreal discInset;
    qreal trackInset;
    qreal trackWidth;
    qreal trackOpacity;
    qreal arcWidth;
};

constexpr RingStyle compactRing{2.7, 1.35, 2.2, 0.28, 2.7};
constexpr RingStyle detailedRing{3.4, 1.55, 2.5, 0.27, 3.1};

// Draws one image's content; all rectangles it receives are already in image coordinates.
class GaugePainter {
public:
    GaugePainter(QPainter& painter, const MenuBarPalette& palette, const BrandImages& brandImages)
        : m_painter(painter)
        , m_palette(palette)
        , m_brandImages(brandImages)
    {
    }

    void drawCompactProvider(const QString& iconName, qreal x, const std::optional<MenuBarGaugeValue>& value,
                             MenuBarProviderIdentityStyle identityStyle)
    {
        const auto ring = box(x + 2, 1.5, 23, 23);
        drawRingBody(ring, compactRing, value ? value->remainingPercent : std::nullopt);
        const auto label = value ? ringTitle(value->window) : QStringLiteral("--");
        drawLeftAlignedText(label, box(x + 6, 2, 18, 22), fonts().compactRingLabel, m_palette.label);

        if (identityStyle == MenuBarProviderIdentityStyle::icon) {
            drawBrandIcon(iconName, box(x + 28, 2, 22, 22));
            return;
        }
        drawLeftAlignedText(displayName(iconName), box(x + 28, 8, 36, 17), fonts().compactName, m_palette.label);
        QString status;
        if (!value)
            status = QStringLiteral("枠非表示");
        else if (knownPercent(value->remainingPercent))
            status = QStringLiteral("残り");
        else
            status = QStringLiteral("未確認");
        drawLeftAlignedText(status, box(x + 28, 0, 36, 12), fonts().statusWord, m_palette.secondaryLabel);
    }

    void drawProvider(const QString& iconName, qreal x, const Values& values, MenuBarGaugeLabelStyle labelStyle,
                      MenuBarProviderIdentityStyle identityStyle)
    {
        const int width = MenuBarGaugeImageRenderer::detailedProviderWidth(values, labelStyle, identityStyle);
        QPainterPath capsule;
        capsule.addRoundedRect(box(x, 1, width, 24), 12, 12);
        m_painter.fillPath(capsule, withOpacity(m_palette.controlBackground, 0.62));
        m_painter.strokePath(capsule, QPen(withOpacity(m_palette.separator, 0.24), 0.7));

        int identityWidth = detailedIconIdentityWidth;
        if (identityStyle == MenuBarProviderIdentityStyle::icon) {
            drawBrandIcon(iconName, box(x + 3, 2, 22, 22));
        } else {
            identityWidth = detailedTextIdentityWidth;
            drawLeftAlignedText(displayName(iconName), box(x + 3, 8, 34, 17), fonts().detailedName, m_palette.label);
            const auto status = values.isEmpty() ? QStringLiteral("非表示") : QStringLiteral("残り");
            drawLeftAlignedText(status, box(x + 4, 0, 30, 12), fonts().statusWord, m_palette.secondaryLabel);
        }

        qreal ringLeft = x + identityWidth - 2;
        for (const auto& value : values) {
            drawRing(ringTitle(value.window), value.remainingPercent, box(ringLeft, 1.5, 23, 23));
            ringLeft += detailedRingStep;
            if (labelStyle == MenuBarGaugeLabelStyle::remainingPercent) {
                const auto text = MenuBarGaugeLabelFormatter::adjacentPercentageText(value);
                const int textWidth = MenuBarGaugeImageRenderer::percentageTextWidth(text);
                drawLeftAlignedText(text, box(ringLeft, 0, textWidth, 26), fonts().percentage, m_palette.label);
                ringLeft += textWidth + percentageTextGap;
            }
        }
    }

    void drawRing(const QString& title, std::optional<double> percent, const QRectF& rect)
    {
        drawRingBody(rect, detailedRing, percent);
        const auto titleRect = rect.adjusted(1.6, 6.4, -1.6, -6.4);
        m_painter.setFont(fonts().ringTitle);
        m_painter.setPen(m_palette.label);
        m_painter.drawText(titleRect, Qt::AlignHCenter | Qt::AlignTop, title);
    }

    void drawDisabledIndicator(const QImage& applicationIcon)
    {
        QPainterPath frame;
        frame.addRoundedRect(box(1, 1, 28, 24), 8, 8);
        m_painter.fillPath(frame, withOpacity(m_palette.controlBackground, 0.72));
        m_painter.strokePath(frame, QPen(withOpacity(m_palette.separator, 0.24), 0.7));
        if (applicationIcon.isNull())
            return;
        m_painter.setOpacity(0.72);
        m_painter.drawImage(box(4, 3, 20, 20), applicationIcon);
        m_painter.setOpacity(1);
    }

    void drawBrandIcon(const QString& iconName, const QRectF& rect)
    {
        const auto found = m_brandImages.find(iconName);
        if (found != m_brandImages.end() && found->second) {
            m_painter.drawImage(rect, *found->second);
            return;
        }
        const auto letters = iconName == MenuBarGaugeImageRenderer::claudeIconName ? QStringLiteral("Cl")
                                                                                    : QStringLiteral("C");
        m_painter.setFont(fonts().fallbackLetters);
        m_painter.setPen(m_palette.secondaryLabel);
        m_painter.drawText(rect.adjusted(-2, 3, 2, -3), Qt::AlignHCenter | Qt::AlignTop, letters);
    }

private:
    void drawRingBody(const QRectF& rect, const RingStyle& style, std::optional<double> percent)
    {
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(withOpacity(m_palette.windowBackground, 0.92));
        m_painter.drawEllipse(rect.adjusted(style.discInset, style.discInset, -style.discInset, -style.discInset));

        const auto track = rect.adjusted(style.trackInset, style.trackInset, -style.trackInset, -style.trackInset);
        m_painter.setBrush(Qt::NoBrush);
        m_painter.setPen(QPen(withOpacity(m_palette.secondaryLabel, style.trackOpacity), style.trackWidth));
        m_painter.drawEllipse(track);

        const auto known = knownPercent(percent);
        if (!known)
            return;
        const double fraction = std::clamp(*known / 100.0, 0.0, 1.0);
        if (fraction <= 0)
            return;
        const qreal radius = std::min(track.width(), track.height()) / 2;
        const QRectF circle(rect.center() - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
        // Qt's arc angles are counter-clockwise on screen from 3 o'clock: start at 12 and run clockwise.
        QPainterPath arc;
        arc.arcMoveTo(circle, 90);
        arc.arcTo(circle, 90, -360 * fraction);
        m_painter.setPen(QPen(MenuBarGaugeImageRenderer::color(known, m_palette), style.arcWidth, Qt::SolidLine,
                              Qt::RoundCap));
        m_painter.drawPath(arc);
    }

    // One line starting at the rectangle's left edge, its line box centred vertically in it.
    void drawLeftAlignedText(const QString& text, const QRectF& rect, const QFont& font, const QColor& color)
    {
        const auto measure = metrics(font);
        const qreal top = rect.center().y() - measure.height() / 2;
        m_painter.setFont(font);
        m_painter.setPen(color);
        m_painter.drawText(QPointF(rect.left(), top + measure.ascent()), text);
    }

    QPainter& m_painter;
    const MenuBarPalette& m_palette;
    const BrandImages& m_brandImages;
};

// Proportions of the square tray form, as shares of its side: a round badge holding one ring per
// provider, the rings thinner when there are two so that the number keeps room at 22 pixels.
constexpr qreal squarePadding = 0.02;
constexpr qreal squareSingleRingWidth = 0.13;
constexpr qreal squareDoubleRingWidth = 0.095;
constexpr qreal squareRingGap = 0.01;
constexpr qreal squareTrackOpacity = 0.28;
// The number fills this share of the free centre's diameter in height, and never more in width.
constexpr qreal squareNumberHeightShare = 0.8;
constexpr qreal squareNumberWidthShare = 0.98;

struct SquareRing {
    std::optional<double> percent;
};

void drawSquare(QPainter& painter, qreal side, const MenuBarPalette& palette, const std::vector<SquareRing>& rings,
                const std::optional<int>& number, const QImage& applicationIcon)
{
    if (rings.empty()) {
        // The disabled indicator, in the proportions of its 30 × 26 form.
        const qreal inset = side * 0.05;
        const QRectF frameRect(inset, inset + side * 0.04, side - 2 * inset, side - 2 * inset - side * 0.08);
        QPainterPath frame;
        frame.addRoundedRect(frameRect, side * 0.27, side * 0.27);
        painter.fillPath(frame, withOpacity(palette.controlBackground, 0.72));
        painter.strokePath(frame, QPen(withOpacity(palette.separator, 0.24), std::max<qreal>(side * 0.025, 0.7)));
        if (applicationIcon.isNull())
            return;
        const qreal iconInset = side * 0.17;
        painter.setOpacity(0.72);
        painter.drawImage(QRectF(iconInset, iconInset, side - 2 * iconInset, side - 2 * iconInset), applicationIcon);
        painter.setOpacity(1);
        return;
    }

    const QPointF centre(side / 2, side / 2);
    const qreal width = side * (rings.size() > 1 ? squareDoubleRingWidth : squareSingleRingWidth);
    const qreal outerRadius = side / 2 - side * squarePadding;
    const auto circle = [&](qreal radius) {
        return QRectF(centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
    };

    painter.setPen(Qt::NoPen);
    painter.setBrush(withOpacity(palette.windowBackground, 0.92));
    painter.drawEllipse(circle(outerRadius));

    qreal radius = outerRadius - width / 2;
    for (const auto& ring : rings) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(withOpacity(palette.secondaryLabel, squareTrackOpacity), width));
        painter.drawEllipse(circle(radius));
        const auto known = knownPercent(ring.percent);
        const double fraction = known ? std::clamp(*known / 100.0, 0.0, 1.0) : 0.0;
        if (fraction > 0) {
            QPainterPath arc;
            arc.arcMoveTo(circle(radius), 90);
            arc.arcTo(circle(radius), 90, -360 * fraction);
            painter.setPen(QPen(MenuBarGaugeImageRenderer::color(known, palette), width, Qt::SolidLine, Qt::RoundCap));
            painter.drawPath(arc);
        }
        radius -= width + side * squareRingGap;
    }

    if (!number || side < MenuBarGaugeImageRenderer::squareNumberMinimumSize)
        return;
    const qreal freeDiameter = 2 * (radius + side * squareRingGap);
    const auto text = QString::number(*number);
    // Sized by the height of a digit, then narrowed until the text fits across the centre.
    const qreal digitHeight = freeDiameter * squareNumberHeightShare;
    auto font = sansFont(digitHeight, QFont::Bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setPointSizeF(digitHeight * digitHeight / metrics(font).tightBoundingRect(QStringLiteral("0")).height());
    const qreal textWidth = metrics(font).tightBoundingRect(text).width();
    if (textWidth > freeDiameter * squareNumberWidthShare)
        font.setPointSizeF(font.pointSizeF() * freeDiameter * squareNumberWidthShare / textWidth);
    const auto bounds = metrics(font).tightBoundingRect(text);
    // On whole device pixels, so that the few pixels of a small digit stay sharp.
    const qreal ratio = painter.device()->devicePixelRatioF();
    const QPointF origin = centre - bounds.center();
    painter.setFont(font);
    painter.setPen(palette.label);
    painter.drawText(QPointF(std::round(origin.x() * ratio), std::round(origin.y() * ratio)) / ratio, text);
}

// Qt's raster engine hands every fill of more than about a hundred spans to the global thread
// pool unless it already runs on one of the pool's threads. For images this small the hand-offs
// cost several times the drawing itself, so the drawing runs as one task on a free pool thread.
void drawSerially(const std::function<void()>& draw)
{
    auto* pool = QThreadPool::globalInstance();
    if (pool->contains(QThread::currentThread())) {
        draw();
        return;
    }
    QSemaphore finished;
    if (!pool->tryStart([&] {
            draw();
            finished.release();
        })) {
        draw();
        return;
    }
    finished.acquire();
}

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
    };
}

QImage MenuBarGaugeImageRenderer::bundledBrandIcon(const QString& iconName)
{
    ApplicationResources::registerAll();
    return QImage(u":/Brand/" % iconName % u".png");
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

    const int width = imageWidth(input);
    auto image = makeCanvas(QSize(qCeil(width * ratio), qCeil(imageHeight * ratio)), ratio);
    const auto providers = enabledProviders(input);
    // Everything the platform supplies is fetched here, on the calling thread.
    BrandImages brandImages;
    for (const auto& provider : providers) {
        if (provider.identityStyle == MenuBarProviderIdentityStyle::icon)
            brandImages.emplace(provider.iconName, brandIcon(provider.iconName));
    }
    const auto applicationIcon =
        providers.empty() && m_environment.applicationIcon ? m_environment.applicationIcon() : QImage();

    drawSerially([&] {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        GaugePainter gauge(painter, palette, brandImages);
        if (providers.empty())
            gauge.drawDisabledIndicator(applicationIcon);
        qreal x = 0;
        for (const auto& provider : providers) {
            if (input.compact) {
                gauge.drawCompactProvider(provider.iconName, x, compactSelection(provider.values), provider.identityStyle);
                x += compactCellWidth(provider.identityStyle) + compactGap;
            } else {
                gauge.drawProvider(provider.iconName, x, provider.values, input.labelStyle, provider.identityStyle);
                x += detailedProviderWidth(provider.values, input.labelStyle, provider.identityStyle) + detailedGap;
            }
        }
    });
    cache.insert(key, new QImage(image));
    return image;
}

QIcon MenuBarGaugeImageRenderer::makeSquare(const Input& input)
{
    const auto palette = m_environment.appearance();
    const qreal ratio = devicePixelRatio();
    auto& cache = renderedIconCache(ratio);
    const auto key = squareCacheKey(palette.name, input);
    if (const QIcon* cached = cache.object(key))
        return *cached;

    std::vector<SquareRing> rings;
    for (const auto& provider : enabledProviders(input)) {
        const auto selected = compactSelection(provider.values);
        rings.push_back({selected ? selected->remainingPercent : std::nullopt});
    }
    const auto number = squareNumber(input);
    const auto applicationIcon =
        rings.empty() && m_environment.applicationIcon ? m_environment.applicationIcon() : QImage();

    std::vector<QImage> images;
    for (const int side : squareIconSizes)
        images.push_back(makeCanvas(QSize(qCeil(side * ratio), qCeil(side * ratio)), ratio));
    drawSerially([&] {
        for (std::size_t i = 0; i < images.size(); ++i) {
            QPainter painter(&images[i]);
            painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
            drawSquare(painter, squareIconSizes[i], palette, rings, number, applicationIcon);
        }
    });
    QIcon icon;
    for (const auto& image : images)
        icon.addPixmap(QPixmap::fromImage(image));
    cache.insert(key, new QIcon(icon));
    return icon;
}

int MenuBarGaugeImageRenderer::imageWidth(const Input& input)
{
    const auto providers = enabledProviders(input);
    if (providers.empty())
        return disabledWidth;
    int width = 0;
    for (const auto& provider : providers) {
        width += input.compact ? compactCellWidth(provider.identityStyle)
                               : detailedProviderWidth(provider.values, input.labelStyle, provider.identityStyle);
    }
    const int gaps = int(providers.size()) - 1;
    return width + gaps * (input.compact ? compactGap : detailedGap);
}

int MenuBarGaugeImageRenderer::detailedProviderWidth(const Values& values, MenuBarGaugeLabelStyle labelStyle,
                                                     MenuBarProviderIdentityStyle identityStyle)
{
    int width = identityStyle == MenuBarProviderIdentityStyle::text ? detailedTextIdentityWidth
                                                                    : detailedIconIdentityWidth;
    for (const auto& value : values) {
        width += detailedRingStep;
        if (labelStyle == MenuBarGaugeLabelStyle::remainingPercent)
            width += percentageTextGap
                + percentageTextWidth(MenuBarGaugeLabelFormatter::adjacentPercentageText(value));
    }
    return width;
}

int MenuBarGaugeImageRenderer::percentageTextWidth(const QString& text)
{
    return qCeil(metrics(fonts().percentage).horizontalAdvance(text));
}

std::optional<MenuBarGaugeValue> MenuBarGaugeImageRenderer::compactSelection(const Values& values)
{
    const auto unknown = std::find_if(values.cbegin(), values.cend(),
                                      [](const auto& value) { return !knownPercent(value.remainingPercent); });
    if (unknown != values.cend())
        return *unknown;
    // min_element keeps the earliest of equal values, so the five-hour window wins ties.
    const auto lowest = std::min_element(values.cbegin(), values.cend(), [](const auto& a, const auto& b) {
        return *a.remainingPercent < *b.remainingPercent;
    });
    if (lowest == values.cend())
        return std::nullopt;
    return *lowest;
}

QString MenuBarGaugeImageRenderer::cacheValues(const Values& values)
{
    QStringList pieces;
    pieces.reserve(values.size());
    for (const auto& value : values)
        pieces.append(rawValue(value.window) % u':' % UsageGaugeStyle::cacheToken(value.remainingPercent));
    return pieces.join(u',');
}

QString MenuBarGaugeImageRenderer::cacheKey(const QString& appearanceName, const Input& input)
{
    const auto identity = [](bool enabled, MenuBarProviderIdentityStyle style) {
        return enabled ? rawValue(style) : QString();
    };
    const QStringList fields{
        appearanceName,
        input.compact ? QStringLiteral("compact") : QStringLiteral("detailed"),
        rawValue(input.labelStyle),
        identity(input.codexEnabled, input.codexIdentityStyle),
        identity(input.claudeEnabled, input.claudeIdentityStyle),
        input.codexEnabled ? QStringLiteral("codex-on") : QStringLiteral("codex-off"),
        input.claudeEnabled ? QStringLiteral("claude-on") : QStringLiteral("claude-off"),
        cacheValues(input.codexValues),
        cacheValues(input.claudeValues),
    };
    return fields.join(u'|');
}

QString MenuBarGaugeImageRenderer::squareCacheKey(const QString& appearanceName, const Input& input)
{
    const auto ring = [](bool enabled, const Values& values) {
        if (!enabled)
            return QStringLiteral("off");
        const auto selected = compactSelection(values);
        return selected ? UsageGaugeStyle::cacheToken(selected->remainingPercent) : QStringLiteral("none");
    };
    return appearanceName % u"|square|" % ring(input.codexEnabled, input.codexValues) % u'|'
        % ring(input.claudeEnabled, input.claudeValues);
}

std::optional<int> MenuBarGaugeImageRenderer::squareNumber(const Input& input)
{
    std::optional<double> lowest;
    for (const auto& provider : enabledProviders(input)) {
        const auto selected = compactSelection(provider.values);
        const auto known = selected ? knownPercent(selected->remainingPercent) : std::nullopt;
        if (known && (!lowest || *known < *lowest))
            lowest = known;
    }
    if (!lowest)
        return std::nullopt;
    return int(std::round(std::clamp(*lowest, 0.0, 100.0)));
}

QColor MenuBarGaugeImageRenderer::color(std::optional<double> percent, const MenuBarPalette& palette)
{
    switch (UsageGaugeStyle::colorBand(knownPercent(percent))) {
    case UsageGaugeColorBand::unavailable:
        return palette.secondaryLabel;
    case UsageGaugeColorBand::critical:
        return palette.systemRed;
    case UsageGaugeColorBand::warning:
        return palette.systemOrange;
    case UsageGaugeColorBand::healthy:
        break;
    }
    return palette.systemGreen;
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

MenuBarGaugeImageRenderer::IconCache& MenuBarGaugeImageRenderer::renderedIconCache(qreal devicePixelRatio)
{
    auto& cache = m_renderedIconCaches[devicePixelRatio];
    if (!cache)
        cache = std::make_unique<IconCache>(renderedImageCacheLimit);
    return *cache;
}

MenuBarGaugeImageRenderer::ImageCache& MenuBarGaugeImageRenderer::renderedImageCache(qreal devicePixelRatio)
{
    auto& cache = m_renderedImageCaches[devicePixelRatio];
    if (!cache)
        cache = std::make_unique<ImageCache>(renderedImageCacheLimit);
    return *cache;
}

} // namespace vantorel
