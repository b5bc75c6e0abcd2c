#include "core/foundation/UuidText.h"

namespace vantorel {

QString uuidText(const QUuid& uuid)
{
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> parseUuidStrict(QStringView text)
{
    if (text.size() != 36) {
        return std::nullopt;
    }
    for (qsizetype i = 0; i < 36; ++i) {
        const QChar c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != QLatin1Char('-')) {
                return std::nullopt;
            }
        } else if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
                       || (c >= QLatin1Char('A') && c <= QLatin1Char('F')))) {
            return std::nullopt;
        }
    }
    return QUuid::fromString(text);
}

std::optional<QUuid> parseUuid(QStringView text)
{
    if (text.size() == 38 && text.front() == QLatin1Char('{') && text.back() == QLatin1Char('}')) {
        return parseUuidStrict(text.mid(1, 36));
    }
    return parseUuidStrict(text);
}

} // namespace vantorel
