#include "app/shell/MainWindowController.h"

#include "core/foundation/AppDiagnostics.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace vantorel {

MainWindowController::MainWindowController(ContentFactory content, std::function<void(const QString&)> log,
                                           std::function<void()> closed)
    : m_content(std::move(content))
    , m_log(std::move(log))
    , m_closed(std::move(closed))
{
}

MainWindowController::~MainWindowController()
{
    delete m_window;
}

void MainWindowController::show(const QString& reason)
{
    if (!m_window)
        create();
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    log(QStringLiteral("mainWindow.open reason=") + reason);
}

void MainWindowController::create()
{
    // Title, close and minimise only: the window has one size.
    auto* window = new QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                            | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    window->setObjectName(QStringLiteral("mainWindow"));
    window->setWindowTitle(windowTitle);
    window->setFixedSize(windowSize);
    // Closing gives the window and its pages back (memory, their threads); only an explicit quit
    // ends the application. Minimising keeps them.
    window->setAttribute(Qt::WA_QuitOnClose, false);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (m_closed)
        QObject::connect(window, &QObject::destroyed, m_closed);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    if (m_content) {
        if (QWidget* content = m_content())
            layout->addWidget(content);
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), windowSize);
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    m_window = window;
    log(QStringLiteral("mainWindow.created"));
}

void MainWindowController::log(const QString& message) const
{
    if (m_log)
        m_log(message);
    else
        AppDiagnostics::log(message);
}

} // namespace vantorel
