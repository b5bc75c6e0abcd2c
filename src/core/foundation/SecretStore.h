#pragma once

#include "core/foundation/SecretStoreError.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <utility>

namespace vantorel {

// The user's store of small secrets (API keys, webhook URLs, pairing keys), one item per
// (service, account) pair. Values are opaque bytes; callers choose the encoding.
//
// Every operation is synchronous, may block on the backend for a bounded time (implementations
// enforce their own time-out) and may be called from any thread. Reads and `contains` never ask
// the user anything; `save` and `remove` may, if the backend needs an unlock to write.
class SecretStore
{
public:
    // Status codes reported by every backend. They use the numbering of the platform keychain
    // so that a code shown to the user ("キーリング エラー（コード: N）") or logged reads the same
    // on every platform.
    struct Status
    {
        static constexpr std::int32_t success = 0;
        // No item with this service and account.
        static constexpr std::int32_t itemNotFound = -25300;
        // The item exists but reading it would need the user (locked collection).
        static constexpr std::int32_t interactionNotAllowed = -25308;
        // No secret service could be reached, or it did not answer within the time-out.
        static constexpr std::int32_t notAvailable = -25291;
        // The collection to write to does not exist.
        static constexpr std::int32_t noSuchKeychain = -25294;
        static constexpr std::int32_t duplicateItem = -25299;
        // The user dismissed an unlock prompt.
        static constexpr std::int32_t userCanceled = -128;
        // The item could be found but its data could not be retrieved.
        static constexpr std::int32_t ioError = -36;
        // Any other backend failure.
        static constexpr std::int32_t internalComponent = -2070;
    };

    // Outcome of `read`. A missing item and an item that cannot be read now are different
    // answers so that a locked store is never taken for a deleted secret.
    struct ReadResult
    {
        enum class Kind { value, missing, temporarilyUnavailable };

        Kind kind = Kind::missing;
        // The item's bytes when `kind` is `value` (may be empty); empty otherwise.
        QByteArray value;
        // `Status::success` for `value`, `Status::itemNotFound` for `missing`, otherwise the
        // reason the item could not be read (for example `Status::interactionNotAllowed`).
        std::int32_t status = Status::itemNotFound;

        static ReadResult found(QByteArray bytes) { return {Kind::value, std::move(bytes), Status::success}; }
        static ReadResult notFound() { return {Kind::missing, {}, Status::itemNotFound}; }
        static ReadResult unavailable(std::int32_t status) { return {Kind::temporarilyUnavailable, {}, status}; }

        bool operator==(const ReadResult&) const = default;
    };

    virtual ~SecretStore() = default;

    // Stores `value` under (service, account), replacing any existing value in place.
    // Throws SecretStoreError with the failing status; an existing item then keeps its old value.
    virtual void save(const QString& service, const QString& account, const QByteArray& value) = 0;

    // Removes the item. Removing an absent item succeeds. Throws SecretStoreError otherwise.
    virtual void remove(const QString& service, const QString& account) = 0;

    // Whether an item exists, without any user interaction: an item in a locked collection
    // counts as present. Never throws; a backend that cannot be asked answers false.
    virtual bool contains(const QString& service, const QString& account) = 0;

    // Reads the item's value without any user interaction. Never throws.
    virtual ReadResult read(const QString& service, const QString& account) = 0;
};

} // namespace vantorel
