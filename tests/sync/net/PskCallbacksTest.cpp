#include "sync/net/PskCallbacks.h"
#include "support/DrainEvents.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace vantorel;

TEST(PskCallbacks, AnswersComeOnALaterTurnInOrder)
{
    PskCallbacks callbacks;
    QStringList seen;
    callbacks.setStateHandler([&](PskConnection::State state, const std::optional<NetworkError>& error) {
        seen.append(QStringLiteral("state %1%2").arg(int(state)).arg(error ? QStringLiteral(" error") : QString()));
    });
    callbacks.awaitReceive(0, [&](const QByteArray& bytes, bool isComplete, const std::optional<NetworkError>&) {
        seen.append(QString(QStringLiteral("read ") + QString::fromLatin1(bytes) + (isComplete ? " end" : "")));
    });
    EXPECT_EQ(callbacks.receiveLimit(), 1) << "a receive takes at least one byte";
    for (int i = 0; i < 2; ++i)
        callbacks.addSend([&, i](const std::optional<NetworkError>& error) {
            seen.append(QStringLiteral("send %1%2").arg(i).arg(error ? QStringLiteral(" failed") : QString()));
        });

    callbacks.report(PskConnection::State::ready);
    callbacks.deliver("ab", false, std::nullopt);
    callbacks.deliver("lost", false, std::nullopt);
    callbacks.failSends(NetworkError::posix(EPIPE));
    callbacks.completeSends();
    callbacks.report(PskConnection::State::failed, NetworkError::posix(ECONNRESET));
    EXPECT_TRUE(seen.isEmpty()) << "nothing is answered from inside a call";
    EXPECT_FALSE(callbacks.receiveLimit());
    EXPECT_FALSE(callbacks.hasSends());

    drainEvents();
    EXPECT_EQ(seen, QStringList({"state 3", "read ab", "send 0 failed", "send 1 failed", "state 4 error"}));
}

TEST(PskCallbacks, CancelSilencesReportsAlreadyQueued)
{
    PskCallbacks callbacks;
    int reports = 0;
    callbacks.setStateHandler([&](PskConnection::State, const std::optional<NetworkError>&) { ++reports; });
    callbacks.awaitReceive(16, [](const QByteArray&, bool, const std::optional<NetworkError>&) { FAIL(); });
    callbacks.addSend([](const std::optional<NetworkError>&) { FAIL(); });
    callbacks.report(PskConnection::State::ready);
    callbacks.cancel();
    callbacks.completeSends();
    callbacks.deliver("late", false, std::nullopt);
    drainEvents();
    EXPECT_EQ(reports, 0);
    EXPECT_TRUE(callbacks.isCancelled());
}
