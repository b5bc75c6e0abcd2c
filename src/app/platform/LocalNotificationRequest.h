#pragma once

#include <QString>

namespace vantorel {

// One notification to show at once, with the desktop's default sound.
struct LocalNotificationRequest
{
    enum class Urgency {
        normal,
        // A balance about to run out: desktops may keep it on screen until it is dismissed.
        critical,
    };

    // "vantorel-" and a fresh upper-case UUID: never reused, so equal texts show twice.
    QString identifier;
    QString title;
    // Plain text; a backend whose desktop reads markup escapes it.
    QString body;
    Urgency urgency = Urgency::normal;

    bool operator==(const LocalNotificationRequest&) const = default;
};

} // namespace vantorel
