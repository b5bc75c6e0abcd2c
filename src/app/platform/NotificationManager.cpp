#include "app/platform/NotificationManager.h"

#include "app/platform/NotificationBackend.h"
#include "core/foundation/UuidText.h"

#include <QTimer>
#include <QUuid>

namespace vantorel {

NotificationManager::NotificationManager(std::shared_ptr<NotificationBackend> backend)
    : m_backend(std::move(backend))
{
}

QCoro::Task<AppNotificationAuthorizationState> NotificationManager::authorizationState(bool enabled) const
{
    if (!enabled)
        co_return AppNotificationAuthorizationState::disabled;
    const auto backend = m_backend;
    switch (co_await backend->authorizationStatus()) {
    case NotificationBackend::AuthorizationStatus::authorized:
        co_return AppNotificationAuthorizationState::authorized;
    case NotificationBackend::AuthorizationStatus::denied:
        co_return AppNotificationAuthorizationState::denied;
    case NotificationBackend::AuthorizationStatus::notDetermined:
        break;
    }
    co_return AppNotificationAuthorizationState::notDetermined;
}

void NotificationManager::send(QString title, QString body, bool enabled, Completion completion,
                               LocalNotificationRequest::Urgency urgency) const
{
    LocalNotificationRequest request{identifierPrefix + uuidText(QUuid::createUuid()), std::move(title),
                                     std::move(body), urgency};
    deliver(m_backend, std::move(request), enabled, std::move(completion));
}

void NotificationManager::setActivationHandler(std::function<void()> handler) const
{
    m_backend->setActivationHandler(std::move(handler));
}

QCoro::Task<> NotificationManager::deliver(std::shared_ptr<NotificationBackend> backend,
                                           LocalNotificationRequest request, bool enabled, Completion completion)
{
    auto result = LocalNotificationSubmissionResult::disabled;
    if (enabled) {
        result = LocalNotificationSubmissionResult::notAuthorized;
        if (co_await backend->authorizationStatus() == NotificationBackend::AuthorizationStatus::authorized) {
            const bool accepted = co_await backend->add(std::move(request));
            result = accepted ? LocalNotificationSubmissionResult::accepted : LocalNotificationSubmissionResult::failed;
        }
    }
    if (completion) {
        // Posted, so a backend that answers at once still never calls back inside send().
        QTimer::singleShot(0, [completion = std::move(completion), result] { completion(result); });
    }
}

} // namespace vantorel
