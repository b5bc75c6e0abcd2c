#pragma once

#include "core/foundation/Clock.h"
#include "core/foundation/TaskHandle.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

namespace vantorel {

class Pasteboard;
class Sleeper;

// Copies a pairing connection string for a short while: only when its invitation lapses within
// five minutes, marked for this machine unless sharing is asked for, and removed again at the
// expiry or on request, but only while the clipboard still holds exactly what was written here
// (a copy the platform did not report may otherwise be mistaken for ours). GUI thread only.
class MacSyncClipboard final : public QObject
{
    Q_OBJECT

public:
    static constexpr double maximumLifetimeSeconds = 300.0;
    static constexpr qsizetype maximumBytes = 4096;

    MacSyncClipboard(Pasteboard& pasteboard, Clock now, std::shared_ptr<Sleeper> sleeper, QObject* parent = nullptr);
    // Cancels the pending clear and leaves the clipboard as it is.
    ~MacSyncClipboard() override = default;

    // True when the string is now on the clipboard. A refused call keeps an earlier copy.
    bool copy(const QString& string, Date expiresAt, bool shareWithOtherDevices);
    // Forgets the copy and clears the clipboard when it still holds it untouched.
    void clearOwnedContents();

    bool ownsContents() const { return m_copiedChangeCount.has_value(); }

private:
    static QCoro::Task<> runExpiry(QPointer<MacSyncClipboard> self, std::shared_ptr<Sleeper> sleeper, double seconds,
                                   CancelToken token);

    Pasteboard& m_pasteboard;
    Clock m_now;
    std::shared_ptr<Sleeper> m_sleeper;
    std::optional<int> m_copiedChangeCount;
    QString m_copiedString;
    TaskHandle m_expiryTask;
};

} // namespace vantorel
