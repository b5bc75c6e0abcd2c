#pragma once

#include "app/window/PopoverPage.h"

#include <QMargins>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>

namespace vantorel {

// Owns the single main window: built once, on the first request, and kept for the life of the
// process. Closing it gives its root view back (pages, their memory and threads) but keeps the
// window, its position and the page shown, so the next request shows the same page where the
// user left it. Ctrl+W closes it as its close button does. GUI thread only.
class MainWindowController final
{
public:
    static constexpr QSize windowSize{482, 560};
    static inline const QString windowTitle = QStringLiteral("Vantorel");
    // Builds the root view showing `page`.
    using ContentFactory = std::function<QWidget*(PopoverPage page)>;

    // `content` builds the window's root view on the first showing and on each showing after a
    // close; `log` defaults to AppDiagnostics::log; `pagesGone` runs each time a closed window's
    // pages are gone.
    explicit MainWindowController(ContentFactory content, std::function<void(const QString&)> log = {},
                                  std::function<void()> pagesGone = {});
    MainWindowController(const MainWindowController&) = delete;
    MainWindowController& operator=(const MainWindowController&) = delete;
    ~MainWindowController();

    // Builds the window when there is none (centred; logs "mainWindow.created"), its root view
    // when the window was closed, fits it to the screen's available geometry, then restores it
    // when minimised, shows it, raises it and asks for activation; logs
    // "mainWindow.open reason=<reason>".
    void show(const QString& reason);

    // The window once built, else null.
    QWidget* window() const { return m_window; }
    // The root view while the window holds one (not after a close), else null.
    QWidget* content() const { return m_content; }

    // The window's content size on a screen with `available` geometry: 482 × 560 wherever the
    // window with its frame fits, else smaller.
    static QSize fittedSize(const QRect& available, const QMargins& frame);

private:
    void create();
    void buildContent();
    void closed();
    void fitToScreen(bool centre);
    void log(const QString& message) const;

    ContentFactory m_makeContent;
    std::function<void(const QString&)> m_log;
    std::function<void()> m_pagesGone;
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_content;
    PopoverPage m_page = PopoverPage::main;
};

} // namespace vantorel
