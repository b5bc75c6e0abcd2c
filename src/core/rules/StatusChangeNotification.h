#pragma once

#include <QString>

namespace vantorel {

// The notification built when status-page components got worse.
struct StatusChangeNotification
{
    QString title;
    QString body;

    bool operator==(const StatusChangeNotification&) const = default;
};

} // namespace vantorel
