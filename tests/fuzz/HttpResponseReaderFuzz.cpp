// Feeds arbitrary bytes to the HTTP answer reader, whole and split at a point the input chooses.
// Both readings must agree, and what is kept must stay within the bounds.
#include "core/foundation/HttpResponseReader.h"

#include <cstdint>
#include <cstdlib>

using namespace vantorel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    constexpr qint64 bodyLimit = 4096;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
    const qsizetype split = bytes.isEmpty() ? 0 : data[0] % bytes.size();

    HttpResponseReader whole(false, bodyLimit);
    whole.feed(bytes);
    whole.finish();
    HttpResponseReader pieces(false, bodyLimit);
    pieces.feed(bytes.first(split));
    pieces.feed(bytes.sliced(split));
    pieces.finish();

    if (whole.state() != pieces.state() || whole.body() != pieces.body() || whole.headers() != pieces.headers())
        std::abort();
    if (whole.body().size() > bodyLimit || whole.headers().fields().size() > HttpResponseReader::maximumHeaderLines)
        std::abort();
    return 0;
}
