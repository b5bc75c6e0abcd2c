#pragma once

#include "core/foundation/Json.h"
#include "core/model/PreviousRecordFinder.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace vantorel {

// The store form of a list of records (json::write(toJsonArray(records), store), byte for byte),
// kept as the last encoded text and where each record's piece ends in it. Encoding a list that
// differs from the previous one by a few records encodes only those: a history that gained one
// sample costs one record's encoding and a copy, not the whole list's. The text kept is the one
// returned, so a caller that stores it holds it once. Records are matched by equality, found by
// position first and by their `id` after a gap.
template <typename T>
class EncodedRecordList
{
public:
    // Throws JsonEncodeError, as json::write does, and then keeps the previous text.
    QByteArray encode(const QList<T>& records)
    {
        QList<qsizetype> ends;
        ends.reserve(records.size());
        QByteArray bytes;
        bytes.reserve(m_bytes.size() + reserveSlack);
        bytes.append('[');
        PreviousRecordFinder<T> previous(m_records, records.isEmpty() ? nullptr : &records.first());
        for (const T& record : records) {
            const qsizetype found = previous.find(record);
            if (bytes.size() > 1) {
                bytes.append(',');
            }
            if (found >= 0) {
                const qsizetype begin = found == 0 ? 1 : m_ends.at(found - 1) + 1;
                bytes.append(QByteArrayView(m_bytes).sliced(begin, m_ends.at(found) - begin));
            } else {
                bytes.append(json::write(toJson(record), json::Form::store));
            }
            ends.append(bytes.size());
        }
        bytes.append(']');
        // The text is kept (here and by the caller) until the next change: no growth slack.
        if (bytes.capacity() > bytes.size() + bytes.size() / 16 + reserveSlack) {
            bytes.squeeze();
        }
        m_records = records;
        m_ends = std::move(ends);
        m_bytes = bytes;
        return bytes;
    }

private:
    // Room for a record or two more than the previous text, the usual change.
    static constexpr qsizetype reserveSlack = 1024;

    QList<T> m_records;
    // m_bytes is "[" piece ("," piece)* "]"; piece i ends before m_ends[i].
    QList<qsizetype> m_ends;
    QByteArray m_bytes;
};

} // namespace vantorel
