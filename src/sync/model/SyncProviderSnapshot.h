#pragma once

#include "core/foundation/Date.h"
#include "sync/model/SyncProviderID.h"
#include "sync/model/SyncUsageWindow.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace vantorel {

// A sanitized picture of one provider as the Mac shows it; its identity is `id`.
struct SyncProviderSnapshot
{
    SyncProviderID id = SyncProviderID::codex;
    bool enabled = false;
    std::optional<QString> planName;
    // When the Mac last obtained this provider's usage.
    std::optional<Date> updatedAt;
    QString statusText;
    // A generic message when the Mac could not obtain the data.
    std::optional<QString> errorMessage;
    QList<SyncUsageWindow> windows;
    // Banked window-reset credits available, and the nearest expiry among them.
    std::optional<std::int64_t> bankedResetCount;
    std::optional<Date> bankedResetExpiresAt;
    // Remaining credits as display text.
    std::optional<QString> creditsRemaining;

    // Field by field; texts compare by canonical equivalence.
    bool operator==(const SyncProviderSnapshot& other) const;
};

Json toSyncJson(const SyncProviderSnapshot& provider);
void fromSyncJson(const Json& json, SyncProviderSnapshot& provider);

} // namespace vantorel
