#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QUrl>

namespace vantorel {

// A snapshot payload written to a file of its own, so that it can be attached to a record:
// "snapshot.json" (0600) in a fresh "vantorel-cloud-<UUID>" directory (0700) of the given folder
// (the database's own temporary folder). Whoever makes one removes it.
class CloudTemporaryAsset
{
public:
    // Throws CloudSyncError invalidData for an empty or oversized payload, and unavailable when
    // the file cannot be written; nothing is left behind then.
    explicit CloudTemporaryAsset(const QByteArray& data, const QString& folder = QDir::tempPath());

    const QUrl& url() const { return m_url; }

    // Deletes the directory with its file. Never fails.
    void remove() const;

private:
    QUrl m_url;
};

} // namespace vantorel
