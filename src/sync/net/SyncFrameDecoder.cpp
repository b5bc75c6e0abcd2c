#include "sync/net/SyncFrameDecoder.h"

#include "sync/model/UsageSyncError.h"
#include "sync/net/SyncWire.h"

#include <QtEndian>

#include <algorithm>

namespace vantorel {

QList<QByteArray> SyncFrameDecoder::append(const QByteArray& chunk)
{
    QList<QByteArray> payloads;
    for (qsizetype offset = 0; offset < chunk.size(); offset += sliceBytes) {
        m_buffer.append(chunk.constData() + offset, std::min(sliceBytes, chunk.size() - offset));
        while (m_buffer.size() >= SyncWire::headerBytes) {
            const auto length = qFromBigEndian<std::uint32_t>(m_buffer.constData());
            if (length == 0 || length > SyncWire::maximumPayloadBytes) {
                m_buffer.clear();
                throw UsageSyncError(UsageSyncError::Code::invalidData);
            }
            const qsizetype frameBytes = SyncWire::headerBytes + static_cast<qsizetype>(length);
            if (m_buffer.size() < frameBytes)
                break;
            payloads.append(QByteArray(m_buffer.constData() + SyncWire::headerBytes, length));
            m_buffer.remove(0, frameBytes);
        }
    }
    return payloads;
}

} // namespace vantorel
