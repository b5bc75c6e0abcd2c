#include "sync/net/AcceptBudget.h"

#include <algorithm>

namespace vantorel {

AcceptBudget::AcceptBudget(int perWindow, qint64 windowMilliseconds, int maximumCredit)
    : m_perWindow(perWindow)
    , m_windowMilliseconds(windowMilliseconds)
    , m_maximumCredit(maximumCredit)
{
}

bool AcceptBudget::allows(qint64 now)
{
    if (!m_windowStart || now - *m_windowStart > m_windowMilliseconds) {
        m_windowStart = now;
        m_takenInWindow = 0;
    }
    return m_takenInWindow < m_perWindow || m_credit > 0;
}

void AcceptBudget::spend()
{
    if (m_takenInWindow < m_perWindow)
        ++m_takenInWindow;
    else if (m_credit > 0)
        --m_credit;
}

qint64 AcceptBudget::waitFrom(qint64 now) const
{
    if (!m_windowStart)
        return 1;
    return std::max<qint64>(m_windowMilliseconds - (now - *m_windowStart), 1);
}

void AcceptBudget::credit()
{
    m_credit = std::min(m_credit + 1, m_maximumCredit);
}

} // namespace vantorel
