#include "sync/net/ClientHelloHeader.h"

#include <algorithm>
#include <cstring>

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

ClientHelloHeader::Verdict ClientHelloHeader::append(QByteArrayView bytes)
{
    if (m_verdict != Verdict::incomplete)
        return m_verdict;
    const qsizetype taken = std::min(bytes.size(), missing());
    std::memcpy(m_bytes.data() + m_length, bytes.data(), size_t(taken));
    m_length += taken;
    m_verdict = judge();
    return m_verdict;
}

ClientHelloHeader::Verdict ClientHelloHeader::judge() const
{
    const char* bytes = m_bytes.data();
    if (m_length >= 1 && quint8(bytes[0]) != handshakeRecord)
        return Verdict::refused;
    // The record must hold the whole handshake header: a client never splits a hello that small.
    if (m_length >= recordHeaderBytes) {
        const quint32 recordLength = bigEndian(bytes + 3, 2);
        if (recordLength < handshakeHeaderBytes)
            return Verdict::refused;
    }
    if (m_length >= recordHeaderBytes + 1 && quint8(bytes[recordHeaderBytes]) != clientHelloMessage)
        return Verdict::refused;
    if (m_length < size)
        return Verdict::incomplete;
    const quint32 helloLength = bigEndian(bytes + recordHeaderBytes + 1, 3);
    return helloLength <= quint32(maximumClientHelloBytes) ? Verdict::accepted : Verdict::refused;
}

} // namespace vantorel
