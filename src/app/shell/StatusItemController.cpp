#include "app/shell/StatusItemController.h"

#include "app/platform/NotificationManager.h"
#include "app/shell/MainWindowController.h"
#include "app/shell/StatusItemFallbackPanel.h"
#include "app/shell/StatusItemPopover.h"
#include "app/viewmodel/AppViewModel.h"
#include "core/foundation/AppDiagnostics.h"

#include <QGuiApplication>
#include <QScreen>

namespace vantorel {

namespace {

QString flag(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

StatusItemController::StatusItemController(AppViewModel& viewModel, Dependencies dependencies, QObject* parent)
    : QObject(parent)
    , m_viewModel(&viewModel)
    , m_backend(std::move(dependencies.backend))
    , m_renderer(std::move(dependencies.rendererEnvironment))
    , m_log(std::move(dependencies.log))
    , m_popover(std::make_unique<StatusItemPopover>(dependencies.popoverContent))
    , m_mainWindowController(
          std::make_unique<MainWindowController>(std::move(dependencies.mainWindowContent), m_log,
                                                 std::move(dependencies.mainWindowClosed)))
{
    connect(m_backend.get(), &StatusItemBackend::activated, this, &StatusItemController::onActivated);
    connect(m_backend.get(), &StatusItemBackend::availabilityMayHaveChanged, this,
            &StatusItemController::scheduleUpdate);
    // Queued: the update reads the state after the change, one update per announcement.
    connect(&viewModel, &AppViewModel::changed, this, &StatusItemController::updateButton, Qt::QueuedConnection);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, &StatusItemController::scheduleUpdate);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &StatusItemController::scheduleUpdate);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this] {
        followPrimaryScreen();
        scheduleUpdate();
    });
    // The picture's colours follow a live switch between light and dark.
    m_renderer.followAppearance(this, [this] { scheduleUpdate(); });
    if (const auto& notifications = viewModel.dependencies().notificationManager) {
        notifications->setActivationHandler([controller = QPointer<StatusItemController>(this)] {
            if (controller)
                controller->showForNotification();
        });
    }
    followPrimaryScreen();
    updateButton();
    log(QStringLiteral("statusItem.created"));
}

StatusItemController::~StatusItemController() = default;

void StatusItemController::updateButton()
{
    const AppViewModel* viewModel = m_viewModel;
    if (!viewModel)
        return;
    const auto input = viewModel->menuBarGaugeInput();
    // The help text is its lines joined: they are made once a reading.
    const QStringList lines = viewModel->menuBarGaugeHelpLines();
    const QString toolTip = lines.join(QStringLiteral(" / "));
    const int width = viewModel->menuBarGaugeWidth();

    showIcon(m_renderer.makeSquare(input));
    if (m_shownToolTip != lines) {
        m_backend->setToolTip(toolTipTitle, lines);
        m_shownToolTip = lines;
    }
    const bool fallback = usesNotchFallback();
    updateMenuBarPresentation(input, toolTip, width, fallback);

    const bool compact = viewModel->settings().menuBarCompactMode;
    const QString key = QString::number(width) + u'|' + flag(compact) + u'|' + flag(fallback);
    if (m_lastStatusItemLogKey == key)
        return;
    m_lastStatusItemLogKey = key;
    log(u"statusItem.updated width=" + QString::number(width) + u" compact=" + flag(compact) + u" nativeVisible="
        + flag(m_backend->isVisible()) + u" notchFallback=" + flag(fallback));
}

void StatusItemController::showIcon(const QIcon& icon)
{
    // Every new icon makes a StatusNotifierItem host fetch all its pixmaps again, so the item is
    // told only what changed; a cache hit returns the same icon.
    if (m_shownIconKey == icon.cacheKey())
        return;
    m_shownIconKey = icon.cacheKey();
    m_backend->setIcon(icon);
}

void StatusItemController::showMainWindow(const QString& reason)
{
    if (!m_viewModel)
        return;
    m_mainWindowController->show(reason);
}

void StatusItemController::showForNotification()
{
    if (!m_viewModel)
        return;
    if (usesNotchFallback()) {
        showMainWindow(QStringLiteral("notification"));
        return;
    }
    if (m_popover->isVisible()) {
        m_popover->raise();
        m_popover->activateWindow();
        return;
    }
    m_popover->open(m_backend->anchorRectangle());
    log(QStringLiteral("popover.open"));
}

QWidget* StatusItemController::mainWindow() const
{
    return m_mainWindowController->window();
}

bool StatusItemController::usesNotchFallback() const
{
    return !m_backend->isAvailable();
}

void StatusItemController::updateMenuBarPresentation(const MenuBarGaugeImageRenderer::Input& input,
                                                     const QString& toolTip, int width, bool fallback)
{
    if (!fallback) {
        m_backend->setVisible(true);
        if (m_fallbackPanel)
            m_fallbackPanel->hide();
        return;
    }
    m_backend->setVisible(false);
    auto& panel = makeFallbackPanelIfNeeded();
    const auto* screen = QGuiApplication::primaryScreen();
    panel.present(m_renderer.make(input), toolTip, width, screen ? screen->availableGeometry() : QRect());
}

StatusItemFallbackPanel& StatusItemController::makeFallbackPanelIfNeeded()
{
    if (m_fallbackPanel)
        return *m_fallbackPanel;
    m_fallbackPanel = std::make_unique<StatusItemFallbackPanel>();
    // Its button toggles the popover: a press there is the toggle, not a click elsewhere.
    m_popover->ignorePressesIn(m_fallbackPanel.get());
    connect(m_fallbackPanel.get(), &StatusItemFallbackPanel::clicked, this,
            [this] { togglePopover(m_fallbackPanel->frameGeometry()); });
    log(QStringLiteral("statusItem.notchFallbackCreated"));
    return *m_fallbackPanel;
}

void StatusItemController::togglePopover(const QRect& anchor)
{
    if (m_popover->isVisible()) {
        m_popover->hide();
        log(QStringLiteral("popover.close"));
        return;
    }
    // The click on the item took activation away from the popover, which hid itself: that
    // click closed it and must not open it again.
    if (m_popover->justHidDueToDeactivation()) {
        log(QStringLiteral("popover.close"));
        return;
    }
    m_popover->open(anchor);
    log(QStringLiteral("popover.open"));
}

void StatusItemController::onActivated(StatusItemBackend::Activation activation)
{
    switch (activation) {
    // The item has no menu: a right click and a host's context-menu request toggle it too.
    case StatusItemBackend::Activation::trigger:
    case StatusItemBackend::Activation::context:
        togglePopover(m_backend->anchorRectangle());
        break;
    case StatusItemBackend::Activation::doubleClick:
    case StatusItemBackend::Activation::middleClick:
        break;
    }
}

void StatusItemController::scheduleUpdate()
{
    QMetaObject::invokeMethod(this, &StatusItemController::updateButton, Qt::QueuedConnection);
}

void StatusItemController::followPrimaryScreen()
{
    for (const auto& connection : std::as_const(m_primaryScreenConnections))
        disconnect(connection);
    m_primaryScreenConnections.clear();
    auto* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    m_primaryScreenConnections = {
        connect(screen, &QScreen::geometryChanged, this, &StatusItemController::scheduleUpdate),
        connect(screen, &QScreen::availableGeometryChanged, this, &StatusItemController::scheduleUpdate),
        connect(screen, &QScreen::logicalDotsPerInchChanged, this, &StatusItemController::scheduleUpdate),
    };
}

void StatusItemController::log(const QString& message) const
{
    if (m_log)
        m_log(message);
    else
        AppDiagnostics::log(message);
}

} // namespace vantorel
