#include "core/foundation/UuidText.h"
#include "sync/model/SyncCoding.h"
#include "sync/net/NetworkError.h"
#include "sync/net/SyncEnvelope.h"
#include "sync/net/SyncNetworkFailure.h"
#include "sync/net/SyncNetworkParameters.h"

#include "sync/net/NetTestOutcome.h"

#include <gtest/gtest.h>

#include <QList>

#include <cerrno>

using namespace vantorel;

namespace {

// "readSnapshot", "pair:<name>", ... for a decoded message; "error" when decoding failed.
std::string decodeMessage(const QByteArray& json)
{
    try {
        const auto envelope = SyncCoding::decode<SyncEnvelope>(R"({"version":1,"message":)" + json + "}");
        const SyncMessage& message = envelope.message;
        if (message.as<SyncMessage::ReadSnapshot>())
            return "readSnapshot";
        if (const auto* pair = message.as<SyncMessage::Pair>())
            return "pair:" + pair->deviceName.toStdString();
        if (const auto* failure = message.as<SyncMessage::Failure>())
            return "failure:" + rawValue(failure->error.code()).toStdString();
        if (message.as<SyncMessage::Paired>())
            return "paired";
        return "snapshot";
    } catch (const JsonDecodeError&) {
        return "error";
    }
}

} // namespace

TEST(SyncMessageTest, EncodesEachCaseUnderItsNameInsideASortedEnvelope)
{
    const PairedHost host{QUuid("{0a1b2c3d-4e5f-4a6b-8c7d-9e0fabcdef12}"), QStringLiteral("Mac"),
                          SyncCredential{QUuid("{11111111-2222-4333-8444-555555555555}"), QByteArray(32, 'k')},
                          Date::fromUnixSeconds(1'772'323'200.0)};
    struct Case
    {
        SyncMessage message;
        QByteArray json;
    };
    const QList<Case> cases = {
        {SyncMessage::readSnapshot(), R"({"message":{"readSnapshot":{}},"version":1})"},
        {SyncMessage::pair(QStringLiteral("iPhone")), R"({"message":{"pair":{"deviceName":"iPhone"}},"version":1})"},
        {SyncMessage::failure(UsageSyncError(UsageSyncError::Code::pairingRejected)),
         R"({"message":{"failure":{"_0":{"pairingRejected":{}}}},"version":1})"},
        {SyncMessage::paired(host), R"({"message":{"paired":{"_0":)" + SyncCoding::encode(host) + R"(}},"version":1})"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SyncCoding::encode(SyncEnvelope{1, c.message}), c.json);

    const auto decoded = SyncCoding::decode<SyncEnvelope>(cases[3].json);
    ASSERT_NE(decoded.message.as<SyncMessage::Paired>(), nullptr);
    EXPECT_EQ(decoded.message.as<SyncMessage::Paired>()->host, host);
}

TEST(SyncMessageTest, DecodingNeedsExactlyOneCaseKeyHoldingAnObject)
{
    struct Case
    {
        QByteArray json;
        std::string expected;
    };
    const QList<Case> cases = {
        {R"({"readSnapshot":{}})", "readSnapshot"},
        {R"({"readSnapshot":{"x":1}})", "readSnapshot"},
        {R"({"readSnapshot":{},"hello":1})", "readSnapshot"},
        {R"({"readSnapshot":null})", "error"},
        {R"({"readSnapshot":true})", "error"},
        {R"({})", "error"},
        {R"({"hello":{}})", "error"},
        {R"({"readSnapshot":{},"pair":{"deviceName":"a"}})", "error"},
        {R"([])", "error"},
        {R"({"pair":{}})", "error"},
        {R"({"pair":{"deviceName":7}})", "error"},
        {R"({"pair":{"deviceName":""}})", "pair:"},
        {R"({"snapshot":{}})", "error"},
        {R"({"failure":{"_0":{"timedOut":{}}}})", "failure:timedOut"},
        {R"({"failure":{"_0":{"nope":{}}}})", "error"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodeMessage(c.json), c.expected) << c.json.toStdString();
}

TEST(SyncMessageTest, EnvelopeReadsAnyIntegerVersionButNeedsBothKeys)
{
    EXPECT_EQ(SyncCoding::decode<SyncEnvelope>(R"({"message":{"readSnapshot":{}},"version":2})").version, 2);
    EXPECT_THROW(SyncCoding::decode<SyncEnvelope>(R"({"message":{"readSnapshot":{}}})"), JsonDecodeError);
    EXPECT_THROW(SyncCoding::decode<SyncEnvelope>(R"({"version":1})"), JsonDecodeError);
    EXPECT_THROW(SyncCoding::decode<SyncEnvelope>(R"({"message":{"hello":{}},"version":2})"), JsonDecodeError);
}

TEST(SyncNetworkFailureTest, ClassifiesByKindAndCode)
{
    using Code = UsageSyncError::Code;
    struct Case
    {
        NetworkError error;
        bool denied;
        Code expected;
    };
    const QList<Case> cases = {
        {NetworkError::posix(EPERM), false, Code::localNetworkDenied},
        {NetworkError::posix(EACCES), false, Code::localNetworkDenied},
        {NetworkError::posix(ECONNREFUSED), false, Code::unavailable},
        {NetworkError::dnsServiceDiscovery(-65570), false, Code::localNetworkDenied},
        {NetworkError::dnsServiceDiscovery(-65537), false, Code::unavailable},
        {NetworkError::tls(-9806), false, Code::authenticationFailed},
        {NetworkError::tls(0), false, Code::authenticationFailed},
        {NetworkError{}, false, Code::unavailable},
        {NetworkError::tls(-9806), true, Code::localNetworkDenied},
        {NetworkError::posix(ECONNREFUSED), true, Code::localNetworkDenied},
        // Qt's socket errors reach the same verdicts.
        {NetworkError::fromSocketError(QAbstractSocket::SslHandshakeFailedError), false, Code::authenticationFailed},
        {NetworkError::fromSocketError(QAbstractSocket::ConnectionRefusedError), false, Code::unavailable},
        {NetworkError::fromSocketError(QAbstractSocket::SocketAccessError), false, Code::localNetworkDenied},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SyncNetworkFailure::classify(c.error, c.denied).code(), c.expected)
            << static_cast<int>(c.error.kind) << " " << c.error.code;
}

TEST(SyncNetworkParametersTest, NeedsA32ByteKeyAndUsesTheUpperCaseIdentity)
{
    const QUuid id("{abcdef01-2345-4678-9abc-def012345678}");
    for (qsizetype size : {0, 31, 33})
        EXPECT_EQ(outcomeOf([&] { SyncNetworkParameters::make({id, QByteArray(size, 'k')}); }), "invalidData") << size;
    const PskParameters parameters = SyncNetworkParameters::make({id, QByteArray(32, 'k')});
    EXPECT_EQ(parameters.identity, "ABCDEF01-2345-4678-9ABC-DEF012345678");
    EXPECT_EQ(parameters.key, QByteArray(32, 'k'));
}
