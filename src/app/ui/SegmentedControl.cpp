#include "app/ui/SegmentedControl.h"

#include "app/ui/FocusRing.h"
#include "app/ui/SystemColors.h"
#include "app/ui/UiFont.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace vantorel {

namespace {

constexpr int controlHeight = 22;
constexpr int trackInset = 2;
constexpr int segmentPadding = 10;
constexpr qreal segmentCornerRadius = 5;

class Segment final : public QAbstractButton
{
public:
    Segment(const QString& title, QWidget* parent)
        : QAbstractButton(parent)
    {
        setText(title);
        setAccessibleName(title);
        setCheckable(true);
        setFont(UiFont::system(11, QFont::Medium));
        setCursor(Qt::PointingHandCursor);
        FocusRing::track(this);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const SystemColors& colors = SystemColors::current();
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (!isEnabled())
            painter.setOpacity(0.45);
        // On the dark track a grey segment stood out by about 1.5 : 1; an accent fill makes the
        // choice plain there, with a white title.
        const bool dark = colors.name == QLatin1String("dark");
        const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        if (isChecked()) {
            QPainterPath path;
            path.addRoundedRect(r, segmentCornerRadius, segmentCornerRadius);
            painter.fillPath(path.translated(0, 0.5), QColor(0, 0, 0, 30));
            painter.fillPath(path, dark ? colors.accentTextFill : QColor(Qt::white));
        }
        if (FocusRing::isShown(this))
            FocusRing::paint(painter, r, segmentCornerRadius);
        painter.setPen(isChecked() && dark ? QColor(Qt::white) : colors.label);
        painter.setFont(font());
        painter.drawText(rect(), Qt::AlignCenter,
                         QFontMetrics(font()).elidedText(text(), Qt::ElideRight, width() - 4));
    }
};

} // namespace

SegmentedControl::SegmentedControl(const QStringList& titles, QWidget* parent)
    : QWidget(parent)
    , m_titles(titles)
    , m_group(new QButtonGroup(this))
{
    m_group->setExclusive(true);
    for (int i = 0; i < titles.size(); ++i) {
        auto* segment = new Segment(titles[i], this);
        segment->setObjectName(QStringLiteral("segment.") + QString::number(i));
        m_group->addButton(segment, i);
    }
    connect(m_group, &QButtonGroup::idClicked, this, [this](int index) {
        setCurrentIndex(index);
        emit activated(index);
    });
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFixedHeight(controlHeight);
    setCurrentIndex(titles.isEmpty() ? -1 : 0);
}

void SegmentedControl::setCurrentIndex(int index)
{
    if (index < -1 || index >= count())
        return;
    if (auto* button = m_group->button(index))
        button->setChecked(true);
    if (index == m_current)
        return;
    m_current = index;
    update();
    emit currentIndexChanged(index);
}

QSize SegmentedControl::sizeHint() const
{
    const QFontMetrics metrics(UiFont::system(11, QFont::Medium));
    int widest = 0;
    for (const auto& title : m_titles)
        widest = std::max(widest, metrics.horizontalAdvance(title));
    return {2 * trackInset + count() * (widest + 2 * segmentPadding), controlHeight};
}

void SegmentedControl::resizeEvent(QResizeEvent*)
{
    layoutSegments();
}

void SegmentedControl::layoutSegments()
{
    if (count() == 0)
        return;
    const qreal segmentWidth = (width() - 2.0 * trackInset) / count();
    for (int i = 0; i < count(); ++i) {
        const int left = trackInset + int(i * segmentWidth);
        const int right = trackInset + int((i + 1) * segmentWidth);
        m_group->button(i)->setGeometry(left, trackInset, right - left, height() - 2 * trackInset);
    }
}

void SegmentedControl::paintEvent(QPaintEvent*)
{
    const SystemColors& colors = SystemColors::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.45);
    QPainterPath track;
    track.addRoundedRect(QRectF(rect()), 7, 7);
    // Dark, the track sinks below the window so that the accent segment on it reads at over 3 : 1.
    painter.fillPath(track, colors.name == QLatin1String("dark") ? QColor(0, 0, 0, 102) : QColor(0, 0, 0, 16));
    // Thin dividers between unselected neighbours.
    painter.setPen(QPen(colors.separator, 1));
    const qreal segmentWidth = (width() - 2.0 * trackInset) / std::max(1, count());
    for (int i = 1; i < count(); ++i) {
        if (i == m_current || i - 1 == m_current)
            continue;
        const qreal x = trackInset + i * segmentWidth;
        painter.drawLine(QPointF(x, 6), QPointF(x, height() - 6));
    }
}

} // namespace vantorel
