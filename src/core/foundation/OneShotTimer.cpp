#include "core/foundation/OneShotTimer.h"

#include <QTimer>

namespace vantorel {

namespace {

class QtOneShotTimer final : public OneShotTimer
{
public:
    QtOneShotTimer()
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            // The call may start the timer again with a new callback.
            const auto timeout = std::move(m_timeout);
            m_timeout = {};
            if (timeout)
                timeout();
        });
    }

    void start(std::chrono::milliseconds delay, std::function<void()> timeout) override
    {
        m_timeout = std::move(timeout);
        m_timer.start(delay);
    }

    void stop() override
    {
        m_timer.stop();
        m_timeout = {};
    }

    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
    std::function<void()> m_timeout;
};

} // namespace

std::unique_ptr<OneShotTimer> OneShotTimer::make()
{
    return std::make_unique<QtOneShotTimer>();
}

} // namespace vantorel
