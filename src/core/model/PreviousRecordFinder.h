#pragma once

#include <QHash>
#include <QList>
#include <QUuid>

#include <optional>

namespace vantorel {

// Finds the records of a new list in the previous one, so that work done for a record last time
// (its encoding, its digest) is reused. Asked in the new list's order, it looks first just after
// the last record found, which is where a list that gained or lost records at its ends has it,
// and by `id` after a gap; the index by id is built only then, and lives as long as the finder.
// Records match only when equal. `previous` must outlive the finder.
template <typename T>
class PreviousRecordFinder
{
public:
    PreviousRecordFinder(const QList<T>& previous, const T* first)
        : m_previous(previous)
        , m_next(first ? previous.indexOf(*first) : 0)
    {
        if (m_next < 0) {
            m_next = previous.size();
        }
    }

    // The index in the previous list of a record equal to `record`, or -1.
    qsizetype find(const T& record)
    {
        qsizetype found = m_next < m_previous.size() && m_previous.at(m_next) == record ? m_next : -1;
        if (found < 0 && !m_previous.isEmpty()) {
            if (!m_byId) {
                m_byId.emplace();
                m_byId->reserve(m_previous.size());
                for (qsizetype i = 0; i < m_previous.size(); ++i)
                    m_byId->insert(m_previous.at(i).id, i);
            }
            const qsizetype candidate = m_byId->value(record.id, -1);
            if (candidate >= 0 && m_previous.at(candidate) == record) {
                found = candidate;
            }
        }
        if (found >= 0) {
            m_next = found + 1;
        }
        return found;
    }

private:
    const QList<T>& m_previous;
    qsizetype m_next;
    std::optional<QHash<QUuid, qsizetype>> m_byId;
};

} // namespace vantorel
