#include "app/ui/ToggleSwitch.h"

#include "app/ui/FocusRing.h"
#include "app/ui/SystemColors.h"
#include "app/ui/UiFont.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace vantorel {

namespace {

constexpr int titleSpacing = 8;
constexpr qreal disabledOpacity = 0.45;

} // namespace

ToggleSwitch::ToggleSwitch(const QString& title, QWidget* parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    setText(title);
    if (!title.isEmpty())
        setAccessibleName(title);
    setFont(UiFont::callout());
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    FocusRing::track(this);
    setSizePolicy(title.isEmpty() ? QSizePolicy::Fixed : QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize ToggleSwitch::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int textWidth = text().isEmpty() ? 0 : metrics.horizontalAdvance(text()) + titleSpacing;
    return {textWidth + trackWidth + 2, std::max(trackHeight + 2, metrics.height())};
}

QSize ToggleSwitch::minimumSizeHint() const
{
    return {trackWidth + 2, sizeHint().height()};
}

QRectF ToggleSwitch::trackRect() const
{
    return {width() - trackWidth - 1.0, (height() - trackHeight) / 2.0, qreal(trackWidth), qreal(trackHeight)};
}

void ToggleSwitch::paintEvent(QPaintEvent*)
{
    const SystemColors& colors = SystemColors::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool enabled = isEnabled();

    if (!text().isEmpty()) {
        painter.setPen(enabled ? colors.label : colors.tertiaryLabel);
        painter.setFont(font());
        const QRectF textRect(0, 0, trackRect().left() - titleSpacing, height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetrics(font()).elidedText(text(), Qt::ElideRight, int(textRect.width())));
    }

    // A disabled switch dims its knob and an "on" fill, never the "off" track: that track is
    // already faint, and dimmed further it vanished against the dark background.
    const QRectF track = trackRect();
    QPainterPath trackPath;
    trackPath.addRoundedRect(track, track.height() / 2, track.height() / 2);
    const QColor off = colors.name == QLatin1String("dark") ? QColor(255, 255, 255, 56) : QColor(0, 0, 0, 38);
    painter.fillPath(trackPath, isChecked() ? SystemColors::withOpacity(colors.accent, enabled ? 1 : disabledOpacity)
                                            : off);
    if (FocusRing::isShown(this))
        FocusRing::paint(painter, track, track.height() / 2);
    if (!enabled)
        painter.setOpacity(disabledOpacity);

    const qreal knob = track.height() - 3;
    const qreal x = isChecked() ? track.right() - 1.5 - knob : track.left() + 1.5;
    const QRectF knobRect(x, track.top() + 1.5, knob, knob);
    painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
    painter.setBrush(isDown() ? QColor(235, 235, 235) : QColor(Qt::white));
    painter.drawEllipse(knobRect);
}

} // namespace vantorel
