#pragma once

#include "core/foundation/CancellationError.h"
#include "core/foundation/Json.h"
#include "sync/model/UsageSyncError.h"
#include "sync/net/QtPskConnection.h"
#include "sync/net/SyncChannel.h"
#include "sync/net/SyncMessage.h"
#include "sync/net/SyncNetworkParameters.h"

#include <QCoroTask>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

namespace vantorel {

// A failure in a form tables can compare: the UsageSyncError case name, "CancellationError",
// "decode", "encode", or "other".
inline std::string errorName(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const UsageSyncError& e) {
        return rawValue(e.code()).toStdString();
    } catch (const CancellationError&) {
        return "CancellationError";
    } catch (const JsonDecodeError&) {
        return "decode";
    } catch (const JsonEncodeError&) {
        return "encode";
    } catch (...) {
        return "other";
    }
}

// "ok", or the name of what `call` threw.
inline std::string outcomeOf(const std::function<void()>& call)
{
    try {
        call();
        return "ok";
    } catch (...) {
        return errorName(std::current_exception());
    }
}

// How an asynchronous channel operation ended.
struct Outcome
{
    bool done = false;
    std::string result;
    std::optional<SyncMessage> message;
};

template <typename T>
QCoro::Task<> track(QCoro::Task<T> task, std::shared_ptr<Outcome> outcome)
{
    try {
        if constexpr (std::is_void_v<T>)
            co_await task;
        else
            outcome->message = co_await task;
        outcome->result = "ok";
    } catch (...) {
        outcome->result = errorName(std::current_exception());
    }
    outcome->done = true;
}

namespace detail {

inline QCoro::Task<> exchange(std::shared_ptr<SyncChannel> channel, SyncMessage request, double timeout,
                              CancelToken token, std::shared_ptr<Outcome> outcome)
{
    try {
        co_await channel->open(token);
        co_await channel->send(std::move(request), token);
        outcome->message = co_await channel->receive(timeout, token);
        outcome->result = "ok";
    } catch (...) {
        outcome->result = errorName(std::current_exception());
    }
    channel->close(UsageSyncError(UsageSyncError::Code::cancelled));
    outcome->done = true;
}

} // namespace detail

// Connects to 127.0.0.1:`port` with `credential`, sends `request` and waits `timeout` for one
// answer; the outcome fills in once the exchange has ended.
inline std::shared_ptr<Outcome> ask(quint16 port, SyncMessage request, Sleeper& sleeper,
                                    const SyncCredential& credential, double timeout = 20, CancelToken token = {})
{
    auto outcome = std::make_shared<Outcome>();
    auto connection = QtPskConnection::connecting(QStringLiteral("127.0.0.1"), port,
                                                  SyncNetworkParameters::make(credential));
    detail::exchange(SyncChannel::create(std::move(connection), sleeper), std::move(request), timeout, token, outcome);
    return outcome;
}

} // namespace vantorel
