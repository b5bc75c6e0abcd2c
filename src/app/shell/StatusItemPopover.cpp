#include "app/shell/StatusItemPopover.h"

#include "app/shell/HiddenWindowRelease.h"
#include "app/ui/ScreenFit.h"
#include "app/ui/SystemColors.h"
#include "app/window/ContentView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace vantorel {

StatusItemPopover::StatusItemPopover(const ContentFactory& content, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
    , m_makeContent(content)
{
    setObjectName(QStringLiteral("statusItemPopover"));
    setWindowTitle(QStringLiteral("Vantorel"));
    setFixedSize(popoverSize);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(borderWidth, borderWidth, borderWidth, borderWidth);
    auto* close = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), this);
    close->setContext(Qt::WindowShortcut);
    connect(close, &QShortcut::activated, this, &QWidget::hide);
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &StatusItemPopover::onApplicationStateChanged);
}

void StatusItemPopover::open(const QRect& anchor)
{
    buildContentIfNeeded();
    const bool placesItself = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (!anchor.isEmpty() && !placesItself) {
        auto* screen = QGuiApplication::screenAt(anchor.center());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen)
            fitTo(frameFor(anchor, screen->geometry(), screen->availableGeometry()));
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // Placed by the window system, but no larger than the screen leaves.
        fitTo(QRect(pos(), ScreenFit::fittedSize(popoverSize, screen->availableGeometry())));
    }
    m_hiddenByDeactivation.invalidate();
    // Watching the whole application only while shown: a hidden popover costs nothing per event.
    qApp->installEventFilter(this);
    show();
    raise();
    activateWindow();
}

void StatusItemPopover::buildContentIfNeeded()
{
    if (!m_makeContent)
        return;
    // Built once, on the first opening: a tray application that is never clicked keeps no pages.
    m_content = std::exchange(m_makeContent, nullptr)();
    if (m_content)
        layout()->addWidget(m_content);
}

bool StatusItemPopover::justHidDueToDeactivation() const
{
    return m_hiddenByDeactivation.isValid() && !m_hiddenByDeactivation.hasExpired(closingClickWindowMs);
}

QRect StatusItemPopover::frameFor(const QRect& anchor, const QRect& screenGeometry, const QRect& availableGeometry)
{
    const QSize size = ScreenFit::fittedSize(popoverSize, availableGeometry);
    const bool upperHalf = anchor.center().y() < screenGeometry.top() + screenGeometry.height() / 2;
    const int top = upperHalf ? anchor.bottom() + 1 : anchor.top() - size.height();
    const int left = anchor.left() + anchor.width() / 2 - size.width() / 2;
    return ScreenFit::keptInside(QRect(QPoint(left, top), size), availableGeometry);
}

void StatusItemPopover::fitTo(const QRect& frame)
{
    setFixedSize(frame.size());
    ScreenFit::fitContentHeight(m_content, ContentView::minimumRootHeight, frame.height() - 2 * borderWidth);
    move(frame.topLeft());
}

void StatusItemPopover::ignorePressesIn(QWidget* window)
{
    m_ignored.append(window);
}

bool StatusItemPopover::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType() && isVisible()
        && !isInside(static_cast<QWidget*>(watched)))
        hideItself();
    return false;
}

bool StatusItemPopover::isInside(const QWidget* widget) const
{
    const QWidget* window = widget->window();
    for (const QPointer<QWidget>& ignored : m_ignored) {
        if (ignored && ignored->window() == window)
            return true;
    }
    // A dialog opened from the popover's pages has the popover among its parents.
    for (const QWidget* ancestor = widget; ancestor; ancestor = ancestor->parentWidget()) {
        if (ancestor == this)
            return true;
    }
    return false;
}

void StatusItemPopover::paintEvent(QPaintEvent*)
{
    const SystemColors& colors = SystemColors::current();
    QPainter painter(this);
    painter.fillRect(rect(), colors.windowBackground);
    // Label ink at a third reads as a grey line on white and on the dark background alike.
    painter.setPen(QPen(SystemColors::withOpacity(colors.label, 0.35), borderWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(borderWidth / 2.0, borderWidth / 2.0, -borderWidth / 2.0,
                                             -borderWidth / 2.0));
}

void StatusItemPopover::hideEvent(QHideEvent* event)
{
    qApp->removeEventFilter(this);
    QWidget::hideEvent(event);
    releaseNativeWindowOnceHidden(this, [this] { destroy(); });
    emit closed();
}

void StatusItemPopover::keyPressEvent(QKeyEvent* event)
{
    // Reaches the popover when no control of its pages used the key, as a dialog's Escape does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void StatusItemPopover::onApplicationStateChanged(Qt::ApplicationState state)
{
    if (state == Qt::ApplicationActive || !isVisible())
        return;
    hideItself();
}

void StatusItemPopover::hideItself()
{
    hide();
    m_hiddenByDeactivation.start();
}

} // namespace vantorel
