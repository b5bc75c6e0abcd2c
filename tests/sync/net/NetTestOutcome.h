#pragma once

#include "core/foundation/CancellationError.h"
#include "core/foundation/Json.h"
#include "sync/model/UsageSyncError.h"
#include "sync/net/SyncMessage.h"

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

} // namespace vantorel
