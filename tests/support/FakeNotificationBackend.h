#pragma once

#include "app/platform/NotificationBackend.h"

#include <QList>

#include <memory>

namespace vantorel {

// A notification service in memory: answers a set authorisation and acceptance, records what
// was posted and how often it was asked, and lets a test click a notification.
class FakeNotificationBackend final : public NotificationBackend
{
public:
    FakeNotificationBackend();

    void setAuthorizationStatus(AuthorizationStatus status);
    void setAccepts(bool accepts);

    int statusQueryCount() const;
    QList<LocalNotificationRequest> posted() const;
    // What a click on a posted notification does: runs the activation handler, if any.
    void activate() const;

    QCoro::Task<AuthorizationStatus> authorizationStatus() override;
    QCoro::Task<bool> add(LocalNotificationRequest request) override;
    void setActivationHandler(std::function<void()> handler) override;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace vantorel
