#include "app/shell/MainWindowController.h"

#include "app/shell/HiddenWindowRelease.h"
#include "app/ui/ScreenFit.h"
#include "app/window/ContentView.h"
#include "core/foundation/AppDiagnostics.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace vantorel {

namespace {

// The main window's frame: tells its controller when the user closed it.
class KeptMainWindow final : public QWidget
{
public:
    explicit KeptMainWindow(std::function<void()> closed)
        : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                               | Qt::WindowMinimizeButtonHint)
        , m_closed(std::move(closed))
    {
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        QWidget::closeEvent(event);
        if (!event->isAccepted())
            return;
        if (m_closed)
            m_closed();
        releaseNativeWindowOnceHidden(this, [this] { destroy(); });
    }

private:
    std::function<void()> m_closed;
};

} // namespace

MainWindowController::MainWindowController(ContentFactory content, std::function<void(const QString&)> log,
                                           std::function<void()> pagesGone)
    : m_makeContent(std::move(content))
    , m_log(std::move(log))
    , m_pagesGone(std::move(pagesGone))
{
}

MainWindowController::~MainWindowController()
{
    delete m_window;
}

QSize MainWindowController::fittedSize(const QRect& available, const QMargins& frame)
{
    return ScreenFit::fittedSize(windowSize, available, frame);
}

void MainWindowController::show(const QString& reason)
{
    const bool created = !m_window;
    if (created)
        create();
    if (!m_content)
        buildContent();
    fitToScreen(created);
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    log(QStringLiteral("mainWindow.open reason=") + reason);
}

void MainWindowController::create()
{
    // Title, close and minimise only: the window has one size on a screen.
    auto* window = new KeptMainWindow([this] { closed(); });
    window->setObjectName(QStringLiteral("mainWindow"));
    window->setWindowTitle(windowTitle);
    window->setFixedSize(windowSize);
    // Only an explicit quit ends the application.
    window->setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    // Ctrl+W closes the window as its close button does.
    auto* close = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), window);
    close->setContext(Qt::WindowShortcut);
    QObject::connect(close, &QShortcut::activated, window, &QWidget::close);

    m_window = window;
    log(QStringLiteral("mainWindow.created"));
}

void MainWindowController::buildContent()
{
    QWidget* content = m_makeContent ? m_makeContent(m_page) : nullptr;
    if (!content)
        return;
    if (m_pagesGone)
        QObject::connect(content, &QObject::destroyed, m_pagesGone);
    m_window->layout()->addWidget(content);
    m_content = content;
}

void MainWindowController::closed()
{
    // The pages go; the page shown is what the next showing builds.
    if (const auto* view = qobject_cast<const ContentView*>(m_content.data()))
        m_page = view->page();
    if (m_content) {
        m_window->layout()->removeWidget(m_content);
        m_content->deleteLater();
        m_content = nullptr;
    }
}

void MainWindowController::fitToScreen(bool centre)
{
    const QScreen* screen = centre ? QGuiApplication::primaryScreen() : m_window->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QMargins frame = ScreenFit::frameOf(m_window);
    const QSize size = fittedSize(available, frame);
    m_window->setFixedSize(size);
    if (m_content)
        ScreenFit::fitContentHeight(m_content, ContentView::minimumRootHeight, size.height());
    QRect placed(QPoint(), size.grownBy(frame));
    if (centre)
        placed.moveCenter(available.center());
    else
        placed.moveTopLeft(m_window->pos());
    // pos() is the frame's top left: the title bar stays on screen.
    m_window->move(ScreenFit::keptInside(placed, available).topLeft());
}

void MainWindowController::log(const QString& message) const
{
    if (m_log)
        m_log(message);
    else
        AppDiagnostics::log(message);
}

} // namespace vantorel
