#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>

class QAbstractButton;

namespace vantorel {

// Stands in for the tray item when no tray host is there: a small frameless panel on top of
// other windows, without focus or taskbar entry, showing the gauge image at its natural size.
class StatusItemFallbackPanel final : public QWidget {
    Q_OBJECT

public:
    static constexpr int panelHeight = 28;
    static constexpr int minimumPanelWidth = 30;
    static constexpr int leftInset = 6;

    explicit StatusItemFallbackPanel(QWidget* parent = nullptr);

    // Shows `image` with `toolTip` in a panel max(gaugeWidth + 2, 30) × 28 placed by `frameFor`
    // in `availableGeometry`, and brings the panel up without activating it.
    void present(const QImage& image, const QString& toolTip, int gaugeWidth, const QRect& availableGeometry);

    // The panel's frame: the right half of the top strip of the available geometry, 6 in from
    // its left end, vertically centred in the strip.
    static QRect frameFor(int panelWidth, const QRect& availableGeometry);
    static int panelWidthFor(int gaugeWidth);

signals:
    void clicked();

private:
    QAbstractButton* m_button;
};

} // namespace vantorel
