#include "sync/model/SyncCoding.h"
#include "sync/model/UsageSyncError.h"
#include "sync/net/PairedHost.h"
#include "sync/net/PairingInvitation.h"
#include "sync/net/RegisteredSyncDevice.h"
#include "sync/net/SyncCredential.h"

#include "sync/net/NetTestOutcome.h"

#include <gtest/gtest.h>

#include <QList>

#include <functional>
#include <optional>

using namespace vantorel;
using Code = UsageSyncError::Code;

namespace {

const QUuid hostID("{0a1b2c3d-4e5f-4a6b-8c7d-9e0fabcdef12}");
const Date now = Date::fromUnixSeconds(1'772'323'200.0);

PairingInvitation invitation(double lifetime = 300.0)
{
    return PairingInvitation(hostID, QStringLiteral("作業用Mac"), SyncCredential{QUuid("{11111111-2222-4333-8444-555555555555}"), QByteArray(32, '\x7f')},
                             now + lifetime);
}

QString urlOf(const QByteArray& json)
{
    return PairingInvitation::urlPrefix() + QString::fromLatin1(json.toBase64());
}

} // namespace

TEST(PairingInvitationTest, ValidatesInOrder)
{
    struct Case
    {
        const char* name;
        std::function<void(PairingInvitation&)> change;
        std::string expected;
    };
    const QList<Case> cases = {
        {"fresh", [](PairingInvitation&) {}, "ok"},
        {"expires now", [](PairingInvitation& i) { i.expiresAt = now; }, "invitationExpired"},
        {"one second left", [](PairingInvitation& i) { i.expiresAt = now + 1; }, "ok"},
        {"exactly 360 s", [](PairingInvitation& i) { i.expiresAt = now + 360; }, "ok"},
        {"360.5 s", [](PairingInvitation& i) { i.expiresAt = now + 360.5; }, "invalidData"},
        {"NaN expiry", [](PairingInvitation& i) { i.expiresAt = Date(std::nan("")); }, "invitationExpired"},
        {"version 2 checked before expiry", [](PairingInvitation& i) { i.schemaVersion = 2; i.expiresAt = now - 10; }, "unsupportedVersion"},
        {"expiry checked before the key", [](PairingInvitation& i) { i.expiresAt = now; i.credential.key.resize(16); }, "invitationExpired"},
        {"31-byte key", [](PairingInvitation& i) { i.credential.key.resize(31); }, "invalidData"},
        {"33-byte key", [](PairingInvitation& i) { i.credential.key.resize(33); }, "invalidData"},
        {"128-character host name", [](PairingInvitation& i) { i.hostName = QString(128, u'a'); }, "ok"},
        {"129-character host name", [](PairingInvitation& i) { i.hostName = QString(129, u'a'); }, "invalidData"},
        {"control character in host name", [](PairingInvitation& i) { i.hostName = QStringLiteral("Mac\u0007"); }, "invalidData"},
        {"empty host name", [](PairingInvitation& i) { i.hostName.clear(); }, "ok"},
        {"service name in upper case", [](PairingInvitation& i) { i.serviceName = i.serviceName.toUpper(); }, "invalidData"},
        {"service name without -pair", [](PairingInvitation& i) { i.serviceName.chop(5); }, "invalidData"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PairingInvitation offer = invitation();
        c.change(offer);
        EXPECT_EQ(outcomeOf([&] { offer.validate(now); }), c.expected);
    }
}

TEST(PairingInvitationTest, UrlRoundTripKeepsEverythingButSubSecondExpiry)
{
    const PairingInvitation whole = invitation(300);
    const QString url = whole.encodedString();
    EXPECT_TRUE(url.startsWith(QStringLiteral("vantorel-sync://pair#")));
    EXPECT_EQ(PairingInvitation::parse(url, now), whole);

    const PairingInvitation fractional = invitation(300.25);
    const PairingInvitation parsed = PairingInvitation::parse(fractional.encodedString(), now);
    EXPECT_NE(parsed, fractional);
    PairingInvitation truncated = fractional;
    truncated.expiresAt = now + 300;
    EXPECT_EQ(parsed, truncated);

    // Keys sorted, the key as padded Base64 of 44 characters.
    const QByteArray json = SyncCoding::encode(whole);
    EXPECT_TRUE(json.startsWith(R"({"credential":{"id":"11111111-2222-4333-8444-555555555555","key":")"));
    EXPECT_TRUE(json.contains(R"(,"schemaVersion":1,"serviceName":"0a1b2c3d-4e5f-4a6b-8c7d-9e0fabcdef12-pair"})"));
}

TEST(PairingInvitationTest, ParseRefusesMalformedUrls)
{
    const QString url = invitation().encodedString();
    const QString payload = url.mid(PairingInvitation::urlPrefix().size());
    QString unpadded = payload;
    while (unpadded.endsWith(u'='))
        unpadded.chop(1);
    ASSERT_NE(unpadded, payload) << "the test needs a payload that ends in padding";

    QByteArray unknownKey = SyncCoding::encode(invitation());
    unknownKey.replace("{\"credential\"", "{\"zzz\":1,\"credential\"");
    QByteArray noServiceName = SyncCoding::encode(invitation());
    noServiceName.replace("\"serviceName\"", "\"serviceNam_\"");

    struct Case
    {
        const char* name;
        QString text;
        std::string expected;
    };
    const QList<Case> cases = {
        {"as written", url, "ok"},
        {"surrounding white space", QStringLiteral(" \t\n") + url + QStringLiteral("\r\n "), "ok"},
        {"line break inside the payload", url.left(40) + u'\n' + url.mid(40), "invalidData"},
        {"unpadded Base64", PairingInvitation::urlPrefix() + unpadded, "invalidData"},
        {"URL-safe alphabet character", PairingInvitation::urlPrefix() + u'_' + payload.mid(1), "invalidData"},
        {"upper-case scheme", QStringLiteral("VANTOREL-SYNC://pair#") + payload, "invalidData"},
        {"other scheme", QStringLiteral("https://pair#") + payload, "invalidData"},
        {"4,097 characters", PairingInvitation::urlPrefix() + QString(4'097 - PairingInvitation::urlPrefix().size(), u'A'), "invalidData"},
        {"bare prefix", PairingInvitation::urlPrefix(), "decode"},
        {"not JSON", PairingInvitation::urlPrefix() + QStringLiteral("aGVsbG8="), "decode"},
        {"unknown key", urlOf(unknownKey), "ok"},
        {"missing serviceName", urlOf(noServiceName), "decode"},
        {"expired", invitation(-1).encodedString(), "invitationExpired"},
        {"too far ahead", invitation(400).encodedString(), "invalidData"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(outcomeOf([&] { PairingInvitation::parse(c.text, now); }), c.expected);
    }
}

TEST(SyncCredentialTest, RandomCredentialsAreFreshAndFailuresMapToKeychainFailure)
{
    const SyncCredential first = SyncCredential::random();
    const SyncCredential second = SyncCredential::random();
    EXPECT_EQ(first.key.size(), 32);
    EXPECT_NE(first.key, second.key);
    EXPECT_NE(first.id, second.id);
    EXPECT_EQ(first.id.version(), QUuid::Random);

    EXPECT_EQ(outcomeOf([] { SyncCredential::random([](char*, qsizetype) { return false; }); }), "keychainFailure");
}

TEST(SyncCredentialTest, RecordsRoundTripThroughSyncJson)
{
    const SyncCredential credential{QUuid("{abcdefab-cdef-4abc-8def-abcdefabcdef}"), QByteArray(32, '\xff')};
    EXPECT_EQ(SyncCoding::encode(credential),
              R"({"id":"ABCDEFAB-CDEF-4ABC-8DEF-ABCDEFABCDEF","key":"\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/\/8="})");

    const PairedHost host{hostID, QStringLiteral("Mac"), credential, now};
    EXPECT_EQ(host.serviceName(), QStringLiteral("0a1b2c3d-4e5f-4a6b-8c7d-9e0fabcdef12"));
    EXPECT_EQ(SyncCoding::decode<PairedHost>(SyncCoding::encode(host)), host);
    const RegisteredSyncDevice device{QStringLiteral("iPhone"), credential, now};
    EXPECT_EQ(SyncCoding::encode(device),
              QByteArray(R"({"credential":)") + SyncCoding::encode(credential)
                  + R"(,"deviceName":"iPhone","pairedAt":"2026-03-01T00:00:00Z"})");
    EXPECT_EQ(SyncCoding::decode<RegisteredSyncDevice>(SyncCoding::encode(device)), device);
    EXPECT_THROW(SyncCoding::decode<RegisteredSyncDevice>(R"({"deviceName":"x","pairedAt":"2026-03-01T00:00:00Z"})"),
                 JsonDecodeError);
}
