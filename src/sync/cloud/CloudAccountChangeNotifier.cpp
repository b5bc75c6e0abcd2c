#include "sync/cloud/CloudAccountChangeNotifier.h"

#include "sync/cloud/LocalDirectoryCloudDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vantorel {

namespace {

struct AccountReading
{
    // False when the content names no account: damaged, or caught in the middle of a rewrite in
    // place. That tells nothing yet: the database replaces lasting damage with a fresh account,
    // which is the change then.
    bool conclusive = true;
    // Nothing when there is no file.
    std::optional<QByteArray> account;
};

AccountReading readAccount(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.read(LocalDirectoryCloudDatabase::maximumAccountBytes + 1);
    if (!LocalDirectoryCloudDatabase::isAccountName(bytes))
        return {false, std::nullopt};
    return {true, std::move(bytes)};
}

} // namespace

CloudAccountChangeNotifier::CloudAccountChangeNotifier(QString root, QObject* parent)
    : QObject(parent)
    , m_root(std::move(root))
{
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { check(); });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { check(); });
    m_known = readAccount(QDir(m_root).filePath(QStringLiteral("account"))).account;
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
    const AccountReading current = readAccount(QDir(m_root).filePath(QStringLiteral("account")));
    if (!current.conclusive)
        return;
    const bool changed = m_known && current.account != m_known;
    m_known = current.account;
    if (changed)
        emit accountChanged();
}

} // namespace vantorel
