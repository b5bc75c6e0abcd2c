#pragma once

#include <QHashFunctions>
#include <QString>

namespace vantorel {

// Names one record of the private database: a record name inside a zone.
struct CloudRecordID
{
    static inline const QString defaultZoneName = QStringLiteral("_defaultZone");

    QString recordName;
    QString zoneName = defaultZoneName;

    bool operator==(const CloudRecordID& other) const = default;
};

inline size_t qHash(const CloudRecordID& id, size_t seed = 0)
{
    return qHashMulti(seed, id.recordName, id.zoneName);
}

} // namespace vantorel
