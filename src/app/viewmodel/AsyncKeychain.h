#pragma once

#include "core/foundation/PendingCompletion.h"
#include "core/rules/SecureValueReadResult.h"

#include <QString>

#include <QCoroTask>

#include <functional>
#include <memory>

class QObject;
class QThread;

namespace vantorel {

class KeychainStore;

// Runs KeychainStore calls one after another on a worker thread of its own, so that a secret
// store that blocks (a locked collection, a slow D-Bus service) never stalls the GUI thread.
// Calls run in the order they were made; their results and exceptions (KeychainError) come back
// to the caller's thread on a later event-loop turn. Destruction waits for the calls already
// queued. Use from one thread.
class AsyncKeychain final
{
public:
    // A null store answers every read as missing and every write as done.
    explicit AsyncKeychain(std::shared_ptr<KeychainStore> store);
    ~AsyncKeychain();
    AsyncKeychain(const AsyncKeychain&) = delete;
    AsyncKeychain& operator=(const AsyncKeychain&) = delete;

    QCoro::Task<bool> contains(QString service);
    QCoro::Task<SecureValueReadResult> readResult(QString service);
    QCoro::Task<> save(QString value, QString service);
    QCoro::Task<> deleteItem(QString service);

    // Runs `call` on the worker after every earlier call and returns its result.
    template <typename R>
    QCoro::Task<R> run(std::function<R(const KeychainStore*)> call)
    {
        PendingCompletion<R> completion;
        post([call = std::move(call), completion](const KeychainStore* store) {
            try {
                if constexpr (std::is_void_v<R>) {
                    call(store);
                    completion.complete();
                } else {
                    completion.complete(call(store));
                }
            } catch (...) {
                completion.fail(std::current_exception());
            }
        });
        return awaitResult(completion);
    }

private:
    template <typename R>
    static QCoro::Task<R> awaitResult(PendingCompletion<R> completion)
    {
        if constexpr (std::is_void_v<R>) {
            co_await completion;
        } else {
            co_return co_await completion;
        }
    }

    void post(std::function<void(const KeychainStore*)> job);

    std::shared_ptr<KeychainStore> m_store;
    std::unique_ptr<QThread> m_thread;
    QObject* m_worker = nullptr;
};

} // namespace vantorel
