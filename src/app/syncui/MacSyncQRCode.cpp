#include "app/syncui/MacSyncQRCode.h"

#include "app/ui/CaptionLabel.h"
#include "app/ui/SymbolView.h"
#include "app/ui/TextColor.h"

#include <QHBoxLayout>
#include <QPainter>

#include <qrencode.h>

#include <memory>

namespace vantorel {

QImage MacSyncQRCode::image(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty() || bytes.size() > maximumBytes)
        return {};
    // Version 0 lets the encoder pick the smallest symbol; it fails (ERANGE) past version 40.
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(int(bytes.size()), reinterpret_cast<const unsigned char*>(bytes.constData()), 0,
                          QR_ECLEVEL_M),
        &QRcode_free);
    if (!code)
        return {};
    const int modules = code->width;
    const int side = (modules + 2 * marginModules) * pixelsPerModule;
    QImage result(side, side, QImage::Format_Grayscale8);
    result.fill(255);
    for (int y = 0; y < modules; ++y) {
        for (int x = 0; x < modules; ++x) {
            if (!(code->data[y * modules + x] & 1))
                continue;
            const int left = (x + marginModules) * pixelsPerModule;
            const int top = (y + marginModules) * pixelsPerModule;
            for (int row = top; row < top + pixelsPerModule; ++row)
                std::fill_n(result.scanLine(row) + left, pixelsPerModule, uchar(0));
        }
    }
    return result;
}

MacSyncQRCodeView::MacSyncQRCodeView(const QString& connectionString, QWidget* parent)
    : QWidget(parent)
    , m_fallback(new QWidget(this))
{
    setFixedSize(frameSize, frameSize);
    auto* row = new QHBoxLayout(m_fallback);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    row->addWidget(new SymbolView(QStringLiteral("qrcode"), 12, colors::label, m_fallback));
    auto* text = new CaptionLabel(QStringLiteral("QRコードを表示できません"), m_fallback);
    text->setObjectName(QStringLiteral("qrFallback"));
    text->setWordWrap(false);
    setTextColor(text, colors::label);
    row->addWidget(text);
    setConnectionString(connectionString);
}

void MacSyncQRCodeView::setConnectionString(const QString& connectionString)
{
    if (!m_image.isNull() && connectionString == m_connectionString)
        return;
    m_connectionString = connectionString;
    m_image = MacSyncQRCode::image(connectionString);
    const bool shown = !m_image.isNull();
    setAccessibleName(shown ? accessibleLabel() : QString());
    m_fallback->setVisible(!shown);
    if (!shown) {
        m_fallback->adjustSize();
        m_fallback->move((width() - m_fallback->width()) / 2, (height() - m_fallback->height()) / 2);
    }
    update();
}

void MacSyncQRCodeView::paintEvent(QPaintEvent*)
{
    if (m_image.isNull())
        return;
    // Whole device pixels per module where possible, so every module keeps the same size.
    const qreal ratio = devicePixelRatioF();
    const qreal fit = qMin(width(), height()) * ratio / m_image.width();
    const qreal scale = fit >= 1 ? std::floor(fit) : fit;
    const qreal side = m_image.width() * scale / ratio;
    const QRectF target((width() - side) / 2, (height() - side) / 2, side, side);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, m_image);
}

} // namespace vantorel
