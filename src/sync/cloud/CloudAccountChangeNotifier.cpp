#include "sync/cloud/CloudAccountChangeNotifier.h"

#include "sync/cloud/LocalDirectoryCloudDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vantorel {

namespace {

// A file that names no account is no account: the database moves it aside without the account
// having changed.
std::optional<QByteArray> readAccount(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(LocalDirectoryCloudDatabase::maximumAccountBytes + 1);
    if (!LocalDirectoryCloudDatabase::isAccountName(bytes))
        return std::nullopt;
    return bytes;
}

} // namespace

CloudAccountChangeNotifier::CloudAccountChangeNotifier(QString root, QObject* parent)
    : QObject(parent)
    , m_root(std::move(root))
{
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { check(); });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { check(); });
    m_known = readAccount(QDir(m_root).filePath(QStringLiteral("account")));
    watch();
}

void CloudAccountChangeNotifier::watch()
{
    const QString account = QDir(m_root).filePath(QStringLiteral("account"));
    QString directory = m_root;
    while (!QFileInfo::exists(directory) && QFileInfo(directory).path() != directory)
        directory = QFileInfo(directory).path();
    QStringList wanted{directory};
    if (QFileInfo::exists(account))
        wanted.append(account);
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    for (const QString& path : watched) {
        if (!wanted.contains(path))
            m_watcher.removePath(path);
    }
    for (const QString& path : wanted) {
        if (!watched.contains(path))
            m_watcher.addPath(path);
    }
}

void CloudAccountChangeNotifier::check()
{
    // A replaced file drops out of the watch, and a new folder must be watched itself.
    watch();
    const auto current = readAccount(QDir(m_root).filePath(QStringLiteral("account")));
    const bool changed = m_known && current != m_known;
    m_known = current;
    if (changed)
        emit accountChanged();
}

} // namespace vantorel
