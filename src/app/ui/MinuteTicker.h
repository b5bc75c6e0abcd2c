#pragma once

#include "core/foundation/Clock.h"

#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>

class QWidget;

namespace vantorel {

// The one-minute beat of texts that depend on the current time ("3分前", "あと2時間5分").
// Widgets subscribe with a redraw callback; the coarse timer runs only while at least one
// subscriber is visible, so a hidden window costs no wake-ups. A subscriber that comes on
// screen is redrawn at once, since minutes may have passed while it was hidden.
class MinuteTicker : public QObject
{
    Q_OBJECT

public:
    explicit MinuteTicker(Clock now, QObject* parent = nullptr);

    static constexpr int intervalMilliseconds = 60'000;

    // The time the texts are drawn for.
    Date now() const { return m_now(); }

    // Calls `redraw` on every tick while `subscriber` is visible; ends when it is destroyed.
    void subscribe(QWidget* subscriber, std::function<void()> redraw);

    // Redraws every visible subscriber now (the timer's own action; tests call it by hand).
    void tick();

    bool isRunning() const { return m_timer.isActive(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateTimer();

    Clock m_now;
    QTimer m_timer;
    QHash<QWidget*, std::function<void()>> m_subscribers;
};

} // namespace vantorel
