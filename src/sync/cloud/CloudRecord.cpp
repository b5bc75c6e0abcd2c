#include "sync/cloud/CloudRecord.h"

#include <algorithm>

namespace vantorel {

CloudRecord::CloudRecord(QString recordType, CloudRecordID recordID)
    : m_recordType(std::move(recordType))
    , m_recordID(std::move(recordID))
{
}

const CloudRecordValue* CloudRecord::value(const QString& key) const
{
    const auto it = m_fields.constFind(key);
    return it == m_fields.constEnd() ? nullptr : &it.value();
}

void CloudRecord::setValue(const QString& key, std::optional<CloudRecordValue> value)
{
    if (value)
        m_fields.insert(key, std::move(*value));
    else
        m_fields.remove(key);
    m_changedKeys.insert(key);
}

QStringList CloudRecord::allKeys() const
{
    return m_fields.keys();
}

QStringList CloudRecord::changedKeys() const
{
    QStringList keys(m_changedKeys.cbegin(), m_changedKeys.cend());
    std::sort(keys.begin(), keys.end());
    return keys;
}

} // namespace vantorel
