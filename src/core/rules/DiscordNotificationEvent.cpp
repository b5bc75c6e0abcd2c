#include "core/rules/DiscordNotificationEvent.h"

#include "core/model/ModelCoding.h"

#include <array>
#include <string_view>

namespace vantorel {

namespace {

constexpr std::array<std::string_view, 4> caseKeys{"lowBalance", "actualReset", "couponGrant", "serviceIncident"};

template <typename... Visitors>
struct Overloaded : Visitors...
{
    using Visitors::operator()...;
};

[[noreturn]] void failPayload(std::string_view caseKey)
{
    throw JsonDecodeError(std::string(caseKey) + ": a payload key is missing or holds a wrong value");
}

DiscordNotificationEvent decodePayload(std::string_view caseKey, const Json& inner)
{
    FieldReader reader(inner);
    const auto provider = [&] {
        return reader.enumeration("provider", &monitoredProviderFromRaw, MonitoredProvider::codex);
    };
    std::optional<DiscordNotificationEvent> event;
    if (caseKey == "lowBalance") {
        DiscordNotificationEvent::LowBalance payload;
        payload.provider = provider();
        payload.window = reader.enumeration("window", &usageNotificationWindowFromRaw, UsageNotificationWindow::fiveHour);
        const auto threshold = usageAlertThresholdFromRaw(reader.integer("threshold"));
        payload.resetAt = reader.optionalDate("resetAt");
        payload.observedAt = reader.date("observedAt");
        if (!threshold) {
            failPayload(caseKey);
        }
        payload.threshold = *threshold;
        event = DiscordNotificationEvent(payload);
    } else if (caseKey == "actualReset") {
        DiscordNotificationEvent::ActualReset payload;
        payload.provider = provider();
        payload.observedAt = reader.date("observedAt");
        event = DiscordNotificationEvent(payload);
    } else if (caseKey == "couponGrant") {
        event = DiscordNotificationEvent(DiscordNotificationEvent::CouponGrant{reader.date("observedAt")});
    } else {
        DiscordNotificationEvent::ServiceIncident payload;
        payload.provider = provider();
        payload.services = reader.list("services", &serviceStatusFromJson);
        payload.observedAt = reader.date("observedAt");
        event = DiscordNotificationEvent(payload);
    }
    if (!reader.ok()) {
        failPayload(caseKey);
    }
    return *event;
}

} // namespace

MonitoredProvider DiscordNotificationEvent::provider() const
{
    return std::visit(Overloaded{[](const CouponGrant&) { return MonitoredProvider::codex; },
                                 [](const auto& payload) { return payload.provider; }},
                      m_payload);
}

NotificationCategory DiscordNotificationEvent::category() const
{
    return std::visit(Overloaded{[](const LowBalance&) { return NotificationCategory::lowBalance; },
                                 [](const ActualReset&) { return NotificationCategory::actualReset; },
                                 [](const CouponGrant&) { return NotificationCategory::couponGrant; },
                                 [](const ServiceIncident&) { return NotificationCategory::serviceIncidents; }},
                      m_payload);
}

Date DiscordNotificationEvent::observedAt() const
{
    return std::visit([](const auto& payload) { return payload.observedAt; }, m_payload);
}

Json toJson(const DiscordNotificationEvent& event)
{
    Json inner = Json::object();
    const auto putProvider = [&](MonitoredProvider provider) { inner["provider"] = json::str(rawValue(provider)); };
    std::visit(Overloaded{[&](const DiscordNotificationEvent::LowBalance& payload) {
                              putProvider(payload.provider);
                              inner["window"] = json::str(rawValue(payload.window));
                              inner["threshold"] = rawValue(payload.threshold);
                              coding::putDate(inner, "resetAt", payload.resetAt);
                          },
                          [&](const DiscordNotificationEvent::ActualReset& payload) { putProvider(payload.provider); },
                          [](const DiscordNotificationEvent::CouponGrant&) {},
                          [&](const DiscordNotificationEvent::ServiceIncident& payload) {
                              putProvider(payload.provider);
                              inner["services"] = toJsonArray(payload.services);
                          }},
               event.payload());
    inner["observedAt"] = json::storeDateValue(event.observedAt());
    Json outer = Json::object();
    outer[std::string(caseKeys[event.payload().index()])] = std::move(inner);
    return outer;
}

DiscordNotificationEvent discordNotificationEventFromJsonOrThrow(const Json& value)
{
    if (!value.is_object()) {
        throw JsonDecodeError("Expected to decode an object for the event.");
    }
    std::optional<std::string_view> caseKey;
    int caseKeyCount = 0;
    for (const std::string_view key : caseKeys) {
        if (value.contains(key)) {
            caseKey = key;
            ++caseKeyCount;
        }
    }
    if (caseKeyCount != 1) {
        throw JsonDecodeError("Invalid number of keys found, expected one.");
    }
    return decodePayload(*caseKey, value.at(std::string(*caseKey)));
}

std::optional<DiscordNotificationEvent> discordNotificationEventFromJson(const Json& value)
{
    try {
        return discordNotificationEventFromJsonOrThrow(value);
    } catch (const JsonDecodeError&) {
        return std::nullopt;
    }
}

} // namespace vantorel
