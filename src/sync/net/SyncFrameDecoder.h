#pragma once

#include <QByteArray>
#include <QList>

namespace vantorel {

// Cuts a received byte stream back into frame payloads. Between calls `buffer` holds fewer than
// 4 bytes or starts with a valid length whose frame is not complete yet.
class SyncFrameDecoder
{
public:
    // Chunks are consumed in slices of this size, so the buffer never holds more than one
    // incomplete frame plus one slice however large a chunk is.
    static constexpr qsizetype sliceBytes = 16'384;

    // Appends `chunk` and returns the payloads of every frame it completed, oldest first.
    // A length of 0 or over the limit empties the buffer and throws UsageSyncError(invalidData)
    // as soon as its 4 bytes are in; payloads completed earlier in the same call are dropped.
    QList<QByteArray> append(const QByteArray& chunk);

    qsizetype bufferedBytes() const { return m_buffer.size(); }

private:
    QByteArray m_buffer;
};

} // namespace vantorel
