#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"

#include <QString>

#include <optional>

namespace vantorel {

// One banked reset credit ("リセット券") of a Codex reading, as the app-server reports it.
struct BankedResetCredit
{
    QString id;
    std::optional<QString> resetType;
    std::optional<QString> status;
    std::optional<Date> grantedAt;
    std::optional<Date> expiresAt;
    std::optional<QString> title;
    std::optional<QString> description;

    // The status reads "available", compared trimmed and without regard to case.
    bool isAvailable() const;

    bool operator==(const BankedResetCredit&) const = default;
};

Json toJson(const BankedResetCredit& credit);
std::optional<BankedResetCredit> bankedResetCreditFromJson(const Json& value);

} // namespace vantorel
