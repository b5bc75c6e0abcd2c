#include "sync/net/ClientHelloRecord.h"

#include <algorithm>

namespace vantorel {

namespace {

constexpr quint8 handshakeRecord = 22;
constexpr quint8 clientHelloMessage = 1;
constexpr qsizetype recordHeaderBytes = 5;
constexpr qsizetype handshakeHeaderBytes = 4;

quint32 bigEndian(const char* bytes, int count)
{
    quint32 value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | quint8(bytes[i]);
    return value;
}

} // namespace

qsizetype ClientHelloRecord::missing() const
{
    const auto length = qsizetype(m_bytes.size());
    if (m_verdict != Verdict::incomplete)
        return 0;
    if (length < headerBytes)
        return headerBytes - length;
    return recordHeaderBytes + qsizetype(bigEndian(m_bytes.data() + 3, 2)) - length;
}

ClientHelloRecord::Verdict ClientHelloRecord::append(QByteArrayView bytes)
{
    const qsizetype taken = std::min(bytes.size(), missing());
    if (taken == 0)
        return m_verdict;
    // Grown to exactly what arrived: a trickling peer holds no room it has not filled, and the
    // copies this costs are bounded by the largest hello let through.
    m_bytes.reserve(m_bytes.size() + size_t(taken));
    m_bytes.insert(m_bytes.end(), bytes.data(), bytes.data() + taken);
    m_verdict = judge();
    return m_verdict;
}

ClientHelloRecord::Verdict ClientHelloRecord::judge() const
{
    const char* bytes = m_bytes.data();
    const auto length = qsizetype(m_bytes.size());
    if (length >= 1 && quint8(bytes[0]) != handshakeRecord)
        return Verdict::refused;
    // The record must hold the whole handshake header: a client never splits a hello that small.
    if (length >= recordHeaderBytes && bigEndian(bytes + 3, 2) < handshakeHeaderBytes)
        return Verdict::refused;
    if (length >= recordHeaderBytes + 1 && quint8(bytes[recordHeaderBytes]) != clientHelloMessage)
        return Verdict::refused;
    if (length < headerBytes)
        return Verdict::incomplete;
    const quint32 helloLength = bigEndian(bytes + recordHeaderBytes + 1, 3);
    if (helloLength > quint32(maximumClientHelloBytes)
        || bigEndian(bytes + 3, 2) != quint32(handshakeHeaderBytes) + helloLength)
        return Verdict::refused;
    return length == recordHeaderBytes + handshakeHeaderBytes + qsizetype(helloLength) ? Verdict::accepted
                                                                                       : Verdict::incomplete;
}

} // namespace vantorel
