#include "core/foundation/ShellQuoting.h"

namespace vantorel {

QString shellQuoted(const QString& value)
{
    QString inner = value;
    inner.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + inner + u'\'';
}

} // namespace vantorel
