#include "app/ui/MenuBarGaugeSquarePicture.h"

#include "app/ui/MenuBarGaugeImageRenderer.h"
#include "app/ui/MenuBarGaugePanelPicture.h"
#include "core/model/UsageGaugeStyle.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vantorel {

namespace gaugesquare {

constexpr auto* withOpacity = &MenuBarGaugeDrawing::withOpacity;

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
    MenuBarGaugeSquarePicture::SizeKey key;
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
constexpr std::array<int, 2> squareNumberStretches{MenuBarGaugeDrawing::monospacedStretch, 70};
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
bool squareShowsNumber(const MenuBarGaugeInput& input)
{
    return input.compact || input.labelStyle == MenuBarGaugeLabelStyle::remainingPercent;
}

QFont squareNumberFont(qreal pointSize, int stretch)
{
    auto font = MenuBarGaugeDrawing::numberFont(pointSize);
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
SquareSize layoutSquare(int side, qreal ratio, const MenuBarPalette& palette, const MenuBarGaugeSquarePicture::Model& model)
{
    SquareSize size;
    size.side = side;
    size.disabled = model.disabled;
    size.key = {.appearanceName = palette.name, .devicePixelRatio = ratio, .side = side, .disabled = model.disabled};
    if (model.disabled)
        return size;
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
            ring.arcColor = MenuBarGaugeDrawing::color(percent, palette);
            size.key.rings.append({.reading = true, .step = step, .arcColor = ring.arcColor.rgba()});
        } else {
            size.key.rings.append(MenuBarGaugeSquarePicture::RingKey{});
        }
        size.rings.push_back(ring);
        edge -= width + side * gapShare;
    }
    const qreal freeDiameter = 2 * (edge + side * gapShare);

    const bool anyReading = std::any_of(model.rings.cbegin(), model.rings.cend(), [](const auto& p) { return bool(p); });
    if (!anyReading) {
        size.dash = true;
        size.key.dash = true;
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
    size.key.centreText = size.centreText;
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
    auto image = MenuBarGaugeDrawing::makeCanvas(QSize(qCeil(size.side * ratio), qCeil(size.side * ratio)), ratio);
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

// The icon of one square picture. Qt asks it for one size when it paints an XEmbed item and for
// every offered size when a StatusNotifierItem host fetches the pixmaps: only those are drawn.
// Sizes Qt passes here are in device pixels.
class SquareIconEngine final : public QIconEngine {
public:
    explicit SquareIconEngine(std::shared_ptr<MenuBarGaugeSquarePicture> picture)
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
        return m_picture->pixmap(std::max(1, qRound(pixels / m_picture->devicePixelRatio())));
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int side : MenuBarGaugeImageRenderer::squareIconSizes) {
            const int pixels = qRound(side * m_picture->devicePixelRatio());
            sizes.append(QSize(pixels, pixels));
        }
        return sizes;
    }

    QIconEngine* clone() const override { return new SquareIconEngine(m_picture); }
    QString key() const override { return QStringLiteral("VantorelTraySquare"); }
    bool isNull() override { return false; }

private:
    std::shared_ptr<MenuBarGaugeSquarePicture> m_picture;
};

} // namespace gaugesquare

MenuBarGaugeSquarePicture::Key MenuBarGaugeSquarePicture::key(const QString& appearanceName,
                                                              const MenuBarGaugeInput& input)
{
    Key key{.appearanceName = appearanceName};
    if (!input.codexEnabled && !input.claudeEnabled)
        return key;
    key.number = gaugesquare::squareShowsNumber(input);
    for (const auto& percent : rings(input))
        key.rings.append(MenuBarGaugeDrawing::PercentKey::of(percent));
    return key;
}

size_t qHash(const MenuBarGaugeSquarePicture::Key& key, size_t seed) noexcept
{
    return qHashMulti(seed, key.appearanceName, key.number, key.rings);
}

size_t qHash(const MenuBarGaugeSquarePicture::SizeKey& key, size_t seed) noexcept
{
    return qHashMulti(seed, key.appearanceName, key.devicePixelRatio, key.side, key.disabled, key.rings, key.dash,
                      key.centreText);
}

QList<std::optional<double>> MenuBarGaugeSquarePicture::rings(const MenuBarGaugeInput& input)
{
    QList<std::optional<double>> rings;
    const auto providers = input.enabledProviders();
    for (const auto& provider : providers) {
        if (input.compact) {
            const auto selected = MenuBarGaugePanelPicture::compactSelection(provider.values);
            rings.append(selected ? MenuBarGaugeDrawing::knownPercent(selected->remainingPercent) : std::nullopt);
            continue;
        }
        for (const auto& value : provider.values)
            rings.append(MenuBarGaugeDrawing::knownPercent(value.remainingPercent));
    }
    // A provider with every window switched off still shows that it is there, without a reading.
    if (rings.isEmpty() && !providers.empty())
        rings.append(std::nullopt);
    return rings;
}

std::optional<int> MenuBarGaugeSquarePicture::number(const MenuBarGaugeInput& input)
{
    if (!gaugesquare::squareShowsNumber(input))
        return std::nullopt;
    std::optional<double> lowest;
    for (const auto& percent : rings(input)) {
        if (percent && (!lowest || *percent < *lowest))
            lowest = percent;
    }
    if (!lowest)
        return std::nullopt;
    return UsageGaugeStyle::wholeClampedPercent(*lowest);
}

MenuBarGaugeSquarePicture::MenuBarGaugeSquarePicture(const QString& appearanceName, const MenuBarGaugeInput& input,
                                                     qreal devicePixelRatio, MenuBarPalette palette,
                                                     QImage applicationIcon)
    : m_key(key(appearanceName, input))
    , m_devicePixelRatio(devicePixelRatio)
    , m_palette(std::move(palette))
    , m_model{.disabled = !input.codexEnabled && !input.claudeEnabled, .rings = rings(input), .number = number(input)}
{
    if (m_model.disabled)
        m_applicationIcon = std::move(applicationIcon);
    if (const auto shown = m_model.number) {
        for (std::size_t i = 0; i < gaugesquare::squareNumberStretches.size(); ++i) {
            m_model.numberBounds[i] =
                MenuBarGaugeDrawing::metrics(gaugesquare::squareNumberFont(gaugesquare::squareNumberReferenceSize,
                                                                           gaugesquare::squareNumberStretches[i]))
                    .tightBoundingRect(QString::number(*shown));
        }
    }
}

QPixmap MenuBarGaugeSquarePicture::pixmap(int side)
{
    const auto found = m_drawn.find(side);
    if (found != m_drawn.end())
        return found->second.pixmap;
    const auto size = gaugesquare::layoutSquare(side, m_devicePixelRatio, m_palette, m_model);
    QImage image;
    MenuBarGaugeDrawing::drawSerially(
        [&] { image = gaugesquare::drawSquareSize(size, m_palette, m_devicePixelRatio, m_applicationIcon); });
    auto pixmap = QPixmap::fromImage(std::move(image));
    m_drawn.emplace(side, Drawn{size.key, pixmap});
    return pixmap;
}

void MenuBarGaugeSquarePicture::reuse(const MenuBarGaugeSquarePicture& previous)
{
    if (previous.m_devicePixelRatio != m_devicePixelRatio)
        return;
    for (const auto& [side, size] : previous.m_drawn) {
        if (gaugesquare::layoutSquare(side, m_devicePixelRatio, m_palette, m_model).key == size.key)
            m_drawn.emplace(side, size);
    }
}

qsizetype MenuBarGaugeSquarePicture::bytes() const
{
    qsizetype bytes = 0;
    for (const auto& [side, size] : m_drawn)
        bytes += qsizetype(size.pixmap.width()) * size.pixmap.height() * size.pixmap.depth() / 8;
    return bytes;
}

QIcon MenuBarGaugeSquarePicture::icon(std::shared_ptr<MenuBarGaugeSquarePicture> picture)
{
    return QIcon(new gaugesquare::SquareIconEngine(std::move(picture)));
}

} // namespace vantorel
