#include "app/ui/MinuteTicker.h"

#include <QEvent>
#include <QWidget>

namespace vantorel {

MinuteTicker::MinuteTicker(Clock now, QObject* parent)
    : QObject(parent)
    , m_now(std::move(now))
{
    m_timer.setTimerType(Qt::VeryCoarseTimer);
    m_timer.setInterval(intervalMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &MinuteTicker::tick);
}

void MinuteTicker::subscribe(QWidget* subscriber, std::function<void()> redraw)
{
    m_subscribers.insert(subscriber, std::move(redraw));
    subscriber->installEventFilter(this);
    connect(subscriber, &QObject::destroyed, this, [this, subscriber] {
        m_subscribers.remove(subscriber);
        updateTimer();
    });
    updateTimer();
}

void MinuteTicker::tick()
{
    // A redraw may hide or show other subscribers; walk a copy.
    const auto subscribers = m_subscribers;
    for (auto it = subscribers.cbegin(); it != subscribers.cend(); ++it) {
        if (it.key()->isVisible())
            it.value()();
    }
}

bool MinuteTicker::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
        auto* widget = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show) {
            if (const auto found = m_subscribers.constFind(widget); found != m_subscribers.cend())
                found.value()();
        }
        updateTimer();
    }
    return false;
}

void MinuteTicker::updateTimer()
{
    bool anyVisible = false;
    for (auto it = m_subscribers.cbegin(); it != m_subscribers.cend() && !anyVisible; ++it)
        anyVisible = it.key()->isVisible();
    if (anyVisible && !m_timer.isActive())
        m_timer.start();
    else if (!anyVisible)
        m_timer.stop();
}

} // namespace vantorel
