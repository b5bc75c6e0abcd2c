#pragma once

#include "app/platform/LocalNotificationRequest.h"

#include <QCoroTask>

#include <functional>

namespace vantorel {

// The desktop's notification service as NotificationManager needs it. Calls run on the caller's
// thread without blocking it and end within the backend's own time-out.
class NotificationBackend
{
public:
    enum class AuthorizationStatus { notDetermined, denied, authorized };

    virtual ~NotificationBackend() = default;

    // Whether notifications can be shown now. Never throws: a service that cannot be asked is
    // `notDetermined`.
    virtual QCoro::Task<AuthorizationStatus> authorizationStatus() = 0;

    // Hands the notification over for immediate display; true when the service accepted it.
    // Never throws.
    virtual QCoro::Task<bool> add(LocalNotificationRequest request) = 0;

    // Runs `handler` on this thread each time the user activates (clicks) a notification this
    // backend posted, never for another program's. Replaces the handler set before.
    virtual void setActivationHandler(std::function<void()> handler) = 0;
};

} // namespace vantorel
