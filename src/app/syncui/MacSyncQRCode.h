#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

class QLabel;

namespace vantorel {

// The pairing invitation as a QR code: the UTF-8 bytes in byte mode at error correction level M,
// on a white margin of four modules, each module 4 x 4 pixels.
struct MacSyncQRCode
{
    static constexpr qsizetype maximumBytes = 4096;
    static constexpr int marginModules = 4;
    static constexpr int pixelsPerModule = 4;

    // Null for an empty string, one over the byte limit, or one too long for a single symbol.
    static QImage image(const QString& text);
};

// Shows the code of a connection string in a fixed 256 x 256 frame, scaled without smoothing so
// the modules stay sharp, or a fallback line when there is no code. Renders once per string.
class MacSyncQRCodeView : public QWidget
{
    Q_OBJECT

public:
    explicit MacSyncQRCodeView(const QString& connectionString = QString(), QWidget* parent = nullptr);

    void setConnectionString(const QString& connectionString);
    const QImage& image() const { return m_image; }

    static constexpr int frameSize = 256;
    static QString accessibleLabel() { return QStringLiteral("iPhone連携用QRコード"); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_connectionString;
    QImage m_image;
    QWidget* m_fallback;
};

} // namespace vantorel
