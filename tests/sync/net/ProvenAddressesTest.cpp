#include "sync/net/ProvenAddresses.h"
#include "support/SocketAddress.h"

#include <gtest/gtest.h>

using namespace vantorel;

namespace {

QByteArray address(const char* text)
{
    return ProvenAddresses::addressOf(test::socketAddress(text));
}

} // namespace

// Hosts of one home network share the phone's /64: only its very address is remembered.
TEST(ProvenAddressesTest, RemembersTheVeryAddressForItsLifetime)
{
    ProvenAddresses proven;
    proven.remember(address("fd00:1:2:3:aaaa::1"), 1'000);
    proven.remember(address("192.168.1.20"), 1'000);
    EXPECT_TRUE(proven.contains(address("fd00:1:2:3:aaaa::1"), 1'000));
    EXPECT_FALSE(proven.contains(address("fd00:1:2:3:aaaa::2"), 1'000));
    EXPECT_TRUE(proven.contains(address("::ffff:192.168.1.20"), 1'000)) << "a dual-stack listener's view of IPv4";
    EXPECT_FALSE(proven.contains(address("192.168.1.21"), 1'000));
    EXPECT_FALSE(proven.contains(QByteArray(), 1'000));

    const qint64 end = 1'000 + ProvenAddresses::lifetimeMilliseconds;
    EXPECT_TRUE(proven.contains(address("192.168.1.20"), end));
    EXPECT_FALSE(proven.contains(address("192.168.1.20"), end + 1));
    // Proving again starts its lifetime anew.
    proven.remember(address("192.168.1.20"), end);
    EXPECT_TRUE(proven.contains(address("192.168.1.20"), end + 1));
}

TEST(ProvenAddressesTest, BeyondItsPlacesTheAddressProvenLongestAgoIsForgotten)
{
    ProvenAddresses proven;
    for (int i = 0; i < ProvenAddresses::maximumAddresses; ++i)
        proven.remember(QByteArray(4, char(i)), 100 + i);
    // The first proves again: the second is now the one proven longest ago.
    proven.remember(QByteArray(4, char(0)), 200);
    proven.remember(QByteArray(4, '\x7f'), 201);
    EXPECT_TRUE(proven.contains(QByteArray(4, char(0)), 201));
    EXPECT_FALSE(proven.contains(QByteArray(4, char(1)), 201));
    for (int i = 2; i < ProvenAddresses::maximumAddresses; ++i)
        EXPECT_TRUE(proven.contains(QByteArray(4, char(i)), 201)) << i;
    EXPECT_TRUE(proven.contains(QByteArray(4, '\x7f'), 201));
}
