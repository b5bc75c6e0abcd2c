#include "core/model/BoundedEventLedger.h"

#include <QSet>

#include <algorithm>

namespace vantorel {

BoundedEventLedger::BoundedEventLedger(const QStringList& entries, qsizetype capacity)
    : m_capacity(std::max<qsizetype>(capacity, 1))
{
    // Walk from the newest end so a long stored list costs one pass.
    QSet<QString> seen;
    for (auto it = entries.crbegin(); it != entries.crend() && m_entries.size() < m_capacity; ++it) {
        if (!seen.contains(*it)) {
            seen.insert(*it);
            m_entries.append(*it);
        }
    }
    std::reverse(m_entries.begin(), m_entries.end());
}

void BoundedEventLedger::insert(const QString& key)
{
    m_entries.removeOne(key);
    m_entries.append(key);
    trim();
}

void BoundedEventLedger::trim()
{
    if (m_entries.size() > m_capacity) {
        m_entries.remove(0, m_entries.size() - m_capacity);
    }
}

} // namespace vantorel
