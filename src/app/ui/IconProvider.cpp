#include "app/ui/IconProvider.h"

#include "core/foundation/AppDiagnostics.h"

#include <QFile>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QSvgRenderer>

#include <cmath>
#include <memory>
#include <utility>

// The resources are compiled into a static library, whose registration code the linker keeps
// only when something refers to it.
static void registerIconResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace vantorel {

namespace {

// Several hundred entries at most: a few dozen symbols, each in a handful of sizes and colours.
constexpr qsizetype maximumCachedPixmaps = 512;

QString resourcePath(const QString& name)
{
    return QStringLiteral(":/icons/") + name + QStringLiteral(".svg");
}

struct Caches {
    QHash<QString, std::shared_ptr<QSvgRenderer>> renderers;
    QHash<QString, QPixmap> pixmaps;
};

Caches& caches()
{
    static Caches instance;
    return instance;
}

QSvgRenderer* renderer(const QString& name)
{
    auto& renderers = caches().renderers;
    registerIconResources();
    auto it = renderers.find(name);
    if (it == renderers.end()) {
        std::shared_ptr<QSvgRenderer> loaded;
        if (QFile::exists(resourcePath(name)))
            loaded = std::make_shared<QSvgRenderer>(resourcePath(name));
        it = renderers.insert(name, loaded && loaded->isValid() ? loaded : nullptr);
    }
    return it->get();
}

void drawPlaceholder(QPainter& painter, int size)
{
    const qreal inset = size * 0.15;
    const QRectF frame(inset, inset, size - 2 * inset, size - 2 * inset);
    QPen pen(Qt::black, std::max(1.0, size / 12.0));
    pen.setStyle(Qt::DashLine);
    painter.setPen(pen);
    painter.drawRoundedRect(frame, size * 0.12, size * 0.12);
}

} // namespace

QPixmap IconProvider::pixmap(const QString& name, int size, const QColor& color, qreal devicePixelRatio)
{
    auto& cache = caches().pixmaps;
    static QSet<QString> reportedMissing;

    size = std::max(size, 1);
    const QString key = name + u'|' + QString::number(size) + u'|' + QString::number(color.rgba(), 16) + u'|'
                        + QString::number(devicePixelRatio);
    if (const auto it = cache.constFind(key); it != cache.constEnd())
        return *it;

    const int pixels = std::max(1, int(std::lround(size * devicePixelRatio)));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        if (auto* svg = renderer(name)) {
            svg->render(&painter, QRectF(0, 0, pixels, pixels));
        } else {
            if (!reportedMissing.contains(name)) {
                reportedMissing.insert(name);
                AppDiagnostics::log(QStringLiteral("icon.missing name=") + name);
            }
            drawPlaceholder(painter, pixels);
        }
        // The drawings are black; keep their coverage and take the asked colour.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), color);
    }
    image.setDevicePixelRatio(devicePixelRatio);

    if (cache.size() >= maximumCachedPixmaps)
        cache.clear();
    const QPixmap result = QPixmap::fromImage(image);
    cache.insert(key, result);
    return result;
}

void IconProvider::releaseCaches()
{
    // Swapped out first: a drawing's destructor never sees a half-cleared cache.
    Caches released;
    std::swap(released, caches());
}

bool IconProvider::hasSymbol(const QString& name)
{
    return renderer(name) != nullptr;
}

int IconProvider::symbolSize(int fontPixelSize)
{
    return int(std::lround(fontPixelSize * 1.15));
}

} // namespace vantorel
