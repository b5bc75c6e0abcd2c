#include "core/rules/BankedResetExpiryIdentity.h"

#include "core/model/ModelCoding.h"

#include <QCryptographicHash>

namespace vantorel {

QString BankedResetExpiryIdentity::notificationID() const
{
    QByteArray input = creditID.toUtf8();
    input.append('\n');
    input.append(shortestDoubleText(expiresAt.timeIntervalSinceReferenceDate()).toLatin1());
    const QByteArray digest = QCryptographicHash::hash(input, QCryptographicHash::Sha256).toHex();
    return QStringLiteral("banked-reset-expiry-") + QString::fromLatin1(digest);
}

Json toJson(const BankedResetExpiryIdentity& identity)
{
    Json object = Json::object();
    object["creditID"] = json::str(identity.creditID);
    object["expiresAt"] = json::storeDateValue(identity.expiresAt);
    return object;
}

std::optional<BankedResetExpiryIdentity> bankedResetExpiryIdentityFromJson(const Json& value)
{
    FieldReader reader(value);
    BankedResetExpiryIdentity identity;
    identity.creditID = reader.string("creditID");
    identity.expiresAt = reader.date("expiresAt");
    if (!reader.ok()) {
        return std::nullopt;
    }
    return identity;
}

} // namespace vantorel
