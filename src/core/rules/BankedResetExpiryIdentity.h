#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"

#include <QString>

#include <optional>

namespace vantorel {

// One banked reset credit at one expiry date: a credit whose expiry moves is a new identity.
struct BankedResetExpiryIdentity
{
    QString creditID;
    Date expiresAt;

    // The stable outbox id of the expiry warning: "banked-reset-expiry-" and the lower-case
    // SHA-256 hex digest of the UTF-8 credit id, a line feed and the expiry's seconds since
    // 2001 in shortest round-trip decimal.
    QString notificationID() const;

    bool operator==(const BankedResetExpiryIdentity&) const = default;
};

Json toJson(const BankedResetExpiryIdentity& identity);
std::optional<BankedResetExpiryIdentity> bankedResetExpiryIdentityFromJson(const Json& value);

} // namespace vantorel
