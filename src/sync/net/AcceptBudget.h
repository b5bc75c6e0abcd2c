#pragma once

#include <QtGlobal>

#include <optional>

namespace vantorel {

// How often a listener may do something costly with a connection (start its handshake, push a
// held one out): a few times per short window, so a reconnect flood cannot take the event loop,
// plus once more for each peer that proved the key, so paired devices reading back to back are not
// held to the flood's rate. Times are milliseconds of a monotonic clock.
class AcceptBudget
{
public:
    // `maximumCredit` bounds what is saved up from proven peers, and so how much beyond
    // `perWindow` one turn may do.
    AcceptBudget(int perWindow, qint64 windowMilliseconds, int maximumCredit);

    // Whether one more connection may be taken at `now`: the window's share or the credit is left.
    bool allows(qint64 now);
    // Counts a connection taken after allows() said yes: the window's share first, then credit.
    void spend();
    // Milliseconds from `now` until the next window opens; at least 1.
    qint64 waitFrom(qint64 now) const;
    // A peer proved the key: one accept more, unless maximumCredit are saved already.
    void credit();

    int savedCredit() const { return m_credit; }

private:
    const int m_perWindow;
    const qint64 m_windowMilliseconds;
    const int m_maximumCredit;
    std::optional<qint64> m_windowStart;
    int m_takenInWindow = 0;
    int m_credit = 0;
};

} // namespace vantorel
