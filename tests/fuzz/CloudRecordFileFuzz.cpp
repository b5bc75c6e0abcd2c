// Feeds arbitrary bytes to the local cloud database's record-file reader. What it accepts must
// write out and read back as the same record.
#include "core/foundation/Json.h"
#include "sync/cloud/LocalCloudRecordFile.h"

#include <cstdint>
#include <cstdlib>

using namespace vantorel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto record = LocalCloudRecordFile::decode(bytes);
    if (!record)
        return 0;
    QByteArray written;
    try {
        written = record->encode();
    } catch (const JsonEncodeError&) {
        return 0; // an infinite number: the database refuses to write it back
    }
    const auto again = LocalCloudRecordFile::decode(written);
    if (!again || again->recordName != record->recordName || again->changeTag != record->changeTag
        || again->fields.keys() != record->fields.keys() || again->assets() != record->assets())
        std::abort();
    return 0;
}
