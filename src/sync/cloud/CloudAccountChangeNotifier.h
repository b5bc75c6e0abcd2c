#pragma once

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

#include <optional>

namespace vantorel {

// Reports changes of the signed-in account of the local-directory database: accountChanged()
// fires on the main thread once per change of the account file's content, whether it was
// rewritten, replaced or removed. The account's first appearance (the folder being made) is no
// change, and neither is content that names no account (a rewrite in place passes through it).
// Watches the folder, or while it does not exist the nearest existing parent.
class CloudAccountChangeNotifier final : public QObject
{
    Q_OBJECT

public:
    explicit CloudAccountChangeNotifier(QString root, QObject* parent = nullptr);

signals:
    void accountChanged();

private:
    void watch();
    void check();

    QString m_root;
    QFileSystemWatcher m_watcher;
    std::optional<QByteArray> m_known;
};

} // namespace vantorel
