#include "core/rules/PendingDiscordNotification.h"

#include "core/model/ModelCoding.h"

namespace vantorel {

PendingDiscordNotification::PendingDiscordNotification(QString id, QString content, Date createdAt,
                                                       std::int64_t attemptCount, std::optional<Date> nextAttemptAt,
                                                       std::optional<BankedResetExpiryIdentity> bankedResetExpiry,
                                                       std::optional<DiscordNotificationEvent> event, QUuid generation)
    : id(std::move(id))
    , generation(generation)
    , content(std::move(content))
    , createdAt(createdAt)
    , attemptCount(attemptCount)
    , nextAttemptAt(nextAttemptAt.value_or(createdAt))
    , bankedResetExpiry(std::move(bankedResetExpiry))
    , event(std::move(event))
{
}

Date PendingDiscordNotification::scheduledAttemptAt() const
{
    Date latest = nextAttemptAt;
    const auto consider = [&](const std::optional<Date>& date) {
        if (date && *date > latest) {
            latest = *date;
        }
    };
    consider(observationWaitUntil);
    consider(serverRetryNotBefore);
    if (bankedResetExpiry && bankedResetExpiryWait) {
        consider(bankedResetExpiryWait->until);
    }
    return latest;
}

bool PendingDiscordNotification::requiresCodexPeriodValidation() const
{
    if (!event || event->provider() != MonitoredProvider::codex) {
        return false;
    }
    return event->as<DiscordNotificationEvent::LowBalance>() || event->as<DiscordNotificationEvent::ActualReset>();
}

Json toJson(const PendingDiscordNotification& item)
{
    Json object = Json::object();
    object["id"] = json::str(item.id);
    object["generation"] = json::uuidValue(item.generation);
    object["content"] = json::str(item.content);
    object["createdAt"] = json::storeDateValue(item.createdAt);
    object["attemptCount"] = item.attemptCount;
    object["nextAttemptAt"] = json::storeDateValue(item.nextAttemptAt);
    coding::putDate(object, "observationWaitUntil", item.observationWaitUntil);
    coding::putDate(object, "serverRetryNotBefore", item.serverRetryNotBefore);
    if (item.bankedResetExpiry) {
        object["bankedResetExpiry"] = toJson(*item.bankedResetExpiry);
    }
    if (item.bankedResetExpiryWait) {
        object["bankedResetExpiryWait"] = toJson(*item.bankedResetExpiryWait);
    }
    coding::putDate(object, "bankedResetExpiryFailureStartedAt", item.bankedResetExpiryFailureStartedAt);
    if (item.event) {
        object["event"] = toJson(*item.event);
    }
    coding::putValue(object, "codexPeriodValidationVersion", item.codexPeriodValidationVersion);
    return object;
}

std::optional<PendingDiscordNotification> pendingDiscordNotificationFromJson(const Json& value)
{
    FieldReader reader(value);
    PendingDiscordNotification item;
    item.id = reader.string("id");
    item.generation = reader.uuid("generation");
    item.content = reader.string("content");
    item.createdAt = reader.date("createdAt");
    item.attemptCount = reader.integer("attemptCount");
    item.nextAttemptAt = reader.optionalDate("nextAttemptAt").value_or(item.createdAt);
    item.observationWaitUntil = reader.optionalDate("observationWaitUntil");
    item.serverRetryNotBefore = reader.optionalDate("serverRetryNotBefore");
    item.bankedResetExpiry = reader.optionalRecord("bankedResetExpiry", &bankedResetExpiryIdentityFromJson);
    item.bankedResetExpiryWait = reader.optionalRecord("bankedResetExpiryWait", &bankedResetExpiryWaitFromJson);
    item.bankedResetExpiryFailureStartedAt = reader.optionalDate("bankedResetExpiryFailureStartedAt");
    item.codexPeriodValidationVersion = reader.optionalInteger("codexPeriodValidationVersion");
    if (!reader.ok()) {
        return std::nullopt;
    }
    if (const Json* event = json::member(value, "event")) {
        item.event = discordNotificationEventFromJson(*event);
    }
    return item;
}

std::optional<QList<PendingDiscordNotification>> pendingDiscordNotificationsFromJson(const Json& value)
{
    if (!value.is_array()) {
        return std::nullopt;
    }
    QList<PendingDiscordNotification> items;
    for (const Json& element : value) {
        if (auto item = pendingDiscordNotificationFromJson(element)) {
            items.append(std::move(*item));
        }
    }
    return items;
}

} // namespace vantorel
