#include "app/ui/MenuBarGaugePanelPicture.h"

#include "core/model/MenuBarGaugeLabelFormatter.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <algorithm>
#include <vector>

namespace vantorel {

namespace gaugepanel {

using Values = QList<MenuBarGaugeValue>;
using BrandImages = MenuBarGaugePanelPicture::BrandImages;
constexpr auto* knownPercent = &MenuBarGaugeDrawing::knownPercent;
constexpr auto* metrics = &MenuBarGaugeDrawing::metrics;
constexpr auto* withOpacity = &MenuBarGaugeDrawing::withOpacity;

constexpr int compactIconCellWidth = 52;
constexpr int compactTextCellWidth = 64;
constexpr int compactGap = 1;
constexpr int detailedIconIdentityWidth = 29;
constexpr int detailedTextIdentityWidth = 39;
constexpr int detailedRingStep = 27;
constexpr int percentageTextGap = 4;
constexpr int detailedGap = 4;

// Sizes and positions are written with the origin at the bottom-left and y growing upwards;
// this is the one place where such a rectangle becomes image coordinates.
QRectF box(qreal left, qreal bottom, qreal width, qreal height)
{
    return {left, MenuBarGaugePanelPicture::imageHeight - bottom - height, width, height};
}

QFont sansFont(qreal pointSize, QFont::Weight weight)
{
    static const QStringList families{QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
                                      QStringLiteral("DejaVu Sans")};
    return MenuBarGaugeDrawing::makeFont(families, QFont::SansSerif, pointSize, weight);
}

struct Fonts {
    QFont percentage = MenuBarGaugeDrawing::numberFont(17);
    QFont ringTitle = MenuBarGaugeDrawing::numberFont(8.2, QFont::ExtraBold);
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

QString ringTitle(MenuBarUsageWindow window)
{
    return window == MenuBarUsageWindow::weekly ? QStringLiteral("1W") : QStringLiteral("5h");
}

QString displayName(const QString& iconName)
{
    return iconName == MenuBarGaugeInput::codexIconName ? QStringLiteral("Codex") : QStringLiteral("Claude");
}

int compactCellWidth(MenuBarProviderIdentityStyle style)
{
    return style == MenuBarProviderIdentityStyle::text ? compactTextCellWidth : compactIconCellWidth;
}

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
        drawLeftAlignedText(status, box(x + 28, 0, 36, 12), fonts().statusWord, m_palette.secondaryText);
    }

    void drawProvider(const QString& iconName, qreal x, const Values& values, MenuBarGaugeLabelStyle labelStyle,
                      MenuBarProviderIdentityStyle identityStyle)
    {
        const int width = MenuBarGaugePanelPicture::detailedProviderWidth(values, labelStyle, identityStyle);
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
            drawLeftAlignedText(status, box(x + 4, 0, 30, 12), fonts().statusWord, m_palette.secondaryText);
        }

        qreal ringLeft = x + identityWidth - 2;
        for (const auto& value : values) {
            drawRing(ringTitle(value.window), value.remainingPercent, box(ringLeft, 1.5, 23, 23));
            ringLeft += detailedRingStep;
            if (labelStyle == MenuBarGaugeLabelStyle::remainingPercent) {
                const auto text = MenuBarGaugeLabelFormatter::adjacentPercentageText(value);
                const int textWidth = MenuBarGaugePanelPicture::percentageTextWidth(text);
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
        const auto letters = iconName == MenuBarGaugeInput::claudeIconName ? QStringLiteral("Cl")
                                                                                    : QStringLiteral("C");
        m_painter.setFont(fonts().fallbackLetters);
        m_painter.setPen(m_palette.secondaryText);
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
        m_painter.setPen(QPen(MenuBarGaugeDrawing::color(known, m_palette), style.arcWidth, Qt::SolidLine,
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

} // namespace gaugepanel


MenuBarGaugePanelPicture::Key MenuBarGaugePanelPicture::key(const QString& appearanceName,
                                                            const MenuBarGaugeInput& input)
{
    const auto identity = [](bool enabled, MenuBarProviderIdentityStyle style) {
        return enabled ? std::optional(style) : std::nullopt;
    };
    return {
        .appearanceName = appearanceName,
        .compact = input.compact,
        .labelStyle = input.labelStyle,
        .codexIdentity = identity(input.codexEnabled, input.codexIdentityStyle),
        .claudeIdentity = identity(input.claudeEnabled, input.claudeIdentityStyle),
        .codexValues = valueKeys(input.codexValues),
        .claudeValues = valueKeys(input.claudeValues),
    };
}

QList<MenuBarGaugePanelPicture::ValueKey> MenuBarGaugePanelPicture::valueKeys(const QList<MenuBarGaugeValue>& values)
{
    QList<ValueKey> keys;
    keys.reserve(values.size());
    for (const auto& value : values)
        keys.append({.window = value.window, .percent = MenuBarGaugeDrawing::PercentKey::of(value.remainingPercent)});
    return keys;
}

size_t qHash(const MenuBarGaugePanelPicture::Key& key, size_t seed) noexcept
{
    const auto identity = [](std::optional<MenuBarProviderIdentityStyle> style) {
        return style ? int(*style) + 1 : 0;
    };
    return qHashMulti(seed, key.appearanceName, key.compact, int(key.labelStyle), identity(key.codexIdentity),
                      identity(key.claudeIdentity), key.codexValues, key.claudeValues);
}

QImage MenuBarGaugePanelPicture::draw(const MenuBarGaugeInput& input, const MenuBarPalette& palette,
                                      qreal devicePixelRatio, const BrandImages& brandImages,
                                      const QImage& applicationIcon)
{
    auto image = MenuBarGaugeDrawing::makeCanvas(
        QSize(qCeil(width(input) * devicePixelRatio), qCeil(imageHeight * devicePixelRatio)), devicePixelRatio);
    const auto providers = input.enabledProviders();
    MenuBarGaugeDrawing::drawSerially([&] {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        gaugepanel::GaugePainter gauge(painter, palette, brandImages);
        if (providers.empty())
            gauge.drawDisabledIndicator(applicationIcon);
        qreal x = 0;
        for (const auto& provider : providers) {
            if (input.compact) {
                gauge.drawCompactProvider(provider.iconName, x, compactSelection(provider.values), provider.identityStyle);
                x += gaugepanel::compactCellWidth(provider.identityStyle) + gaugepanel::compactGap;
            } else {
                gauge.drawProvider(provider.iconName, x, provider.values, input.labelStyle, provider.identityStyle);
                x += detailedProviderWidth(provider.values, input.labelStyle, provider.identityStyle) + gaugepanel::detailedGap;
            }
        }
    });
    return image;
}

int MenuBarGaugePanelPicture::width(const MenuBarGaugeInput& input)
{
    const auto providers = input.enabledProviders();
    if (providers.empty())
        return disabledWidth;
    int width = 0;
    for (const auto& provider : providers) {
        width += input.compact ? gaugepanel::compactCellWidth(provider.identityStyle)
                               : detailedProviderWidth(provider.values, input.labelStyle, provider.identityStyle);
    }
    const int gaps = int(providers.size()) - 1;
    return width + gaps * (input.compact ? gaugepanel::compactGap : gaugepanel::detailedGap);
}

int MenuBarGaugePanelPicture::detailedProviderWidth(const QList<MenuBarGaugeValue>& values, MenuBarGaugeLabelStyle labelStyle,
                                                    MenuBarProviderIdentityStyle identityStyle)
{
    int width = identityStyle == MenuBarProviderIdentityStyle::text ? gaugepanel::detailedTextIdentityWidth
                                                                    : gaugepanel::detailedIconIdentityWidth;
    for (const auto& value : values) {
        width += gaugepanel::detailedRingStep;
        if (labelStyle == MenuBarGaugeLabelStyle::remainingPercent)
            width += gaugepanel::percentageTextGap
                + percentageTextWidth(MenuBarGaugeLabelFormatter::adjacentPercentageText(value));
    }
    return width;
}

int MenuBarGaugePanelPicture::percentageTextWidth(const QString& text)
{
    return qCeil(gaugepanel::metrics(gaugepanel::fonts().percentage).horizontalAdvance(text));
}

std::optional<MenuBarGaugeValue> MenuBarGaugePanelPicture::compactSelection(const QList<MenuBarGaugeValue>& values)
{
    const auto unknown = std::find_if(values.cbegin(), values.cend(),
                                      [](const auto& value) { return !MenuBarGaugeDrawing::knownPercent(value.remainingPercent); });
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

} // namespace vantorel
