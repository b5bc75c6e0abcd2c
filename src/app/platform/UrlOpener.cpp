#include "app/platform/UrlOpener.h"

#include <QDesktopServices>

namespace vantorel {

bool DesktopUrlOpener::open(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace vantorel
