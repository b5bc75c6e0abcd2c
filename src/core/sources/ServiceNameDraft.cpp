#include "core/sources/ServiceNameDraft.h"

namespace vantorel {

namespace {

// Every character the platform's newline set holds: LF, VT, FF, CR, NEL, LS and PS (a CR LF pair
// only leaves an empty piece behind, which is dropped).
bool isNewline(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

} // namespace

QStringList ServiceNameDraft::names(const QString& text)
{
    QStringList names;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isNewline(text.at(i)))
            continue;
        const QString name = text.mid(start, i - start).trimmed();
        if (!name.isEmpty())
            names.append(name);
        start = i + 1;
    }
    return names;
}

} // namespace vantorel
