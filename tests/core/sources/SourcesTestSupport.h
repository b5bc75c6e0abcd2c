#pragma once

#include "support/QtPrinters.h"

#include "support/DrainEvents.h"
#include "support/TaskOutcome.h"
#include "support/TestHttpServer.h"
#include "core/foundation/CancellationError.h"
#include "core/foundation/HttpClient.h"
#include "core/foundation/HttpError.h"
#include "core/model/UsageSnapshot.h"

#include <QCoreApplication>
#include <QString>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>

namespace vantorel {

// Failures name the differing field instead of dumping bytes.
inline void PrintTo(const UsageSnapshot& snapshot, std::ostream* os)
{
    *os << toJson(snapshot).dump();
}

namespace testing_support {

// The transport failure a call ended with, if that is how it ended.
template <typename T>
std::optional<HttpError::Kind> transportError(const TaskOutcome<T>& outcome)
{
    const auto failure = outcome.template errorAs<HttpError>();
    return failure ? std::optional(failure->kind()) : std::nullopt;
}

// A client's own options with time-outs short enough that a slow-server case ends within a
// fraction of a second of real time.
inline std::shared_ptr<HttpClient> loopbackClient(HttpClient::Options options, double requestTimeoutSeconds = 2.0)
{
    options.requestTimeoutSeconds = requestTimeoutSeconds;
    options.resourceTimeoutSeconds = 5.0;
    return std::make_shared<HttpClient>(options);
}

// A loopback server per test; replies released with deleteLater are flushed afterwards.
class LoopbackServerTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.isListening()); }
    void TearDown() override
    {
        drainEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Cancels `token` as soon as the server has received a request, i.e. mid-exchange.
    void cancelOnArrival(const CancelToken& token)
    {
        QObject::connect(&server, &TestHttpServer::requestReceived, &server, [token] { token.cancel(); });
    }

    TestHttpServer server;
};

} // namespace testing_support
} // namespace vantorel
