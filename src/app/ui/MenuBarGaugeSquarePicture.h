#pragma once

#include "app/ui/MenuBarGaugeDrawing.h"
#include "app/ui/MenuBarGaugeInput.h"
#include "app/ui/MenuBarPalette.h"

#include <QIcon>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QRectF>
#include <QString>

#include <array>
#include <map>
#include <memory>
#include <optional>

namespace vantorel {

// One square tray picture: what it shows, and the sizes drawn of it so far. Each size is drawn
// on first request; see `MenuBarGaugeImageRenderer::makeSquare` for what the picture shows.
class MenuBarGaugeSquarePicture {
public:
    // Names everything the picture shows in one appearance: two inputs with equal keys are drawn
    // alike. Every field takes part in `operator==` and `qHash`.
    struct Key {
        QString appearanceName;
        // The centre may hold a number; false while no provider is on.
        bool number = false;
        // The rings' readings, outermost first; empty while no provider is on.
        QList<MenuBarGaugeDrawing::PercentKey> rings;

        bool operator==(const Key&) const = default;
    };

    // One ring of one size as it is drawn.
    struct RingKey {
        bool reading = false;
        // The arc's length in the steps the size can show, and its colour; 0 without a reading.
        int step = 0;
        QRgb arcColor = 0;

        bool operator==(const RingKey&) const = default;
    };

    // Names exactly what one size shows: two sizes with equal keys look the same. Every field
    // takes part in `operator==` and `qHash`.
    struct SizeKey {
        QString appearanceName;
        qreal devicePixelRatio = 1;
        int side = 0;
        bool disabled = false;
        QList<RingKey> rings;
        // A dash in the centre: no ring has a reading.
        bool dash = false;
        // The number drawn in the centre, empty for none.
        QString centreText;

        bool operator==(const SizeKey&) const = default;
    };

    static Key key(const QString& appearanceName, const MenuBarGaugeInput& input);
    // See `MenuBarGaugeImageRenderer::squareRings` and `squareNumber`.
    static QList<std::optional<double>> rings(const MenuBarGaugeInput& input);
    static std::optional<int> number(const MenuBarGaugeInput& input);

    // `applicationIcon` is drawn only when no provider is on.
    MenuBarGaugeSquarePicture(const QString& appearanceName, const MenuBarGaugeInput& input, qreal devicePixelRatio,
                              MenuBarPalette palette, QImage applicationIcon);

    const Key& key() const { return m_key; }
    qreal devicePixelRatio() const { return m_devicePixelRatio; }
    // The picture at `side` logical pixels, drawn on first request.
    QPixmap pixmap(int side);
    // Takes the sizes of `previous` that look the same in this picture.
    void reuse(const MenuBarGaugeSquarePicture& previous);
    // Bytes of the sizes drawn so far.
    qsizetype bytes() const;
    // The icon of `picture`, offering every size of `MenuBarGaugeImageRenderer::squareIconSizes`
    // and drawing only those the tray asks for.
    static QIcon icon(std::shared_ptr<MenuBarGaugeSquarePicture> picture);

    // What every size shows.
    struct Model {
        bool disabled = false;
        QList<std::optional<double>> rings;
        std::optional<int> number;
        // The number's tight bounds at the reference size, per stretch the number may take.
        std::array<QRectF, 2> numberBounds;
    };

private:
    struct Drawn {
        SizeKey key;
        QPixmap pixmap;
    };

    Key m_key;
    qreal m_devicePixelRatio = 1;
    MenuBarPalette m_palette;
    QImage m_applicationIcon;
    Model m_model;
    // By side in logical pixels.
    std::map<int, Drawn> m_drawn;
};

inline size_t qHash(const MenuBarGaugeSquarePicture::RingKey& key, size_t seed = 0) noexcept
{
    return qHashMulti(seed, key.reading, key.step, key.arcColor);
}

size_t qHash(const MenuBarGaugeSquarePicture::Key& key, size_t seed = 0) noexcept;
size_t qHash(const MenuBarGaugeSquarePicture::SizeKey& key, size_t seed = 0) noexcept;

} // namespace vantorel
