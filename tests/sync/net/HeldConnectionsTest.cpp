#include "fuzz/HeldConnectionsScenario.h"
#include "sync/net/HeldConnections.h"
#include "sync/net/ProvenAddresses.h"
#include "support/SocketAddress.h"

#include <QList>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace vantorel;

namespace {

QByteArray group(const char* address)
{
    return HeldConnections::addressGroup(ProvenAddresses::addressOf(test::socketAddress(address)));
}

QList<int> takeAllInTurn(HeldConnections& held)
{
    QList<int> order;
    for (int descriptor = held.next(); descriptor >= 0; descriptor = held.next())
        order.append(descriptor);
    return order;
}

} // namespace

TEST(HeldConnectionsTest, PeersAreGroupedByIpv4AddressOrIpv6Slash64)
{
    EXPECT_EQ(group("192.168.1.20"), group("::ffff:192.168.1.20")) << "a dual-stack listener's view of IPv4";
    EXPECT_NE(group("192.168.1.20"), group("192.168.1.21"));
    EXPECT_EQ(group("2001:db8:1:2::1"), group("2001:db8:1:2:ffff:ffff:ffff:ffff"));
    EXPECT_NE(group("2001:db8:1:2::1"), group("2001:db8:1:3::1"));
    EXPECT_NE(group("127.0.0.1"), group("127.0.0.2"));
}

TEST(HeldConnectionsTest, AddressesTakeTurnsHoweverManyOneOfThemQueued)
{
    HeldConnections held(100, 1000);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(held.hold(group("127.0.0.2"), 100 + i), -1);
    EXPECT_EQ(held.hold(group("127.0.0.1"), 1), -1);
    EXPECT_EQ(held.hold(group("127.0.0.3"), 300), -1);
    EXPECT_EQ(held.hold(group("127.0.0.1"), 2), -1);
    const QList<int> order = takeAllInTurn(held);
    ASSERT_EQ(order.size(), 53);
    // The flooding address had its turn first, as it came first; then every address in turn, each
    // one's oldest first.
    EXPECT_EQ(order.mid(0, 6), (QList<int>{100, 1, 300, 101, 2, 102}));
    EXPECT_EQ(order.mid(6), [] {
        QList<int> rest;
        for (int i = 3; i < 50; ++i)
            rest.append(100 + i);
        return rest;
    }());
    EXPECT_TRUE(held.isEmpty());
    EXPECT_EQ(held.next(), -1);
}

TEST(HeldConnectionsTest, AFloodGivesUpItsOwnOldestAndNeverAnotherAddress)
{
    HeldConnections held(3, 5);
    EXPECT_EQ(held.hold(group("127.0.0.1"), 1), -1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(held.hold(group("127.0.0.2"), 10 + i), -1);
    // Beyond its share, an address gives up its own oldest.
    EXPECT_EQ(held.hold(group("127.0.0.2"), 13), 10);
    EXPECT_EQ(held.hold(group("127.0.0.3"), 20), -1);
    EXPECT_EQ(held.size(), 5);
    // Every place taken: the address holding most gives up its oldest, whoever comes.
    EXPECT_EQ(held.hold(group("127.0.0.4"), 30), 11);
    EXPECT_EQ(held.hold(group("127.0.0.2"), 14), 12);
    EXPECT_EQ(held.size(), 5);
    std::vector<int> all = held.takeAll();
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<int>{1, 13, 14, 20, 30}));
    EXPECT_TRUE(held.isEmpty());
    EXPECT_EQ(held.next(), -1);
}

// Random holds from up to 1,024 addresses and takes, checked at every step against a model of
// what must be held: groups outnumber one hash span many times over and every place is taken, so
// nearly every hold gives a group up, and the hash moves entries about as groups empty.
TEST(HeldConnectionsTest, ManyMoreAddressesThanPlacesKeepEveryGroupsTurnAndOldest)
{
    for (const std::uint8_t perAddress : {0, 1}) {
        std::mt19937 random(perAddress + 1);
        // One or two places an address, 256 in all.
        std::vector<std::uint8_t> bytes{perAddress, 56};
        for (int op = 0; op < 6'000; ++op) {
            // Seven holds from any address for each take.
            const std::uint8_t kind = op % 8 == 7 ? 3 : std::uint8_t(random() % 2);
            bytes.push_back(std::uint8_t(kind | (random() % 4) << 2));
            bytes.push_back(std::uint8_t(random()));
        }
        EXPECT_EQ(fuzz::playHeldConnections(bytes.data(), bytes.size()), "") << int(perAddress) + 1 << " an address";
    }
}
