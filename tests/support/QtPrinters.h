#pragma once

#include <QString>
#include <QUuid>

#include <ostream>

// Lets GoogleTest show texts and ids in failure messages instead of their bytes.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QUuid& uuid, std::ostream* os)
{
    *os << uuid.toString(QUuid::WithoutBraces).toStdString();
}
