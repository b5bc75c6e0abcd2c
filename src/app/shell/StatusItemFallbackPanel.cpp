#include "app/shell/StatusItemFallbackPanel.h"

#include <QAbstractButton>
#include <QPainter>

#include <algorithm>

namespace vantorel {

namespace {

// A borderless button that draws its image centred at its natural size, never scaled.
class ImageButton final : public QAbstractButton {
public:
    using QAbstractButton::QAbstractButton;

    void setImage(const QImage& image)
    {
        m_image = image;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (m_image.isNull())
            return;
        const QSizeF size = m_image.deviceIndependentSize();
        const QPointF origin((width() - size.width()) / 2, (height() - size.height()) / 2);
        QPainter painter(this);
        painter.drawImage(QRectF(origin, size), m_image);
    }

private:
    QImage m_image;
};

} // namespace

StatusItemFallbackPanel::StatusItemFallbackPanel(QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("statusItemFallbackPanel"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Filled with the window colour: no menu bar need be behind it, and without a compositing
    // manager a translucent window shows black.
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
    auto* button = new ImageButton(this);
    button->setObjectName(QStringLiteral("statusItemFallbackButton"));
    button->setAccessibleName(QStringLiteral("Vantorel"));
    button->setFocusPolicy(Qt::NoFocus);
    m_button = button;
    connect(m_button, &QAbstractButton::clicked, this, &StatusItemFallbackPanel::clicked);
}

void StatusItemFallbackPanel::present(const QImage& image, const QString& toolTip, int gaugeWidth,
                                      const QRect& availableGeometry)
{
    const int width = panelWidthFor(gaugeWidth);
    static_cast<ImageButton*>(m_button)->setImage(image);
    m_button->setToolTip(toolTip);
    m_button->setGeometry(0, 0, width, panelHeight);
    if (!availableGeometry.isEmpty())
        setGeometry(frameFor(width, availableGeometry));
    else
        resize(width, panelHeight);
    show();
    raise();
}

QRect StatusItemFallbackPanel::frameFor(int panelWidth, const QRect& availableGeometry)
{
    const QRect area(availableGeometry.left() + availableGeometry.width() / 2, availableGeometry.top(),
                     availableGeometry.width() / 2, panelHeight);
    const int top = area.top() + std::max(0, (area.height() - panelHeight) / 2);
    return {area.left() + leftInset, top, panelWidth, panelHeight};
}

int StatusItemFallbackPanel::panelWidthFor(int gaugeWidth)
{
    return std::max(gaugeWidth + 2, minimumPanelWidth);
}

} // namespace vantorel
