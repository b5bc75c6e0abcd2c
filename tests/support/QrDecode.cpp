#include "support/QrDecode.h"

#include <zbar.h>

using namespace zbar;

namespace vantorel::test {

std::optional<QByteArray> decodeQr(const QImage& image)
{
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    QByteArray pixels;
    pixels.reserve(gray.width() * gray.height());
    for (int y = 0; y < gray.height(); ++y)
        pixels.append(reinterpret_cast<const char*>(gray.constScanLine(y)), gray.width());

    zbar_image_scanner_t* scanner = zbar_image_scanner_create();
    zbar_image_scanner_set_config(scanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
    zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_ENABLE, 1);
    zbar_image_scanner_set_config(scanner, ZBAR_QRCODE, ZBAR_CFG_BINARY, 1);
    zbar_image_t* zimage = zbar_image_create();
    zbar_image_set_format(zimage, zbar_fourcc('Y', '8', '0', '0'));
    zbar_image_set_size(zimage, unsigned(gray.width()), unsigned(gray.height()));
    zbar_image_set_data(zimage, pixels.constData(), unsigned(pixels.size()), nullptr);

    std::optional<QByteArray> result;
    if (zbar_scan_image(scanner, zimage) > 0) {
        const zbar_symbol_t* symbol = zbar_image_first_symbol(zimage);
        result = QByteArray(zbar_symbol_get_data(symbol), int(zbar_symbol_get_data_length(symbol)));
    }
    zbar_image_destroy(zimage);
    zbar_image_scanner_destroy(scanner);
    return result;
}

} // namespace vantorel::test
