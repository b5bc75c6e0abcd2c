#include "app/ui/TransientBanner.h"

#include "app/ui/LineLimitedLabel.h"
#include "app/ui/SymbolView.h"
#include "app/ui/SystemColors.h"
#include "app/ui/TextColor.h"
#include "app/ui/UiFont.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace vantorel {

TransientBanner::TransientBanner(QWidget* parent)
    : QWidget(parent)
    , m_symbol(new SymbolView(QStringLiteral("exclamationmark.triangle"), 13,
                              [](const SystemColors& c) { return c.systemOrange; }, this))
    , m_text(new LineLimitedLabel(LineLimitedLabel::unlimited, QString(), this))
{
    setObjectName(QStringLiteral("transientBanner"));
    m_text->setObjectName(QStringLiteral("banner.text"));
    m_text->setFont(UiFont::callout());
    setTextColor(m_text, colors::label);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(symbolSpacing);
    layout->addWidget(m_symbol, 0, Qt::AlignTop);
    layout->addWidget(m_text, 1);
    // Follows the parent's size; it is no member of the parent's layout.
    parent->installEventFilter(this);
    hide();
}

void TransientBanner::setMessage(const std::optional<QString>& message)
{
    if (!message) {
        hide();
        return;
    }
    m_text->setText(*message);
    place();
    raise();
    show();
}

QString TransientBanner::text() const
{
    return isVisibleTo(parentWidget()) ? m_text->text() : QString();
}

bool TransientBanner::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisibleTo(parentWidget()))
        place();
    return QWidget::eventFilter(watched, event);
}

void TransientBanner::paintEvent(QPaintEvent*)
{
    const SystemColors& colors = SystemColors::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    painter.fillPath(path, colors.controlBackground);
    painter.setPen(colors.separator);
    painter.drawPath(path);
}

void TransientBanner::place()
{
    const QWidget* host = parentWidget();
    const int width = host->width() - 2 * margin;
    const int forWidth = heightForWidth(width);
    const int height = forWidth > 0 ? forWidth : sizeHint().height();
    setGeometry(margin, host->height() - margin - height, width, height);
}

} // namespace vantorel
