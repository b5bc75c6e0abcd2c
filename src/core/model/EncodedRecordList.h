#pragma once

#include "core/foundation/Json.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QUuid>

#include <optional>

namespace vantorel {

// The store form of a list of records (json::write(toJsonArray(records), store), byte for byte),
// kept as one encoded piece per record. Encoding a list that differs from the previous one by a
// few records encodes only those: a history that gained one sample costs one record's encoding
// and a copy, not the whole list's. Records are matched by equality, found by position first and
// by their `id` after a gap.
template <typename T>
class EncodedRecordList
{
public:
    // Throws JsonEncodeError, as json::write does, and then keeps the previous pieces.
    QByteArray encode(const QList<T>& records)
    {
        QList<QByteArray> pieces;
        pieces.reserve(records.size());
        std::optional<QHash<QUuid, qsizetype>> byId;
        qsizetype next = records.isEmpty() ? 0 : m_records.indexOf(records.first());
        if (next < 0) {
            next = m_records.size();
        }
        qsizetype size = 2;
        for (const T& record : records) {
            qsizetype found = next < m_records.size() && m_records.at(next) == record ? next : -1;
            if (found < 0 && !m_records.isEmpty()) {
                if (!byId) {
                    byId.emplace();
                    byId->reserve(m_records.size());
                    for (qsizetype i = 0; i < m_records.size(); ++i)
                        byId->insert(m_records.at(i).id, i);
                }
                const qsizetype candidate = byId->value(record.id, -1);
                if (candidate >= 0 && m_records.at(candidate) == record) {
                    found = candidate;
                }
            }
            if (found >= 0) {
                pieces.append(m_pieces.at(found));
                next = found + 1;
            } else {
                pieces.append(json::write(toJson(record), json::Form::store));
            }
            size += pieces.last().size() + 1;
        }
        QByteArray bytes;
        bytes.reserve(size);
        bytes.append('[');
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            if (i > 0) {
                bytes.append(',');
            }
            bytes.append(pieces.at(i));
        }
        bytes.append(']');
        m_records = records;
        m_pieces = std::move(pieces);
        return bytes;
    }

private:
    QList<T> m_records;
    QList<QByteArray> m_pieces;
};

} // namespace vantorel
