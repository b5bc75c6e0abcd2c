#include "app/platform/LocalHostName.h"

#include <QFile>
#include <QSysInfo>

namespace vantorel {

QString LocalHostName::current(const QString& machineInfo)
{
    QFile file(machineInfo);
    if (file.open(QIODevice::ReadOnly)) {
        const QString pretty = prettyHostName(file.read(maximumMachineInfoSize));
        if (!pretty.isEmpty())
            return pretty;
    }
    const QString host = QSysInfo::machineHostName();
    return host.isEmpty() ? QStringLiteral("Mac") : host;
}

QString LocalHostName::prettyHostName(const QByteArray& machineInfo)
{
    for (const QByteArray& line : machineInfo.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.startsWith("PRETTY_HOSTNAME="))
            continue;
        QString value = QString::fromUtf8(trimmed.mid(int(sizeof("PRETTY_HOSTNAME=")) - 1));
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front()) {
            const QChar quote = value.front();
            value = value.mid(1, value.size() - 2);
            // Inside double quotes the writer escapes \ " $ ` with a backslash.
            if (quote == u'"') {
                QString unescaped;
                for (qsizetype i = 0; i < value.size(); ++i) {
                    if (value[i] == u'\\' && i + 1 < value.size())
                        ++i;
                    unescaped += value[i];
                }
                value = unescaped;
            }
        }
        return value.trimmed();
    }
    return {};
}

} // namespace vantorel
