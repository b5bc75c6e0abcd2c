#include "app/ui/MenuBarGaugeImageRenderer.h"

#include "app/ui/ApplicationResources.h"
#include "app/ui/DesktopAppearance.h"
#include "core/model/MenuBarGaugeLabelFormatter.h"
#include "core/model/UsageGaugeStyle.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QIcon>
#include <QIconEngine>
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

// Held by the square pictures, whose type is named outside this file.
namespace gaugesquare {

// What every size of the square form shows.
struct SquareModel {
    bool disabled = false;
    QList<std::optional<double>> rings;
    std::optional<int> number;
    // The number's tight bounds at the reference size, per stretch of `squareNumberStretches`.
    std::array<QRectF, 2> numberBounds;
};

// One size of the square form, everything decided.
struct SquareSize {
    struct Ring {
        qreal radius = 0;
        qreal width = 0;
        // Share of the circle the arc covers, on the steps this size can show; nothing when the
        // ring has no reading (a dashed track).
        std::optional<qreal> fraction;
        QColor arcColor;
    };
    int side = 0;
    // Names exactly what this size shows: two sizes with one key look the same.
    QString key;
    bool disabled = false;
    std::vector<Ring> rings;
    // Radius of the disc the rings surround.
    qreal discRadius = 0;
    qreal outlineWidth = 0;
    // The number drawn in the centre (empty for none), its font size, stretch and baseline start.
    QString centreText;
    qreal centrePointSize = 0;
    int centreStretch = 100;
    QPointF centreOrigin;
    // A dash in the centre: no ring has a reading.
    bool dash = false;
};

} // namespace gaugesquare

using gaugesquare::SquareModel;
using gaugesquare::SquareSize;

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

// The layout was drawn for digits in half-em cells; these faces' digits are 0.6 em wide, and Qt
// scales a scalable face horizontally to the asked stretch.
constexpr int monospacedStretch = 83;

struct Fonts {
    QFont percentage = MenuBarGaugeImageRenderer::numberFont(17);
    QFont ringTitle = MenuBarGaugeImageRenderer::numberFont(8.2, QFont::ExtraBold);
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

// Proportions of the square tray form, as shares of its side. The rings share a band inside a
// contrasting outline; the more rings, the thinner each, so that the centre keeps room.
constexpr qreal squareOutlineShare = 1.0 / 22;
constexpr qreal squareMinimumOutline = 1;
constexpr qreal squareOutlineOpacity = 0.6;
constexpr qreal squareRingInsetShare = 0.02;
constexpr qreal squareTrackOpacity = 0.28;
constexpr qreal squareMissingTrackOpacity = 0.85;
// Ring width and gap by ring count (one to four rings).
constexpr std::array<std::pair<qreal, qreal>, 4> squareRingShares{
    {{0.11, 0}, {0.062, 0.02}, {0.05, 0.018}, {0.044, 0.016}}};
// The number's box fits the free centre: its diagonal spans at most this share of the centre's
// diameter (a little over 1, as round digits leave the box's corners empty), its height at most
// the other share.
constexpr qreal squareNumberDiagonalShare = 1.05;
constexpr qreal squareNumberHeightShare = 0.75;
// Font stretches tried in turn, so that "100" can keep readable digits in a narrower face.
constexpr std::array<int, 2> squareNumberStretches{monospacedStretch, 70};
constexpr qreal squareDashLengthShare = 0.42;
constexpr qreal squareDashThicknessShare = 0.09;
constexpr qreal squareMinimumDashThickness = 1.6;
// A dashed track has this many dashes, each covering this share of its step.
constexpr int squareDashCount = 12;
constexpr qreal squareDashShare = 0.6;

// Font size at which the number is measured once for every size: unhinted outlines scale linearly.
constexpr qreal squareNumberReferenceSize = 100;



// The compact layout sums each provider up in its most urgent window, and its number is the most
// urgent of all; the detailed layout writes a percentage only when asked to.
bool squareShowsNumber(const MenuBarGaugeImageRenderer::Input& input)
{
    return input.compact || input.labelStyle == MenuBarGaugeLabelStyle::remainingPercent;
}

QFont squareNumberFont(qreal pointSize, int stretch)
{
    auto font = MenuBarGaugeImageRenderer::numberFont(pointSize);
    font.setStretch(stretch);
    return font;
}

// The arc of a known percentage on the whole steps a circle of `radius` device pixels can show;
// any reading above zero keeps at least one step.
qreal quantizedFraction(double percent, qreal radiusInPixels, int& step)
{
    const int steps = std::max(1, qCeil(2 * M_PI * radiusInPixels));
    const double fraction = std::clamp(percent / 100.0, 0.0, 1.0);
    step = fraction > 0 ? std::max(1, int(std::lround(fraction * steps))) : 0;
    return qreal(step) / steps;
}

// Lays out one size: ring geometry, the arcs at this size's resolution, what the centre holds,
// and the key naming exactly that.
SquareSize layoutSquare(int side, qreal ratio, const MenuBarPalette& palette, const SquareModel& model)
{
    SquareSize size;
    size.side = side;
    size.disabled = model.disabled;
    QString key = palette.name % u'|' % QString::number(ratio) % u'|' % QString::number(side);
    if (model.disabled) {
        size.key = key % u"|off";
        return size;
    }
    const qreal half = side / 2.0;
    size.outlineWidth = std::max(squareMinimumOutline, side * squareOutlineShare);
    size.discRadius = half - size.outlineWidth / 2;
    const auto [widthShare, gapShare] = squareRingShares[std::min<qsizetype>(model.rings.size(), 4) - 1];
    const qreal width = side * widthShare;
    qreal edge = half - size.outlineWidth - side * squareRingInsetShare;
    for (const auto& percent : model.rings) {
        SquareSize::Ring ring{.radius = edge - width / 2, .width = width};
        if (percent) {
            int step = 0;
            ring.fraction = quantizedFraction(*percent, ring.radius * ratio, step);
            ring.arcColor = MenuBarGaugeImageRenderer::color(percent, palette);
            key += u'|' % QString::number(step) % u':' % ring.arcColor.name();
        } else {
            key += u"|x";
        }
        size.rings.push_back(ring);
        edge -= width + side * gapShare;
    }
    const qreal freeDiameter = 2 * (edge + side * gapShare);

    const bool anyReading = std::any_of(model.rings.cbegin(), model.rings.cend(), [](const auto& p) { return bool(p); });
    if (!anyReading) {
        size.dash = true;
        size.key = key % u"|-";
        return size;
    }
    if (model.number && side >= MenuBarGaugeImageRenderer::squareSmallestNumberedSide) {
        const auto text = QString::number(*model.number);
        for (std::size_t i = 0; i < squareNumberStretches.size(); ++i) {
            const int stretch = squareNumberStretches[i];
            const auto& bounds = model.numberBounds[i];
            const qreal scale = std::min(freeDiameter * squareNumberHeightShare / bounds.height(),
                                         freeDiameter * squareNumberDiagonalShare
                                             / std::hypot(bounds.width(), bounds.height()));
            if (bounds.height() * scale < MenuBarGaugeImageRenderer::squareMinimumDigitHeight)
                continue;
            size.centreText = text;
            size.centrePointSize = squareNumberReferenceSize * scale;
            size.centreStretch = stretch;
            // The baseline start that centres the digits, on whole device pixels so they stay sharp.
            const QPointF origin = QPointF(half, half) - bounds.center() * scale;
            size.centreOrigin = QPointF(std::round(origin.x() * ratio), std::round(origin.y() * ratio)) / ratio;
            break;
        }
    }
    size.key = key % u"|#" % size.centreText;
    return size;
}

void drawDisabledSquare(QPainter& painter, qreal side, const MenuBarPalette& palette, const QImage& applicationIcon)
{
    // The disabled indicator in the proportions of its 30 × 26 form, outlined to read on any panel.
    const qreal inset = side * 0.05;
    const QRectF frameRect(inset, inset + side * 0.04, side - 2 * inset, side - 2 * inset - side * 0.08);
    QPainterPath frame;
    frame.addRoundedRect(frameRect, side * 0.27, side * 0.27);
    painter.fillPath(frame, withOpacity(palette.controlBackground, 0.72));
    painter.strokePath(frame, QPen(withOpacity(palette.label, squareOutlineOpacity),
                                   std::max(squareMinimumOutline, side * squareOutlineShare)));
    if (applicationIcon.isNull())
        return;
    const qreal iconInset = side * 0.17;
    painter.setOpacity(0.72);
    painter.drawImage(QRectF(iconInset, iconInset, side - 2 * iconInset, side - 2 * iconInset), applicationIcon);
    painter.setOpacity(1);
}

QImage drawSquareSize(const SquareSize& size, const MenuBarPalette& palette, qreal ratio,
                      const QImage& applicationIcon)
{
    auto image = makeCanvas(QSize(qCeil(size.side * ratio), qCeil(size.side * ratio)), ratio);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    const qreal side = size.side;
    if (size.disabled) {
        drawDisabledSquare(painter, side, palette, applicationIcon);
        return image;
    }
    const QPointF centre(side / 2, side / 2);
    const auto circle = [&](qreal radius) {
        return QRectF(centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
    };
    // The disc in the appearance's window colour, ringed in its text colour: one of the two
    // always stands out from the panel, whatever its colour.
    painter.setBrush(withOpacity(palette.windowBackground, 0.92));
    painter.setPen(QPen(withOpacity(palette.label, squareOutlineOpacity), size.outlineWidth));
    painter.drawEllipse(circle(size.discRadius));

    painter.setBrush(Qt::NoBrush);
    for (const auto& ring : size.rings) {
        if (!ring.fraction) {
            QPen dashed(withOpacity(palette.secondaryLabel, squareMissingTrackOpacity), ring.width, Qt::CustomDashLine,
                        Qt::FlatCap);
            const qreal step = 2 * M_PI * ring.radius / squareDashCount / ring.width;
            dashed.setDashPattern({step * squareDashShare, step * (1 - squareDashShare)});
            painter.setPen(dashed);
            painter.drawEllipse(circle(ring.radius));
            continue;
        }
        painter.setPen(QPen(withOpacity(palette.secondaryLabel, squareTrackOpacity), ring.width));
        painter.drawEllipse(circle(ring.radius));
        if (*ring.fraction <= 0)
            continue;
        QPainterPath arc;
        arc.arcMoveTo(circle(ring.radius), 90);
        arc.arcTo(circle(ring.radius), 90, -360 * *ring.fraction);
        painter.setPen(QPen(ring.arcColor, ring.width, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(arc);
    }

    if (size.dash) {
        const qreal thickness = std::max(squareMinimumDashThickness, side * squareDashThicknessShare);
        const qreal length = side * squareDashLengthShare;
        // On whole device pixels, so that the bar stays crisp at 16 pixels.
        const auto snap = [ratio](qreal v) { return std::round(v * ratio) / ratio; };
        const qreal top = snap(side / 2 - thickness / 2);
        painter.fillRect(QRectF(QPointF(snap(side / 2 - length / 2), top),
                                QPointF(snap(side / 2 + length / 2), snap(top + thickness))),
                         palette.label);
    }
    if (!size.centreText.isEmpty()) {
        painter.setFont(squareNumberFont(size.centrePointSize, size.centreStretch));
        painter.setPen(palette.label);
        painter.drawText(size.centreOrigin, size.centreText);
    }
    return image;
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
    // The numbers and window titles are drawn while the tray is all there is: a CJK face, whose
    // files are several megabytes, would stay mapped for them.
    static const QStringList families{QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono")};
    auto font = makeFont(families, QFont::Monospace, pointSize, weight);
    font.setStretch(monospacedStretch);
    return font;
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

struct MenuBarGaugeImageRenderer::SquarePicture {
    QString key;
    qreal devicePixelRatio = 1;
    MenuBarPalette palette;
    QImage applicationIcon;
    SquareModel model;
    struct Drawn {
        QString key;
        QPixmap pixmap;
    };
    // By side in logical pixels.
    std::map<int, Drawn> drawn;

    // The picture at `side` logical pixels, drawn on first request.
    QPixmap pixmap(int side)
    {
        const auto found = drawn.find(side);
        if (found != drawn.end())
            return found->second.pixmap;
        const auto size = layoutSquare(side, devicePixelRatio, palette, model);
        QImage image;
        drawSerially([&] { image = drawSquareSize(size, palette, devicePixelRatio, applicationIcon); });
        auto pixmap = QPixmap::fromImage(std::move(image));
        drawn.emplace(side, Drawn{size.key, pixmap});
        return pixmap;
    }

    // Takes the sizes of `previous` that look the same in this picture.
    void reuse(const SquarePicture& previous)
    {
        if (previous.devicePixelRatio != devicePixelRatio)
            return;
        for (const auto& [side, size] : previous.drawn) {
            if (layoutSquare(side, devicePixelRatio, palette, model).key == size.key)
                drawn.emplace(side, size);
        }
    }
};

namespace {

// The icon of one square picture. Qt asks it for one size when it paints an XEmbed item and for
// every offered size when a StatusNotifierItem host fetches the pixmaps: only those are drawn.
// Sizes Qt passes here are in device pixels.
class SquareIconEngine final : public QIconEngine {
public:
    explicit SquareIconEngine(std::shared_ptr<MenuBarGaugeImageRenderer::SquarePicture> picture)
        : m_picture(std::move(picture))
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(rect.width(), rect.height());
        if (side <= 0)
            return;
        const QRect square(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side, side);
        painter->drawPixmap(square, m_picture->pixmap(side));
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int pixels = std::min(size.width(), size.height());
        if (pixels <= 0)
            return {};
        return m_picture->pixmap(std::max(1, qRound(pixels / m_picture->devicePixelRatio)));
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int side : MenuBarGaugeImageRenderer::squareIconSizes) {
            const int pixels = qRound(side * m_picture->devicePixelRatio);
            sizes.append(QSize(pixels, pixels));
        }
        return sizes;
    }

    QIconEngine* clone() const override { return new SquareIconEngine(m_picture); }
    QString key() const override { return QStringLiteral("VantorelTraySquare"); }
    bool isNull() override { return false; }

private:
    std::shared_ptr<MenuBarGaugeImageRenderer::SquarePicture> m_picture;
};

} // namespace

QIcon MenuBarGaugeImageRenderer::makeSquare(const Input& input)
{
    const auto palette = m_environment.appearance();
    const qreal ratio = devicePixelRatio();
    const auto key = squareCacheKey(palette.name, input);
    if (m_square && m_square->key == key && m_square->devicePixelRatio == ratio)
        return m_squareIcon;

    auto picture = std::make_shared<SquarePicture>();
    picture->key = key;
    picture->devicePixelRatio = ratio;
    picture->palette = palette;
    picture->model = {.disabled = !input.codexEnabled && !input.claudeEnabled,
                      .rings = squareRings(input),
                      .number = squareNumber(input)};
    if (const auto number = picture->model.number) {
        for (std::size_t i = 0; i < squareNumberStretches.size(); ++i) {
            picture->model.numberBounds[i] = metrics(squareNumberFont(squareNumberReferenceSize, squareNumberStretches[i]))
                                                 .tightBoundingRect(QString::number(*number));
        }
    }
    if (picture->model.disabled && m_environment.applicationIcon)
        picture->applicationIcon = m_environment.applicationIcon();
    if (m_square)
        picture->reuse(*m_square);
    m_square = std::move(picture);
    m_squareIcon = QIcon(new SquareIconEngine(m_square));
    return m_squareIcon;
}

void MenuBarGaugeImageRenderer::followAppearance(QObject* context, std::function<void()> changed) const
{
    if (m_environment.onAppearanceChange)
        m_environment.onAppearanceChange(context, std::move(changed));
}

qsizetype MenuBarGaugeImageRenderer::squareBytes() const
{
    qsizetype bytes = 0;
    if (m_square) {
        for (const auto& [side, size] : m_square->drawn)
            bytes += qsizetype(size.pixmap.width()) * size.pixmap.height() * size.pixmap.depth() / 8;
    }
    return bytes;
}

QList<std::optional<double>> MenuBarGaugeImageRenderer::squareRings(const Input& input)
{
    QList<std::optional<double>> rings;
    const auto providers = enabledProviders(input);
    for (const auto& provider : providers) {
        if (input.compact) {
            const auto selected = compactSelection(provider.values);
            rings.append(selected ? knownPercent(selected->remainingPercent) : std::nullopt);
            continue;
        }
        for (const auto& value : provider.values)
            rings.append(knownPercent(value.remainingPercent));
    }
    // A provider with every window switched off still shows that it is there, without a reading.
    if (rings.isEmpty() && !providers.empty())
        rings.append(std::nullopt);
    return rings;
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
    if (!input.codexEnabled && !input.claudeEnabled)
        return appearanceName % u"|square|off";
    QStringList rings;
    for (const auto& percent : squareRings(input))
        rings.append(UsageGaugeStyle::cacheToken(percent));
    const auto centre = squareShowsNumber(input) ? u"number" : u"rings";
    return appearanceName % u"|square|" % centre % u'|' % rings.join(u',');
}

std::optional<int> MenuBarGaugeImageRenderer::squareNumber(const Input& input)
{
    if (!squareShowsNumber(input))
        return std::nullopt;
    std::optional<double> lowest;
    for (const auto& percent : squareRings(input)) {
        if (percent && (!lowest || *percent < *lowest))
            lowest = percent;
    }
    if (!lowest)
        return std::nullopt;
    return UsageGaugeStyle::wholeClampedPercent(*lowest);
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

MenuBarGaugeImageRenderer::ImageCache& MenuBarGaugeImageRenderer::renderedImageCache(qreal devicePixelRatio)
{
    auto& cache = m_renderedImageCaches[devicePixelRatio];
    if (!cache)
        cache = std::make_unique<ImageCache>(renderedImageCacheLimit);
    return *cache;
}

} // namespace vantorel
