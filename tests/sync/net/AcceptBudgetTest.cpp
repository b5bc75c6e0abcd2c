#include "sync/net/AcceptBudget.h"

#include <gtest/gtest.h>

using namespace vantorel;

namespace {

constexpr int perWindow = 4;
constexpr qint64 window = 7;
constexpr int maximumCredit = 4;

// Takes connections at `now` until the budget refuses; how many it let in.
int takeAll(AcceptBudget& budget, qint64 now)
{
    int taken = 0;
    while (budget.allows(now) && taken < 100) {
        budget.spend();
        ++taken;
    }
    return taken;
}

} // namespace

TEST(AcceptBudget, UnprovenPeersGetAFewPerWindowAndWaitForTheNext)
{
    AcceptBudget budget(perWindow, window, maximumCredit);
    EXPECT_EQ(takeAll(budget, 100), perWindow);
    EXPECT_EQ(budget.waitFrom(100), window);
    EXPECT_EQ(budget.waitFrom(105), 2);
    // Still the same window at its last millisecond; never a wait of zero.
    EXPECT_FALSE(budget.allows(100 + window));
    EXPECT_EQ(budget.waitFrom(100 + window), 1);
    EXPECT_EQ(takeAll(budget, 101 + window), perWindow);
}

TEST(AcceptBudget, AskingWithoutTakingSpendsNothing)
{
    // The listener asks before each accept, and most asks find the queue empty.
    AcceptBudget budget(perWindow, window, maximumCredit);
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(budget.allows(0));
    EXPECT_EQ(takeAll(budget, 0), perWindow);
}

TEST(AcceptBudget, ProvenPeersLetOneMoreInEachUpToTheCap)
{
    AcceptBudget budget(perWindow, window, maximumCredit);
    EXPECT_EQ(takeAll(budget, 0), perWindow);
    budget.credit();
    budget.credit();
    EXPECT_EQ(takeAll(budget, 1), 2) << "each finished handshake is one accept more, at once";

    for (int i = 0; i < 3 * maximumCredit; ++i)
        budget.credit();
    EXPECT_EQ(budget.savedCredit(), maximumCredit);
    // The window's share goes first; credit is kept for when it is spent.
    EXPECT_EQ(takeAll(budget, 20), perWindow + maximumCredit);
    EXPECT_EQ(budget.savedCredit(), 0);
    EXPECT_EQ(takeAll(budget, 20), 0);
}
