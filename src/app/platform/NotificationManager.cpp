#include "app/platform/NotificationManager.h"

#include "app/platform/NotificationBackend.h"
#include "core/foundation/UuidText.h"

#include <QTimer>
#include <QUuid>

namespace vantorel {

namespace {

LocalNotificationRequest makeRequest(QString title, QString body)
{
    return {NotificationManager::identifierPrefix + uuidText(QUuid::createUuid()), std::move(title), std::move(body)};
}

} // namespace

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

void NotificationManager::send(QString title, QString body, bool enabled, Completion completion) const
{
    deliver(m_backend, std::move(title), std::move(body), enabled, std::move(completion));
}

QCoro::Task<> NotificationManager::deliver(std::shared_ptr<NotificationBackend> backend, QString title, QString body,
                                           bool enabled, Completion completion)
{
    auto result = LocalNotificationSubmissionResult::disabled;
    if (enabled) {
        result = LocalNotificationSubmissionResult::notAuthorized;
        if (co_await backend->authorizationStatus() == NotificationBackend::AuthorizationStatus::authorized) {
            const bool accepted = co_await backend->add(makeRequest(std::move(title), std::move(body)));
            result = accepted ? LocalNotificationSubmissionResult::accepted : LocalNotificationSubmissionResult::failed;
        }
    }
    if (completion) {
        // Posted, so a backend that answers at once still never calls back inside send().
        QTimer::singleShot(0, [completion = std::move(completion), result] { completion(result); });
    }
}

} // namespace vantorel
