#include "support/FakeNotificationBackend.h"

namespace vantorel {

struct FakeNotificationBackend::State
{
    AuthorizationStatus status = AuthorizationStatus::authorized;
    bool accepts = true;
    int statusQueries = 0;
    QList<LocalNotificationRequest> posted;
    std::function<void()> activationHandler;
};

FakeNotificationBackend::FakeNotificationBackend()
    : m_state(std::make_shared<State>())
{
}

void FakeNotificationBackend::setAuthorizationStatus(AuthorizationStatus status)
{
    m_state->status = status;
}

void FakeNotificationBackend::setAccepts(bool accepts)
{
    m_state->accepts = accepts;
}

int FakeNotificationBackend::statusQueryCount() const
{
    return m_state->statusQueries;
}

QList<LocalNotificationRequest> FakeNotificationBackend::posted() const
{
    return m_state->posted;
}

void FakeNotificationBackend::activate() const
{
    if (m_state->activationHandler)
        m_state->activationHandler();
}

void FakeNotificationBackend::setActivationHandler(std::function<void()> handler)
{
    m_state->activationHandler = std::move(handler);
}

QCoro::Task<NotificationBackend::AuthorizationStatus> FakeNotificationBackend::authorizationStatus()
{
    ++m_state->statusQueries;
    co_return m_state->status;
}

QCoro::Task<bool> FakeNotificationBackend::add(LocalNotificationRequest request)
{
    m_state->posted.append(std::move(request));
    co_return m_state->accepts;
}

} // namespace vantorel
