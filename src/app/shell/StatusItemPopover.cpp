#include "app/shell/StatusItemPopover.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace vantorel {

StatusItemPopover::StatusItemPopover(const ContentFactory& content, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("statusItemPopover"));
    setWindowTitle(QStringLiteral("Vantorel"));
    setFixedSize(popoverSize);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (content) {
        m_content = content();
        if (m_content)
            layout->addWidget(m_content);
    }
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &StatusItemPopover::onApplicationStateChanged);
}

void StatusItemPopover::open(const QRect& anchor)
{
    const bool placesItself = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (!anchor.isEmpty() && !placesItself) {
        auto* screen = QGuiApplication::screenAt(anchor.center());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen)
            move(frameFor(anchor, screen->geometry(), screen->availableGeometry()).topLeft());
    }
    m_hiddenByDeactivation.invalidate();
    show();
    raise();
    activateWindow();
}

bool StatusItemPopover::justHidDueToDeactivation() const
{
    return m_hiddenByDeactivation.isValid() && !m_hiddenByDeactivation.hasExpired(closingClickWindowMs);
}

QRect StatusItemPopover::frameFor(const QRect& anchor, const QRect& screenGeometry, const QRect& availableGeometry)
{
    const int width = popoverSize.width();
    const int height = popoverSize.height();
    const bool upperHalf = anchor.center().y() < screenGeometry.top() + screenGeometry.height() / 2;
    int top = upperHalf ? anchor.bottom() + 1 : anchor.top() - height;
    int left = anchor.left() + anchor.width() / 2 - width / 2;
    // Clamped with the far edge first, so a screen smaller than the popover keeps its top left.
    left = std::max(std::min(left, availableGeometry.right() + 1 - width), availableGeometry.left());
    top = std::max(std::min(top, availableGeometry.bottom() + 1 - height), availableGeometry.top());
    return {left, top, width, height};
}

void StatusItemPopover::onApplicationStateChanged(Qt::ApplicationState state)
{
    if (state == Qt::ApplicationActive || !isVisible())
        return;
    hide();
    m_hiddenByDeactivation.start();
}

} // namespace vantorel
