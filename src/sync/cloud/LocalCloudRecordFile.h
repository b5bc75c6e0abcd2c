#pragma once

#include "sync/cloud/CloudRecordID.h"
#include "sync/cloud/CloudRecordValue.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QUuid>

#include <optional>
#include <variant>

namespace vantorel {

// One record as the local-directory database keeps it on disk: type, name, change tag, and each
// field with its kind; an asset field names a file of the account's asset folder by UUID.
struct LocalCloudRecordFile
{
    using Value = std::variant<std::int64_t, double, bool, QString, QUuid, CloudOtherValue>;

    // Record files larger than this are damaged.
    static constexpr qint64 maximumBytes = 1'048'576;

    QString recordType;
    QString recordName;
    QString changeTag;
    QMap<QString, Value> fields;

    QByteArray encode() const;
    // Nothing when the bytes are not a well-formed record file (then it counts as damaged).
    static std::optional<LocalCloudRecordFile> decode(const QByteArray& bytes);

    // The assets the record refers to.
    QList<QUuid> assets() const;
};

} // namespace vantorel
