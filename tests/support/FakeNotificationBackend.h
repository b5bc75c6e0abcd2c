#pragma once

#include "app/platform/NotificationBackend.h"

#include <QList>

#include <memory>

namespace vantorel {

// A notification service in memory: answers a set authorisation and acceptance, records what
// was posted and how often it was asked.
class FakeNotificationBackend final : public NotificationBackend
{
public:
    FakeNotificationBackend();

    void setAuthorizationStatus(AuthorizationStatus status);
    void setAccepts(bool accepts);

    int statusQueryCount() const;
    QList<LocalNotificationRequest> posted() const;

    QCoro::Task<AuthorizationStatus> authorizationStatus() override;
    QCoro::Task<bool> add(LocalNotificationRequest request) override;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace vantorel
