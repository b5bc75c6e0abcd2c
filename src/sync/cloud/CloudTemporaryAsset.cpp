#include "sync/cloud/CloudTemporaryAsset.h"

#include "core/foundation/UuidText.h"
#include "sync/cloud/CloudSnapshotCodec.h"
#include "sync/cloud/CloudSyncError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>

namespace vantorel {

CloudTemporaryAsset::CloudTemporaryAsset(const QByteArray& data, const QString& folder)
{
    if (data.isEmpty() || data.size() > CloudSnapshotCodec::maximumPayloadBytes)
        throw CloudSyncError(CloudSyncError::Code::invalidData);
    const QString directory
        = QDir(folder).filePath(QStringLiteral("vantorel-cloud-") + uuidText(QUuid::createUuid()));
    const QString path = QDir(directory).filePath(QStringLiteral("snapshot.json"));
    // No intermediate directories, and an existing directory is not ours to use or remove.
    if (::mkdir(QFile::encodeName(directory).constData(), 0700) != 0)
        throw CloudSyncError(CloudSyncError::Code::unavailable);
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit()
        && QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!written) {
        QDir(directory).removeRecursively();
        throw CloudSyncError(CloudSyncError::Code::unavailable);
    }
    m_url = QUrl::fromLocalFile(path);
}

void CloudTemporaryAsset::remove() const
{
    if (m_url.isLocalFile())
        QDir(QFileInfo(m_url.toLocalFile()).path()).removeRecursively();
}

} // namespace vantorel
