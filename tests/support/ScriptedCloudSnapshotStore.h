#pragma once

#include "core/foundation/PendingCompletion.h"
#include "sync/cloud/CloudSnapshotStoring.h"

#include <QStringList>

namespace vantorel {

// A cloud store that answers as scripted: `account` at once; saves and deletes with the next of
// `failures` (success when none is left) or, with `holdWrites`, once the test settles them in
// `waiting`. Logs the writes ("save <revision>", "delete"); cancel() and a cancelled token cancel
// what waits. Fetching finds nothing.
class ScriptedCloudSnapshotStore final : public CloudSnapshotStoring
{
public:
    QCoro::Task<QString> accountIdentifier(CancelToken token) override { return answer(account, token); }
    QCoro::Task<std::optional<UsageSyncSnapshot>> fetchSnapshot(QString, CancelToken token) override
    {
        return answer(std::optional<UsageSyncSnapshot>(), token);
    }
    QCoro::Task<> saveSnapshot(UsageSyncSnapshot snapshot, QString, CancelToken token) override
    {
        return write(QStringLiteral("save ") + QString::number(snapshot.revision), token);
    }
    QCoro::Task<> deleteSnapshot(QUuid, QString, CancelToken token) override { return write(QStringLiteral("delete"), token); }
    void cancel() override
    {
        for (const PendingCompletion<>& pending : std::exchange(waiting, {}))
            pending.cancel();
    }

    QString account = QStringLiteral("_") + QString(32, QLatin1Char('a'));
    QList<std::exception_ptr> failures;
    bool holdWrites = false;
    QList<PendingCompletion<>> waiting;
    QStringList calls;

private:
    QCoro::Task<> write(const QString& call, CancelToken token)
    {
        calls.append(call);
        PendingCompletion<> pending;
        if (holdWrites)
            waiting.append(pending);
        else if (!failures.isEmpty())
            pending.fail(failures.takeFirst());
        else
            pending.complete();
        return awaitAnswer(pending, token);
    }
    template <typename T>
    static QCoro::Task<T> answer(T value, CancelToken token)
    {
        PendingCompletion<T> pending;
        pending.complete(std::move(value));
        return awaitAnswer(pending, token);
    }
    template <typename T>
    static QCoro::Task<T> awaitAnswer(PendingCompletion<T> pending, CancelToken token)
    {
        const auto registration = token.onCancel([pending] { pending.cancel(); });
        co_return co_await pending;
    }
};

} // namespace vantorel
