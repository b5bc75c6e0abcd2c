#include "MappedFonts.h"

#include <QFile>

namespace vantorel {

QStringList mappedFontFiles()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return {};
    QStringList files;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const auto at = line.indexOf("/usr/share/fonts/");
        if (at >= 0)
            files.append(QString::fromUtf8(line.mid(at)));
    }
    files.removeDuplicates();
    return files;
}

bool mapsCjkFont()
{
    return !mappedFontFiles().filter(QStringLiteral("CJK")).isEmpty();
}

} // namespace vantorel
