// Feeds arbitrary bytes to the frame decoder in arbitrary chunks, and the payloads it returns to
// the envelope decoder. Half of the inputs are first cut into pieces and framed with correct
// lengths, so the fuzzer reaches the envelope and message decoding instead of failing on
// random length fields.
#include "sync/model/SyncCoding.h"
#include "sync/model/UsageSyncError.h"
#include "sync/net/SyncEnvelope.h"
#include "sync/net/SyncFrameDecoder.h"
#include "sync/net/SyncWire.h"

#include <QtEndian>

#include <cstdint>
#include <cstdlib>

using namespace vantorel;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const qsizetype chunkSize = 1 + data[0] * 131;
    const bool rewriteLengths = data[1] & 1;
    const QByteArray input(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2));

    QByteArray stream;
    if (rewriteLengths) {
        for (const QByteArray& piece : input.split('\xff')) {
            if (!piece.isEmpty())
                stream += SyncWire::frame(piece);
        }
    } else {
        stream = input;
    }

    SyncFrameDecoder decoder;
    for (qsizetype offset = 0; offset < stream.size(); offset += chunkSize) {
        try {
            for (const QByteArray& payload : decoder.append(stream.mid(offset, chunkSize))) {
                check(!payload.isEmpty() && payload.size() <= qsizetype(SyncWire::maximumPayloadBytes));
                try {
                    const SyncEnvelope envelope = SyncCoding::decode<SyncEnvelope>(payload);
                    // Whatever decodes must encode again and read back the same way.
                    const QByteArray again = SyncCoding::encode(envelope);
                    check(SyncCoding::decode<SyncEnvelope>(again).version == envelope.version);
                } catch (const JsonDecodeError&) {
                } catch (const JsonEncodeError&) {
                } catch (const UsageSyncError&) {
                }
            }
        } catch (const UsageSyncError& error) {
            check(error.code() == UsageSyncError::Code::invalidData && decoder.bufferedBytes() == 0);
            check(!rewriteLengths);
        }
        const qsizetype buffered = decoder.bufferedBytes();
        if (buffered >= 4) {
            const auto length = qFromBigEndian<std::uint32_t>(stream.constData() + (offset + std::min(chunkSize, stream.size() - offset)) - buffered);
            check(length >= 1 && length <= SyncWire::maximumPayloadBytes);
        }
    }
    return 0;
}
