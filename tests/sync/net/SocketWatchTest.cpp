#include "sync/net/SocketWatch.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <memory>

#include <sys/socket.h>
#include <unistd.h>

using namespace vantorel;

namespace {

// Two connected non-blocking sockets.
struct SocketPair
{
    SocketPair() { ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends); }
    ~SocketPair()
    {
        for (int end : ends) {
            if (end >= 0)
                ::close(end);
        }
    }
    void closePeer() { ::close(std::exchange(ends[1], -1)); }

    int ends[2] = {-1, -1};
};

// One pass of the event loop, which reads the shared descriptor without waiting.
void turn()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace

TEST(SocketWatchTest, TellsWhileReadyAndEnabledLikeASocketNotifier)
{
    SocketPair pair;
    int reads = 0;
    int writes = 0;
    SocketWatch readable(pair.ends[0], SocketWatch::Kind::read, [&] { ++reads; });
    auto writable = std::make_unique<SocketWatch>(pair.ends[0], SocketWatch::Kind::write, [&] { ++writes; });
    turn();
    EXPECT_EQ(reads, 0) << "nothing to read yet";
    EXPECT_EQ(writes, 1);

    writable->setEnabled(false);
    ASSERT_EQ(::send(pair.ends[1], "x", 1, 0), 1);
    turn();
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(writes, 1) << "disabled";
    // Level-triggered: the byte is still unread.
    turn();
    EXPECT_EQ(reads, 2);

    readable.setEnabled(false);
    writable.reset();
    turn();
    EXPECT_EQ(reads, 2);
    readable.setEnabled(true);
    turn();
    EXPECT_EQ(reads, 3) << "enabled again, the byte still waits";

    char byte = 0;
    ASSERT_EQ(::recv(pair.ends[0], &byte, 1, 0), 1);
    turn();
    EXPECT_EQ(reads, 3);
    // The peer's end counts as ready to read.
    pair.closePeer();
    turn();
    EXPECT_EQ(reads, 4);
}

TEST(SocketWatchTest, AWatchMayEndItselfOrAnotherWhileBeingTold)
{
    SocketPair first;
    SocketPair second;
    std::unique_ptr<SocketWatch> a;
    std::unique_ptr<SocketWatch> b;
    int told = 0;
    // Whichever is told first ends both; the other, ready in the same pass, must not be told.
    a = std::make_unique<SocketWatch>(first.ends[0], SocketWatch::Kind::write, [&] {
        ++told;
        a.reset();
        b.reset();
    });
    b = std::make_unique<SocketWatch>(second.ends[0], SocketWatch::Kind::write, [&] {
        ++told;
        b.reset();
        a.reset();
    });
    turn();
    EXPECT_EQ(told, 1);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(b, nullptr);
}
