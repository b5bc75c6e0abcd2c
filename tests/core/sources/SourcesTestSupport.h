#pragma once

#include "support/DrainEvents.h"
#include "support/TestHttpServer.h"
#include "core/foundation/CancellationError.h"
#include "core/foundation/HttpClient.h"
#include "core/foundation/HttpError.h"

#include <QCoreApplication>
#include <QString>

#include <QCoroTask>

#include <gtest/gtest.h>

#include <exception>
#include <memory>
#include <optional>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace vantorel::testing_support {

// What one call of a client ended with; filled inside a coroutine, inspected after it.
template <typename T>
struct Outcome
{
    std::optional<T> value;
    std::exception_ptr error;

    // The failure as E, or nullopt when it succeeded or failed otherwise.
    template <typename E>
    std::optional<E> errorAs() const
    {
        if (!error)
            return std::nullopt;
        try {
            std::rethrow_exception(error);
        } catch (const E& failure) {
            return failure;
        } catch (...) {
            return std::nullopt;
        }
    }

    bool cancelled() const { return errorAs<CancellationError>().has_value(); }

    std::optional<HttpError::Kind> transportError() const
    {
        const auto failure = errorAs<HttpError>();
        return failure ? std::optional(failure->kind()) : std::nullopt;
    }
};

template <typename T>
QCoro::Task<Outcome<T>> capture(QCoro::Task<T> task)
{
    Outcome<T> outcome;
    try {
        outcome.value = co_await std::move(task);
    } catch (...) {
        outcome.error = std::current_exception();
    }
    co_return outcome;
}

// Runs the client's call to completion on a local event loop.
template <typename T>
Outcome<T> outcomeOf(QCoro::Task<T> task)
{
    return QCoro::waitFor(capture(std::move(task)));
}

// A client's own options with time-outs short enough that a slow-server case ends within a
// fraction of a second of real time.
inline std::shared_ptr<HttpClient> loopbackClient(HttpClient::Options options, double requestTimeoutSeconds = 2.0)
{
    options.requestTimeoutSeconds = requestTimeoutSeconds;
    options.resourceTimeoutSeconds = 5.0;
    return std::make_shared<HttpClient>(options, TestHttpServer::networkManager());
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

} // namespace vantorel::testing_support
