#pragma once

#include <QUrl>

namespace vantorel {

// Opens a web page or a local file in the desktop's default application.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;

    // Hands the address to the desktop and returns at once; false when no handler took it.
    virtual bool open(const QUrl& url) = 0;
};

// The desktop's handler through QDesktopServices (xdg-open or the portal).
class DesktopUrlOpener final : public UrlOpener
{
public:
    bool open(const QUrl& url) override;
};

} // namespace vantorel
