#pragma once

#include <QDir>
#include <QFile>
#include <QList>
#include <QMap>
#include <QString>

namespace vantorel::test {

// The niceness of each of this process's threads, by thread id, read from /proc. Header-only so
// that benchmarks can use it too.
inline QMap<QString, int> threadNiceness()
{
    QMap<QString, int> niceness;
    for (const QString& task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/self/task/") + task + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // After the command name: state is the third field, niceness the nineteenth.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 16)
            niceness.insert(task, fields.at(16).toInt());
    }
    return niceness;
}

} // namespace vantorel::test
