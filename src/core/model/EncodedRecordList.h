#pragma once

#include "core/foundation/Json.h"
#include "core/model/PreviousRecordFinder.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace vantorel {

// The store form of a list of records (json::write(toJsonArray(records), store), byte for byte),
// kept as the last encoded text and where each record's piece lies in it. Encoding a list that
// differs from the previous one by a few records encodes only those: a history that gained one
// sample costs one record's encoding and a copy, not the whole list's. The text kept is the one
// returned, so a caller that stores it holds it once. Records are matched by equality, found by
// position first and by their `id` after a gap.
template <typename T>
class EncodedRecordList
{
public:
    // What a record that cannot be encoded (a number that is not finite) does.
    enum class Unencodable {
        // The encoding throws JsonEncodeError, as json::write does, and keeps the previous text.
        fail,
        // The record is left out of the text.
        skip,
    };

    QByteArray encode(const QList<T>& records, Unencodable unencodable = Unencodable::fail)
    {
        QList<Piece> pieces;
        pieces.reserve(records.size());
        QByteArray bytes;
        bytes.reserve(m_bytes.size() + reserveSlack);
        bytes.append('[');
        PreviousRecordFinder<T> previous(m_records, records.isEmpty() ? nullptr : &records.first());
        for (const T& record : records) {
            const qsizetype found = previous.find(record);
            QByteArray fresh;
            QByteArrayView piece;
            if (found >= 0) {
                piece = QByteArrayView(m_bytes).sliced(m_pieces.at(found).begin, m_pieces.at(found).length());
            } else {
                try {
                    fresh = json::write(toJson(record), json::Form::store);
                } catch (const JsonEncodeError&) {
                    if (unencodable == Unencodable::fail)
                        throw;
                }
                piece = fresh;
            }
            // A record left out has an empty piece: no record encodes as nothing.
            if (!piece.isEmpty() && bytes.size() > 1) {
                bytes.append(',');
            }
            const qsizetype begin = bytes.size();
            bytes.append(piece);
            pieces.append({begin, bytes.size()});
        }
        bytes.append(']');
        // The text is kept (here and by the caller) until the next change: no growth slack.
        if (bytes.capacity() > bytes.size() + bytes.size() / 16 + reserveSlack) {
            bytes.squeeze();
        }
        m_records = records;
        m_pieces = std::move(pieces);
        m_bytes = bytes;
        return bytes;
    }

private:
    // Room for a record or two more than the previous text, the usual change.
    static constexpr qsizetype reserveSlack = 1024;

    struct Piece
    {
        qsizetype begin;
        qsizetype end;
        qsizetype length() const { return end - begin; }
    };

    QList<T> m_records;
    // m_bytes is "[" piece ("," piece)* "]", record i's piece at m_pieces[i] (empty when left out).
    QList<Piece> m_pieces;
    QByteArray m_bytes;
};

} // namespace vantorel
