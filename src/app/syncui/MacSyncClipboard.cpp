#include "app/syncui/MacSyncClipboard.h"

#include "app/platform/Pasteboard.h"
#include "core/foundation/CancellationError.h"
#include "core/foundation/Sleeper.h"

#include <cmath>

namespace vantorel {

MacSyncClipboard::MacSyncClipboard(Pasteboard& pasteboard, Clock now, std::shared_ptr<Sleeper> sleeper,
                                   QObject* parent)
    : QObject(parent)
    , m_pasteboard(pasteboard)
    , m_now(std::move(now))
    , m_sleeper(std::move(sleeper))
{
}

bool MacSyncClipboard::copy(const QString& string, Date expiresAt, bool shareWithOtherDevices)
{
    const double interval = expiresAt.timeIntervalSince(m_now());
    if (!std::isfinite(interval) || interval <= 0 || interval > maximumLifetimeSeconds)
        return false;
    const qsizetype bytes = string.toUtf8().size();
    if (bytes == 0 || bytes > maximumBytes)
        return false;

    clearOwnedContents();
    if (!m_pasteboard.writeString(string, !shareWithOtherDevices))
        return false;
    m_copiedChangeCount = m_pasteboard.changeCount();
    m_copiedString = string;
    m_expiryTask = TaskHandle::start([this, interval](CancelToken token) {
        return runExpiry(QPointer<MacSyncClipboard>(this), m_sleeper, interval, token);
    });
    return true;
}

void MacSyncClipboard::clearOwnedContents()
{
    m_expiryTask = TaskHandle();
    if (m_copiedChangeCount == m_pasteboard.changeCount() && m_pasteboard.string() == m_copiedString)
        m_pasteboard.clearContents();
    m_copiedChangeCount.reset();
    m_copiedString.clear();
}

QCoro::Task<> MacSyncClipboard::runExpiry(QPointer<MacSyncClipboard> self, std::shared_ptr<Sleeper> sleeper,
                                          double seconds, CancelToken token)
{
    try {
        co_await sleeper->sleep(seconds, token);
    } catch (const CancellationError&) {
        co_return;
    }
    if (self && !token.isCancelled())
        self->clearOwnedContents();
}

} // namespace vantorel
