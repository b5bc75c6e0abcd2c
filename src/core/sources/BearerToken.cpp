#include "core/sources/BearerToken.h"

namespace vantorel {

std::optional<QByteArray> BearerToken::authorization(const QString& token)
{
    const QString trimmed = token.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    for (const QChar c : trimmed) {
        if (c.unicode() < 0x21 || c.unicode() > 0x7E)
            return std::nullopt;
    }
    return QByteArrayLiteral("Bearer ") + trimmed.toLatin1();
}

} // namespace vantorel
