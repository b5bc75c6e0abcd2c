#include "app/ui/DisclosureGroup.h"

#include "app/ui/FocusRing.h"
#include "app/ui/IconProvider.h"
#include "app/ui/SystemColors.h"
#include "app/ui/UiFont.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QPainter>
#include <QVBoxLayout>

namespace vantorel {

namespace {

constexpr int chevronSize = 11;
constexpr int chevronSpacing = 6;
constexpr int contentSpacing = 8;
constexpr int headerFocusPadding = 4;
constexpr qreal headerFocusRadius = 5;

class DisclosureHeader final : public QAbstractButton
{
public:
    DisclosureHeader(const QString& title, QWidget* parent)
        : QAbstractButton(parent)
    {
        setText(title);
        setAccessibleName(title);
        setCheckable(true);
        setFont(UiFont::system(12, QFont::DemiBold));
        setCursor(Qt::PointingHandCursor);
        setProperty(IconProvider::symbolProperty, QStringLiteral("chevron.right"));
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        FocusRing::track(this);
    }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics(font());
        return {chevronSize + chevronSpacing + metrics.horizontalAdvance(text()), std::max(metrics.height(), 20)};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const SystemColors& colors = SystemColors::current();
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        if (!isEnabled())
            painter.setOpacity(0.45);
        const QPixmap chevron = IconProvider::pixmap(QStringLiteral("chevron.right"), chevronSize, colors.secondaryLabel,
                                                     devicePixelRatioF());
        painter.save();
        painter.translate(chevronSize / 2.0, height() / 2.0);
        if (isChecked())
            painter.rotate(90);
        painter.drawPixmap(QPointF(-chevronSize / 2.0, -chevronSize / 2.0), chevron);
        painter.restore();
        painter.setPen(colors.label);
        painter.setFont(font());
        painter.drawText(QRectF(chevronSize + chevronSpacing, 0, width() - chevronSize - chevronSpacing, height()),
                         Qt::AlignLeft | Qt::AlignVCenter, text());
        // The header spans its row; the ring goes round the chevron and the title only.
        if (FocusRing::isShown(this))
            FocusRing::paint(painter, QRectF(0, 0, std::min(width(), sizeHint().width() + headerFocusPadding), height()),
                             headerFocusRadius);
    }
};

} // namespace

DisclosureGroup::DisclosureGroup(const QString& title, QWidget* parent)
    : QWidget(parent)
    , m_header(new DisclosureHeader(title, this))
    , m_layout(new QVBoxLayout(this))
{
    m_header->setObjectName(QStringLiteral("disclosure.header"));
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(contentSpacing);
    m_layout->addWidget(m_header);
    connect(m_header, &QAbstractButton::clicked, this, [this](bool checked) { setExpanded(checked); });
}

void DisclosureGroup::setTitle(const QString& title)
{
    m_header->setText(title);
    m_header->setAccessibleName(title);
    m_header->updateGeometry();
}

void DisclosureGroup::setContent(QWidget* content)
{
    delete m_content;
    m_content = content;
    if (!m_content)
        return;
    m_layout->addWidget(m_content);
    m_content->setVisible(m_expanded);
}

void DisclosureGroup::setExpanded(bool expanded)
{
    m_header->setChecked(expanded);
    if (expanded == m_expanded)
        return;
    m_expanded = expanded;
    if (m_content)
        m_content->setVisible(expanded);
    emit expandedChanged(expanded);
}

} // namespace vantorel
