#pragma once

#include "support/QtPrinters.h"

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"

#include <QString>
#include <QUuid>

#include <ostream>

namespace vantorel {

inline void PrintTo(const Date& date, std::ostream* os)
{
    *os << swiftDoubleDescription(date.timeIntervalSinceReferenceDate()).toStdString();
}

namespace testing_support {

// 2026-03-01T08:15:00Z
inline const Date referenceTime = Date::fromUnixSeconds(1'772'352'900);

inline QUuid uuid(const char* text)
{
    return QUuid::fromString(QLatin1StringView(text));
}

inline QString storeText(const Json& value)
{
    return QString::fromUtf8(json::write(value, json::Form::store));
}

} // namespace testing_support
} // namespace vantorel
