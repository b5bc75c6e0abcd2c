#pragma once

#include "core/foundation/SecretStore.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace vantorel {

// In-memory SecretStore. Tests may lock it (reads become temporarily unavailable while
// `contains` still sees the items) and script failures per operation.
class FakeSecretStore : public SecretStore
{
public:
    enum class Operation { save, remove, contains, read };

    void save(const QString& service, const QString& account, const QByteArray& value) override;
    void remove(const QString& service, const QString& account) override;
    bool contains(const QString& service, const QString& account) override;
    ReadResult read(const QString& service, const QString& account) override;

    // The next call of `operation` fails with `status`: save and remove throw SecretStoreError,
    // read answers temporarily unavailable with it, contains answers false. Scripted failures
    // queue up and are used one per call.
    void failNext(Operation operation, std::int32_t status);
    // While locked, reads of existing items answer `interactionNotAllowed`, writes throw it.
    void setLocked(bool locked);

    // Direct access that bypasses locks and scripts.
    void put(const QString& service, const QString& account, const QByteArray& value);
    std::optional<QByteArray> stored(const QString& service, const QString& account) const;
    int callCount(Operation operation) const;

private:
    std::optional<std::int32_t> takeScriptedFailure(Operation operation);

    mutable std::mutex m_mutex;
    std::map<std::pair<QString, QString>, QByteArray> m_items;
    std::map<Operation, std::deque<std::int32_t>> m_failures;
    std::map<Operation, int> m_calls;
    bool m_locked = false;
};

} // namespace vantorel
