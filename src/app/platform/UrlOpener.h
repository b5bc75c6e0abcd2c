#pragma once

#include <QObject>
#include <QUrl>

#include <functional>

namespace vantorel {

// Opens a web page or a local file in the desktop's default application.
class UrlOpener
{
public:
    using Failure = std::function<void()>;

    virtual ~UrlOpener() = default;

    // Hands the address to the desktop and returns at once. `failed`, when set, runs on this
    // thread when no handler took the address (inside this call) or when the handler reports
    // soon after that it could not open it (on a later turn).
    virtual void open(const QUrl& url, Failure failed) = 0;
};

// The desktop's handler: xdg-open, watched until it exits so that a failure (no browser
// configured) is heard; Qt's own lookup (a portal, $BROWSER, known browsers) without it.
class DesktopUrlOpener final : public QObject, public UrlOpener
{
    Q_OBJECT

public:
    // A handler may keep running as long as the program it started; an exit this late is not an
    // answer to the request.
    static constexpr int failureReportWindowMs = 30'000;

    // Handlers still running when the opener goes are ended with it (not what they started).
    using QObject::QObject;

    void open(const QUrl& url, Failure failed) override;
};

} // namespace vantorel
