#include "sync/model/SyncJsonWriter.h"

#include "core/foundation/UuidText.h"

namespace vantorel {

namespace {

// 0001-01-01T00:00:00Z and 9999-12-31T23:59:59Z in Unix seconds: four-digit years only, so
// every written date reads back.
constexpr double earliestUnixSeconds = -62'135'596'800.0;
constexpr double latestUnixSeconds = 253'402'300'799.0;

} // namespace

QString SyncJsonWriter::dateText(Date date)
{
    if (!date.isFinite())
        throw JsonEncodeError("date is not finite");
    if (!canWrite(date))
        throw JsonEncodeError("date outside the years 1 to 9999");
    return date.iso8601();
}

bool SyncJsonWriter::canWrite(Date date)
{
    const double unix = date.timeIntervalSince1970();
    return unix >= earliestUnixSeconds && unix < latestUnixSeconds + 1.0;
}

void SyncJsonWriter::set(std::string_view key, const QString& value)
{
    setJson(key, value.toStdString());
}

void SyncJsonWriter::set(std::string_view key, bool value)
{
    setJson(key, value);
}

void SyncJsonWriter::set(std::string_view key, std::int64_t value)
{
    setJson(key, value);
}

void SyncJsonWriter::set(std::string_view key, std::uint64_t value)
{
    setJson(key, value);
}

void SyncJsonWriter::set(std::string_view key, double value)
{
    setJson(key, value);
}

void SyncJsonWriter::set(std::string_view key, Date value)
{
    set(key, dateText(value));
}

void SyncJsonWriter::set(std::string_view key, const QUuid& value)
{
    set(key, uuidText(value));
}

void SyncJsonWriter::setBytes(std::string_view key, const QByteArray& value)
{
    set(key, QString::fromLatin1(value.toBase64()));
}

void SyncJsonWriter::setJson(std::string_view key, Json value)
{
    m_json[std::string(key)] = std::move(value);
}

} // namespace vantorel
