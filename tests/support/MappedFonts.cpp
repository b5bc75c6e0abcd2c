#include "MappedFonts.h"

#include <QFile>

namespace vantorel {

QStringList mappedFonts()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    QStringList files;
    if (maps.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : maps.readAll().split('\n'))
            if (line.contains("/usr/share/fonts/"))
                files.append(QString::fromUtf8(line.mid(line.indexOf('/'))));
    }
    files.removeDuplicates();
    return files;
}

QStringList mappedCjkFonts()
{
    return mappedFonts().filter(QStringLiteral("CJK"));
}

} // namespace vantorel
