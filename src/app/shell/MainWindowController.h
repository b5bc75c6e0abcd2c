#pragma once

#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>

namespace vantorel {

// Owns the single main window: built on the first request, kept (hidden) when the user closes
// it, so the next request shows the same window with the page it had. GUI thread only.
class MainWindowController final
{
public:
    static constexpr QSize windowSize{482, 560};
    static inline const QString windowTitle = QStringLiteral("Vantorel");

    using ContentFactory = std::function<QWidget*()>;

    // `content` builds the window's root view once, on the first `show`; `log` defaults to
    // AppDiagnostics::log.
    explicit MainWindowController(ContentFactory content, std::function<void(const QString&)> log = {});
    MainWindowController(const MainWindowController&) = delete;
    MainWindowController& operator=(const MainWindowController&) = delete;
    ~MainWindowController();

    // Builds the window on first use (centred once), then restores it when minimised, shows it,
    // raises it and asks for activation; logs "mainWindow.open reason=<reason>".
    void show(const QString& reason);

    // The window once built, else null.
    QWidget* window() const { return m_window; }

private:
    void create();
    void log(const QString& message) const;

    ContentFactory m_content;
    std::function<void(const QString&)> m_log;
    QPointer<QWidget> m_window;
};

} // namespace vantorel
