#pragma once

#include "app/platform/AppNotificationAuthorizationState.h"
#include "app/platform/LocalNotificationRequest.h"
#include "app/platform/LocalNotificationSubmissionResult.h"

#include <QString>

#include <QCoroTask>

#include <functional>
#include <memory>

namespace vantorel {

class NotificationBackend;

// Posts the application's desktop notifications and tells whether it may. Stateless apart from
// its backend; each call is independent. Use it from a thread with an event loop (the GUI thread).
class NotificationManager
{
public:
    using Completion = std::function<void(LocalNotificationSubmissionResult)>;

    static inline const QString identifierPrefix = QStringLiteral("vantorel-");

    explicit NotificationManager(std::shared_ptr<NotificationBackend> backend);

    // `disabled` without asking anything when `enabled` (the settings switch) is off; otherwise
    // the backend's answer.
    QCoro::Task<AppNotificationAuthorizationState> authorizationState(bool enabled) const;

    // Returns at once. The notification is posted only when `enabled` is on and the backend
    // reports an authorised service; the completion, if any, then receives the outcome on a
    // later turn of the calling thread's event loop, never inside this call. It is called even if
    // the manager is gone by then.
    void send(QString title, QString body, bool enabled, Completion completion = {},
              LocalNotificationRequest::Urgency urgency = LocalNotificationRequest::Urgency::normal) const;

    // Runs `handler` on this thread each time the user clicks one of the notifications this
    // process posted. Replaces the handler set before.
    void setActivationHandler(std::function<void()> handler) const;

private:
    static QCoro::Task<> deliver(std::shared_ptr<NotificationBackend> backend, LocalNotificationRequest request,
                                 bool enabled, Completion completion);

    std::shared_ptr<NotificationBackend> m_backend;
};

} // namespace vantorel
