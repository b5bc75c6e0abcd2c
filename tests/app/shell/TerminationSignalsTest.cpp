#include "app/shell/TerminationSignals.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <csignal>

namespace vantorel {
namespace {

// A SIGTERM that comes while the application is still starting waits for the watcher instead of
// ending the process with nothing written out.
TEST(TerminationSignals, ASignalBeforeTheWatcherIsReportedOnItsFirstTurn)
{
    TerminationSignals::catchEarly();
    ASSERT_EQ(::raise(SIGTERM), 0);
    TerminationSignals watcher;
    int received = 0;
    QObject::connect(&watcher, &TerminationSignals::terminationRequested, [&](int signalNumber) { received = signalNumber; });
    EXPECT_TRUE(waitUntil([&] { return received != 0; }));
    EXPECT_EQ(received, SIGTERM);
}

// The session or terminal that started the process going away ends it as SIGTERM does, with
// everything written out, not by the signal's default action.
TEST(TerminationSignals, AHangupIsReportedAsATerminationIs)
{
    TerminationSignals watcher;
    int received = 0;
    QObject::connect(&watcher, &TerminationSignals::terminationRequested, [&](int signalNumber) { received = signalNumber; });
    ASSERT_EQ(::raise(SIGHUP), 0);
    EXPECT_TRUE(waitUntil([&] { return received != 0; }));
    EXPECT_EQ(received, SIGHUP);
}

} // namespace
} // namespace vantorel
