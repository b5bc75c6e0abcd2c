#include "sync/net/PairingInvitation.h"

#include "sync/model/SyncCoding.h"
#include "sync/model/SyncDisplayName.h"
#include "sync/model/SyncJsonReader.h"
#include "sync/model/SyncJsonWriter.h"
#include "sync/model/SyncText.h"
#include "sync/model/UsageSyncError.h"
#include "sync/net/SyncServiceName.h"

namespace vantorel {

namespace {

[[noreturn]] void refuse(UsageSyncError::Code code)
{
    throw UsageSyncError(code);
}

bool isBase64Alphabet(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

// Strict standard Base64: whole padded groups, alphabet characters only, "=" only at the end.
// Qt alone would accept missing padding.
std::optional<QByteArray> strictBase64(QStringView text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    qsizetype padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == u'=')
        ++padding;
    for (qsizetype i = 0; i < text.size() - padding; ++i) {
        const QChar c = text[i];
        if (c.unicode() > 0x7f || !isBase64Alphabet(static_cast<char>(c.unicode())))
            return std::nullopt;
    }
    const auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return decoded.decoded;
}

} // namespace

PairingInvitation::PairingInvitation(const QUuid& hostID, QString hostName, SyncCredential credential, Date expiresAt)
    : hostID(hostID)
    , hostName(std::move(hostName))
    , serviceName(SyncServiceName::pairing(hostID))
    , credential(std::move(credential))
    , expiresAt(expiresAt)
{
}

void PairingInvitation::validate(Date now) const
{
    using Code = UsageSyncError::Code;
    if (schemaVersion != currentSchemaVersion)
        refuse(Code::unsupportedVersion);
    if (!(expiresAt > now))
        refuse(Code::invitationExpired);
    if (!(expiresAt.timeIntervalSince(now) <= maximumLifetimeSeconds))
        refuse(Code::invalidData);
    if (credential.key.size() != SyncCredential::keyBytes)
        refuse(Code::invalidData);
    if (!SyncDisplayName::isValid(hostName, maximumHostNameCharacters))
        refuse(Code::invalidData);
    if (serviceName != SyncServiceName::pairing(hostID))
        refuse(Code::invalidData);
}

QString PairingInvitation::encodedString() const
{
    return urlPrefix() + QString::fromLatin1(SyncCoding::encode(*this).toBase64());
}

PairingInvitation PairingInvitation::parse(const QString& text, Date now)
{
    const QString trimmed = text.trimmed();
    if (SyncText::exceedsCharacters(trimmed, maximumURLCharacters))
        refuse(UsageSyncError::Code::invalidData);
    if (!trimmed.startsWith(urlPrefix(), Qt::CaseSensitive))
        refuse(UsageSyncError::Code::invalidData);
    const auto payload = strictBase64(QStringView(trimmed).mid(urlPrefix().size()));
    if (!payload)
        refuse(UsageSyncError::Code::invalidData);
    const auto invitation = SyncCoding::decode<PairingInvitation>(*payload);
    invitation.validate(now);
    return invitation;
}

bool PairingInvitation::operator==(const PairingInvitation& other) const
{
    return schemaVersion == other.schemaVersion && hostID == other.hostID
        && SyncText::canonicallyEqual(hostName, other.hostName)
        && SyncText::canonicallyEqual(serviceName, other.serviceName) && credential == other.credential
        && expiresAt == other.expiresAt;
}

Json toSyncJson(const PairingInvitation& invitation)
{
    SyncJsonWriter out;
    out.set("schemaVersion", invitation.schemaVersion);
    out.set("hostID", invitation.hostID);
    out.set("hostName", invitation.hostName);
    out.set("serviceName", invitation.serviceName);
    out.setJson("credential", toSyncJson(invitation.credential));
    out.set("expiresAt", invitation.expiresAt);
    return out.take();
}

void fromSyncJson(const Json& json, PairingInvitation& invitation)
{
    const SyncJsonReader in(json, "PairingInvitation");
    invitation.schemaVersion = in.integer("schemaVersion");
    invitation.hostID = in.uuid("hostID");
    invitation.hostName = in.string("hostName");
    invitation.serviceName = in.string("serviceName");
    invitation.credential = in.record<SyncCredential>("credential");
    invitation.expiresAt = in.date("expiresAt");
}

} // namespace vantorel
