#pragma once

#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>

namespace vantorel {

// Owns the single main window: built on request and destroyed when the user closes it, so an idle
// application holds no pages and the next request builds them afresh. GUI thread only.
class MainWindowController final
{
public:
    static constexpr QSize windowSize{482, 560};
    static inline const QString windowTitle = QStringLiteral("Vantorel");

    using ContentFactory = std::function<QWidget*()>;

    // `content` builds the window's root view each time the window is built; `log` defaults to
    // AppDiagnostics::log; `closed` runs each time a closed window is gone.
    explicit MainWindowController(ContentFactory content, std::function<void(const QString&)> log = {},
                                  std::function<void()> closed = {});
    MainWindowController(const MainWindowController&) = delete;
    MainWindowController& operator=(const MainWindowController&) = delete;
    ~MainWindowController();

    // Builds the window when there is none (centred), then restores it when minimised, shows it,
    // raises it and asks for activation; logs "mainWindow.open reason=<reason>".
    void show(const QString& reason);

    // The window while it exists, else null.
    QWidget* window() const { return m_window; }

private:
    void create();
    void log(const QString& message) const;

    ContentFactory m_content;
    std::function<void(const QString&)> m_log;
    std::function<void()> m_closed;
    QPointer<QWidget> m_window;
};

} // namespace vantorel
