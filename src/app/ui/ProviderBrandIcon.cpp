#include "app/ui/ProviderBrandIcon.h"

#include "app/ui/MenuBarGaugeImageRenderer.h"
#include "app/ui/IconProvider.h"
#include "app/ui/SystemColors.h"

#include <QHash>
#include <QPainter>

namespace vantorel {

QImage ProviderBrandAssets::image(const QString& providerName)
{
    static const QHash<QString, QImage> images = [] {
        QHash<QString, QImage> table;
        const std::pair<QString, QString> sources[] = {{QStringLiteral("Codex"), QStringLiteral("codex-menu")},
                                                       {QStringLiteral("Claude"), QStringLiteral("claude-menu")}};
        for (const auto& [name, resource] : sources) {
            const QImage loaded = MenuBarGaugeImageRenderer::bundledBrandIcon(resource);
            if (!loaded.isNull())
                table.insert(name, loaded);
        }
        return table;
    }();
    return images.value(providerName);
}

ProviderBrandIcon::ProviderBrandIcon(const QString& providerName, int size, QWidget* parent)
    : QWidget(parent)
    , m_providerName(providerName)
{
    setFixedSize(size, size);
    setProperty(IconProvider::symbolProperty, fallbackSymbol());
}

QString ProviderBrandIcon::fallbackSymbol() const
{
    if (!ProviderBrandAssets::image(m_providerName).isNull())
        return QString();
    return m_providerName == u"Claude" ? QStringLiteral("text.bubble") : QStringLiteral("sparkles");
}

void ProviderBrandIcon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QImage image = ProviderBrandAssets::image(m_providerName);
    if (image.isNull()) {
        const int side = std::min(width(), height());
        painter.drawPixmap(rect().center() - QPoint(side / 2, side / 2) + QPoint(1, 1),
                           IconProvider::pixmap(fallbackSymbol(), side, SystemColors::current().secondaryLabel,
                                                devicePixelRatioF()));
        return;
    }
    const QSize fitted = image.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
    painter.drawImage(target, image);
}

} // namespace vantorel
