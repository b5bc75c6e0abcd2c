#include "sync/net/PreferredConnections.h"
#include "support/MemoryPskClient.h"

#include <QHash>
#include <QList>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

using namespace vantorel;
using Opening = PreferredConnections::Opening;

namespace {

QList<int> takeAllInOrder(PreferredConnections& held)
{
    QList<int> order;
    for (int descriptor = held.next(); descriptor >= 0; descriptor = held.next())
        order.append(descriptor);
    return order;
}

} // namespace

TEST(PreferredConnectionsTest, PeersThatGotFurthestStartFirstTheOldestAmongEquals)
{
    PreferredConnections held([](int) { return Opening::silent; }, 8);
    EXPECT_EQ(held.hold(1, Opening::silent), -1);
    EXPECT_EQ(held.hold(2, Opening::hopeless), -1);
    EXPECT_EQ(held.hold(3, Opening::wholeHello), -1);
    EXPECT_EQ(held.hold(4, Opening::partial), -1);
    EXPECT_EQ(held.hold(5, Opening::wholeHello), -1);
    EXPECT_EQ(held.hold(6, Opening::silent), -1);
    EXPECT_EQ(takeAllInOrder(held), (QList<int>{3, 5, 4, 1, 6, 2}));
    EXPECT_TRUE(held.isEmpty());
}

// Every place taken: the peer that got least far gives way, the oldest among equals, after a look
// at whether it has spoken since; a newcomer that got less far than all goes itself.
TEST(PreferredConnectionsTest, AFullLaneGivesUpWhoGotLeastFarAfterLookingAgain)
{
    QHash<int, Opening> now;
    QList<int> looked;
    PreferredConnections held(
        [&](int descriptor) {
            looked.append(descriptor);
            return now.value(descriptor, Opening::silent);
        },
        3);
    EXPECT_EQ(held.hold(1, Opening::silent), -1);
    EXPECT_EQ(held.hold(10, Opening::wholeHello), -1);
    EXPECT_EQ(held.hold(2, Opening::silent), -1);
    EXPECT_EQ(held.hold(3, Opening::silent), 1);
    EXPECT_EQ(held.hold(4, Opening::hopeless), 4) << "the newcomer got least far";
    // The phone's own connection was seen silent at its accept, and has sent its hello since.
    now[2] = Opening::wholeHello;
    EXPECT_EQ(held.hold(5, Opening::partial), 3);
    EXPECT_EQ(looked, (QList<int>{1, 2, 3}));
    // A peer that left since its accept is given up as it is.
    now[5] = Opening::hopeless;
    EXPECT_EQ(held.hold(6, Opening::partial), 5);
    EXPECT_EQ(held.size(), 3);
    EXPECT_EQ(takeAllInOrder(held), (QList<int>{10, 2, 6}));
}

// Peers sending whole hellos from the phone's address cannot be told from it: none is given up for
// another, a newcomer waits beyond the places, in turn, and only beyond the waiting places is one
// turned away, the newest. The oldest is looked at again first: a peer that sent its hello and left
// keeps no place.
TEST(PreferredConnectionsTest, WholeHellosWaitTheirTurnBeyondThePlacesUntilTheWaitingPlacesAreTaken)
{
    QHash<int, Opening> now;
    QList<int> looked;
    PreferredConnections held(
        [&](int descriptor) {
            looked.append(descriptor);
            return now.value(descriptor, Opening::wholeHello);
        },
        2, 2);
    EXPECT_EQ(held.hold(1, Opening::wholeHello), -1);
    EXPECT_EQ(held.hold(2, Opening::wholeHello), -1);
    EXPECT_EQ(held.hold(3, Opening::wholeHello), -1);
    EXPECT_EQ(held.hold(4, Opening::wholeHello), -1);
    EXPECT_EQ(held.hold(5, Opening::wholeHello), 5) << "every waiting place is taken";
    EXPECT_EQ(held.hold(6, Opening::partial), 6) << "every waiting place is taken";
    EXPECT_EQ(looked, (QList<int>{1, 1, 1})) << "the oldest, before each whole hello beyond the places";
    now[1] = Opening::hopeless;
    EXPECT_EQ(held.hold(7, Opening::wholeHello), 1) << "it left after its hello";
    EXPECT_EQ(held.next(), 2);
    EXPECT_EQ(held.hold(8, Opening::wholeHello), -1);
    EXPECT_EQ(takeAllInOrder(held), (QList<int>{3, 4, 7, 8}));
}

// A connection accepted before its hello arrived looks silent: among whole hellos it waits its turn
// as one, and goes only if it is still silent once it is the oldest, while a hopeless one goes at
// once. Before, the phone moved to a new address and remembered there lost reads this way.
TEST(PreferredConnectionsTest, ANewcomerSeenSilentAmongWholeHellosWaitsItsTurnAsOne)
{
    QHash<int, Opening> now;
    PreferredConnections held([&](int descriptor) { return now.value(descriptor, Opening::wholeHello); }, 2, 4);
    held.hold(1, Opening::wholeHello, "flood");
    held.hold(2, Opening::wholeHello, "flood");
    EXPECT_EQ(held.hold(3, Opening::hopeless, "flood"), 3);
    now[4] = Opening::silent;
    EXPECT_EQ(held.hold(4, Opening::silent, "flood"), -1);
    EXPECT_EQ(held.hold(5, Opening::silent, "phone"), -1);
    EXPECT_EQ(held.hold(6, Opening::partial, "flood"), -1);
    EXPECT_EQ(held.next(), 1);
    EXPECT_EQ(held.next(), 5) << "the phone's turn, alternating with the flood";
    EXPECT_EQ(held.next(), 2);
    // Peer 4 never spoke: once the oldest, the next newcomer's look gives it up.
    EXPECT_EQ(held.hold(7, Opening::wholeHello, "flood"), 4);
    EXPECT_EQ(takeAllInOrder(held), (QList<int>{6, 7}));
}

// A flood from one remembered address must not hold back the phone on another: starts alternate
// between addresses among the peers that got furthest, the oldest first.
TEST(PreferredConnectionsTest, StartsAlternateBetweenAddressesAmongThoseThatGotFurthest)
{
    PreferredConnections held([](int) { return Opening::wholeHello; }, 16, 16);
    for (int i = 1; i <= 6; ++i)
        held.hold(i, Opening::wholeHello, "flood");
    held.hold(7, Opening::wholeHello, "phone");
    held.hold(8, Opening::silent, "other");
    held.hold(9, Opening::wholeHello, "phone");
    EXPECT_EQ(takeAllInOrder(held), (QList<int>{1, 7, 2, 9, 3, 4, 5, 6, 8}));
}

TEST(PreferredConnectionsTest, APeekTellsHowFarAPeerGotAndLeavesItsBytes)
{
    test::MemoryPskClient client({"0F6C1D58-6E33-4A7B-9B52-3C5D2E1F0A99", QByteArray(32, 'k')});
    client.handshake();
    const QByteArray hello = client.takeOutput();
    struct Case
    {
        const char* name;
        QByteArray sent;
        bool ended;
        Opening expected;
    };
    const QList<Case> cases = {
        {"nothing yet", {}, false, Opening::silent},
        {"left without a byte", {}, true, Opening::hopeless},
        {"part of a hello", hello.left(20), false, Opening::partial},
        {"part of a hello, then left", hello.left(20), true, Opening::hopeless},
        {"a whole hello", hello, false, Opening::wholeHello},
        {"a whole hello, then left", hello, true, Opening::hopeless},
        {"plain HTTP", "GET / HTTP/1.1\r\n", false, Opening::hopeless},
        {"a hello longer than a PSK client sends", QByteArray::fromHex("160301000401020144"), false, Opening::hopeless},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
        if (!c.sent.isEmpty()) {
            ASSERT_EQ(::send(pair[0], c.sent.constData(), size_t(c.sent.size()), MSG_NOSIGNAL), c.sent.size());
        }
        if (c.ended)
            ::shutdown(pair[0], SHUT_WR);
        EXPECT_EQ(PreferredConnections::peek(pair[1]), c.expected);
        QByteArray left(c.sent.size() + 1, '\0');
        EXPECT_EQ(::recv(pair[1], left.data(), size_t(left.size()), MSG_DONTWAIT), c.sent.isEmpty() && !c.ended ? -1 : c.sent.size());
        ::close(pair[0]);
        ::close(pair[1]);
    }
}
