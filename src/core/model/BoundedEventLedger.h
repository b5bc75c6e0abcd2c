#pragma once

#include <QStringList>

namespace vantorel {

// A bounded memory of handled event keys, oldest first. A key that is recorded again becomes the
// newest; beyond the capacity the oldest keys are forgotten.
class BoundedEventLedger
{
public:
    // Capacities below 1 count as 1. Duplicates in `entries` collapse onto their last position.
    BoundedEventLedger(const QStringList& entries, qsizetype capacity);

    bool contains(const QString& key) const { return m_entries.contains(key); }
    void insert(const QString& key);
    // The keys in ledger order, as they are stored.
    const QStringList& entries() const { return m_entries; }
    qsizetype capacity() const { return m_capacity; }

    bool operator==(const BoundedEventLedger&) const = default;

private:
    void trim();

    QStringList m_entries;
    qsizetype m_capacity;
};

} // namespace vantorel
