#pragma once

#include "sync/cloud/CloudRecordID.h"
#include "sync/cloud/CloudRecordValue.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace vantorel {

// One record of the private database: a type, an identifier, fields by key, and the change tag
// the server gave the version it handed out. A plain value: copies share nothing mutable, so a
// record may be handed between threads.
class CloudRecord
{
public:
    CloudRecord(QString recordType, CloudRecordID recordID);

    const QString& recordType() const { return m_recordType; }
    const CloudRecordID& recordID() const { return m_recordID; }

    // Absent for a record the server has not stored yet.
    const std::optional<QString>& recordChangeTag() const { return m_recordChangeTag; }
    void setRecordChangeTag(std::optional<QString> tag) { m_recordChangeTag = std::move(tag); }

    // The value under `key`, or null when the key holds nothing.
    const CloudRecordValue* value(const QString& key) const;
    // Sets `key`, or clears it with nullopt. Either way the key counts as changed, so a save
    // sends it, and a cleared key is removed on the server even if it was never fetched.
    void setValue(const QString& key, std::optional<CloudRecordValue> value);

    // Keys that hold a value, sorted.
    QStringList allKeys() const;
    // Keys set or cleared since the record was made, sorted.
    QStringList changedKeys() const;
    // Forgets which keys changed, as a record the server has just handed out.
    void clearChangedKeys() { m_changedKeys.clear(); }

    // An independent copy to write into.
    CloudRecord copy() const { return *this; }

    bool operator==(const CloudRecord& other) const = default;

private:
    QString m_recordType;
    CloudRecordID m_recordID;
    std::optional<QString> m_recordChangeTag;
    QMap<QString, CloudRecordValue> m_fields;
    QSet<QString> m_changedKeys;
};

} // namespace vantorel
