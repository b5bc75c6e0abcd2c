#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"
#include "core/model/MonitoredProvider.h"
#include "core/model/NotificationCategory.h"
#include "core/model/ServiceStatus.h"
#include "core/model/UsageAlertThreshold.h"
#include "core/rules/UsageNotificationWindow.h"

#include <QList>

#include <optional>
#include <variant>

namespace vantorel {

// What a queued Discord message reports, kept with the message so that it can be checked
// against newer readings before it goes out.
class DiscordNotificationEvent
{
public:
    struct LowBalance
    {
        MonitoredProvider provider = MonitoredProvider::codex;
        UsageNotificationWindow window = UsageNotificationWindow::fiveHour;
        UsageAlertThreshold threshold = UsageAlertThreshold::critical;
        // The window's reset date when the alert was raised.
        std::optional<Date> resetAt;
        Date observedAt;
        bool operator==(const LowBalance&) const = default;
    };
    struct ActualReset
    {
        MonitoredProvider provider = MonitoredProvider::codex;
        Date observedAt;
        bool operator==(const ActualReset&) const = default;
    };
    // Banked reset credits exist for Codex only.
    struct CouponGrant
    {
        Date observedAt;
        bool operator==(const CouponGrant&) const = default;
    };
    struct ServiceIncident
    {
        MonitoredProvider provider = MonitoredProvider::codex;
        // The components the message reports, each with the health it had then; order matters.
        QList<ServiceStatus> services;
        Date observedAt;
        bool operator==(const ServiceIncident&) const = default;
    };
    using Payload = std::variant<LowBalance, ActualReset, CouponGrant, ServiceIncident>;

    DiscordNotificationEvent(LowBalance payload) : m_payload(std::move(payload)) {}
    DiscordNotificationEvent(ActualReset payload) : m_payload(std::move(payload)) {}
    DiscordNotificationEvent(CouponGrant payload) : m_payload(std::move(payload)) {}
    DiscordNotificationEvent(ServiceIncident payload) : m_payload(std::move(payload)) {}

    const Payload& payload() const { return m_payload; }
    // The payload when the event is of that case, else null.
    template <typename T>
    const T* as() const
    {
        return std::get_if<T>(&m_payload);
    }

    // Grants belong to Codex.
    MonitoredProvider provider() const;
    NotificationCategory category() const;
    // The time of the reading that raised the event.
    Date observedAt() const;

    bool operator==(const DiscordNotificationEvent&) const = default;

private:
    Payload m_payload;
};

// A one-key object naming the case ("lowBalance", "actualReset", "couponGrant",
// "serviceIncident") whose value holds the payload; the threshold is its bare integer and
// "resetAt" is written only when present.
Json toJson(const DiscordNotificationEvent& event);
// Throws JsonDecodeError: with "Invalid number of keys found, expected one." unless exactly one
// key names a case, otherwise when the payload misses a key or holds a wrong value.
DiscordNotificationEvent discordNotificationEventFromJsonOrThrow(const Json& value);
std::optional<DiscordNotificationEvent> discordNotificationEventFromJson(const Json& value);

} // namespace vantorel
