#pragma once

#include "app/platform/StatusItemBackend.h"
#include "app/ui/MenuBarGaugeImageRenderer.h"
#include "app/window/PopoverPage.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace vantorel {

class AppViewModel;
class MainWindowController;
class StatusItemFallbackPanel;
class StatusItemPopover;

// The application's presence in the tray: keeps the item's picture and tool tip equal to what
// the view model says, shows the gauge in a small panel of its own while no tray host is there,
// toggles the popover with the application's content when either is clicked, and brings the
// application up when one of its notifications is clicked.
// GUI thread only.
class StatusItemController final : public QObject {
    Q_OBJECT

public:
    struct Dependencies {
        std::unique_ptr<StatusItemBackend> backend;
        MenuBarGaugeImageRenderer::Environment rendererEnvironment;
        // Builds the popover's content once, with the controller; empty leaves it blank.
        std::function<QWidget*()> popoverContent;
        // Builds the main window's content showing a page, on its first showing and on each
        // showing after a close; empty leaves it blank.
        std::function<QWidget*(PopoverPage)> mainWindowContent;
        // Runs each time a closed main window's pages are gone.
        std::function<void()> mainWindowClosed;
        // Diagnostics lines; AppDiagnostics::log when empty.
        std::function<void(const QString&)> log;
    };

    // The tray item's tool tip title on hosts that show one.
    static inline const QString toolTipTitle = QStringLiteral("Vantorel");

    StatusItemController(AppViewModel& viewModel, Dependencies dependencies, QObject* parent = nullptr);
    ~StatusItemController() override;

    // Brings picture, tool tip and presentation up to date; does nothing once the view model is
    // gone. Runs once at construction and after every change the view model announces, every
    // change of the screens and of the desktop's appearance, and every coming or going of a tray
    // host. The tray gets the new picture at once; it draws the sizes it shows when it asks.
    void updateButton();
    // True while no tray host shows the item, so the fallback panel stands in for it.
    bool usesNotchFallback() const;
    // Closes the popover when it is shown, else opens it beside `anchor` (global coordinates).
    void togglePopover(const QRect& anchor);

    // Builds the main window once and brings it to the front; does nothing once the view model
    // is gone.
    void showMainWindow(const QString& reason);
    // What a click on one of the application's notifications does: opens the popover beside the
    // item (leaving it open when it is), or the main window while no tray host shows the item.
    void showForNotification();
    // The main window once built, else null.
    QWidget* mainWindow() const;

    StatusItemBackend& backend() const { return *m_backend; }
    StatusItemPopover& popover() const { return *m_popover; }
    // The fallback panel once it was needed, else null.
    StatusItemFallbackPanel* fallbackPanel() const { return m_fallbackPanel.get(); }

private:
    void updateMenuBarPresentation(const MenuBarGaugeImageRenderer::Input& input, const QString& toolTip, int width,
                                   bool fallback);
    StatusItemFallbackPanel& makeFallbackPanelIfNeeded();
    void showIcon(const QIcon& icon);
    void scheduleUpdate();
    void followPrimaryScreen();
    void onActivated(StatusItemBackend::Activation activation);
    void log(const QString& message) const;

    QPointer<AppViewModel> m_viewModel;
    std::unique_ptr<StatusItemBackend> m_backend;
    MenuBarGaugeImageRenderer m_renderer;
    std::function<void(const QString&)> m_log;
    std::unique_ptr<StatusItemPopover> m_popover;
    std::unique_ptr<StatusItemFallbackPanel> m_fallbackPanel;
    std::unique_ptr<MainWindowController> m_mainWindowController;
    std::optional<QString> m_lastStatusItemLogKey;
    std::optional<qint64> m_shownIconKey;
    std::optional<QStringList> m_shownToolTip;
    QList<QMetaObject::Connection> m_primaryScreenConnections;
};

} // namespace vantorel
