#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"
#include "sync/net/SyncCredential.h"

#include <QString>
#include <QUuid>

#include <cstdint>

namespace vantorel {

// A one-time pairing offer from the Mac, carried to the companion as a pairing URL.
struct PairingInvitation
{
    static constexpr std::int64_t currentSchemaVersion = 1;
    // An offer may lapse at most this long after the moment it is checked.
    static constexpr double maximumLifetimeSeconds = 360.0;
    static constexpr qsizetype maximumHostNameCharacters = 128;
    // Longest pairing URL read, in user-perceived characters after trimming.
    static constexpr qsizetype maximumURLCharacters = 4'096;
    static QString urlPrefix() { return QStringLiteral("vantorel-sync://pair#"); }

    std::int64_t schemaVersion = currentSchemaVersion;
    QUuid hostID;
    QString hostName;
    // The pairing listener's DNS-SD name: the lower-case host id followed by "-pair".
    QString serviceName;
    SyncCredential credential;
    Date expiresAt;

    // Only to be decoded into.
    PairingInvitation() = default;
    // Schema version 1 and the service name of `hostID`; the rest stored unchanged.
    PairingInvitation(const QUuid& hostID, QString hostName, SyncCredential credential, Date expiresAt);

    // Throws UsageSyncError, checking in this order: unsupportedVersion for another schema,
    // invitationExpired once `expiresAt` is not after `now`, invalidData for an expiry more
    // than 360 s ahead, a key that is not 32 bytes, an invalid host name, or a service name
    // that does not belong to `hostID`.
    void validate(Date now) const;

    // "vantorel-sync://pair#" followed by the padded standard Base64 of the invitation's JSON.
    // Throws JsonEncodeError when the invitation cannot be encoded.
    QString encodedString() const;

    // Reads a pairing URL and validates the invitation against `now`. Throws
    // UsageSyncError(invalidData) for text too long, another prefix or payload that is not
    // strict padded Base64; JsonDecodeError for a payload that is not an invitation; and
    // validate()'s errors.
    static PairingInvitation parse(const QString& text, Date now);

    // Texts compare by canonical equivalence, times exactly.
    bool operator==(const PairingInvitation& other) const;
};

Json toSyncJson(const PairingInvitation& invitation);
void fromSyncJson(const Json& json, PairingInvitation& invitation);

} // namespace vantorel
