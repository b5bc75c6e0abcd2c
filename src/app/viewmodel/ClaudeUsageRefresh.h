#pragma once

#include "app/platform/ClaudeUsageFailure.h"
#include "core/foundation/CancelToken.h"
#include "core/model/UsageSnapshot.h"

#include <QPointer>
#include <QString>
#include <QUuid>

#include <QCoroTask>

#include <exception>

namespace vantorel {

class AppViewModel;
struct ClaudeCodeTokenInfo;

// The one road to a Claude usage reading: reads Claude Code's token, asks the usage endpoint,
// then stores and announces the reading or classifies the failure, keeps a retry window after a
// rate limit or a refused access, remembers a rejected token, drops a reading an authentication
// failure made stale and lets the recovery decide whether to step in. One request at a time;
// results that were overtaken (Claude off, a new authentication generation, cancellation) leave
// no trace.
class ClaudeUsageRefresh final
{
public:
    // Waits after a rate limit: the server's value, at least a minute, an hour when it named none,
    // and never more than a day (a huge "Retry-After" would otherwise block until restart).
    static constexpr double minimumRateLimitWait = 60.0;
    static constexpr double defaultRateLimitWait = 3'600.0;
    static constexpr double maximumRateLimitWait = 86'400.0;
    static constexpr double accessDeniedWait = 3'600.0;

    explicit ClaudeUsageRefresh(AppViewModel& viewModel);

    // Never throws; the outcome is published state. Cancelling `token` cancels the request and
    // discards its result.
    static QCoro::Task<> refreshClaudeUsage(QPointer<AppViewModel> viewModel, bool forceCredentialReload,
                                            CancelToken token);

    // The class's message; for a rate limit with a retry time, followed by " 再試行可能: " and
    // that time.
    QString claudeFailureMessage(ClaudeUsageFailure failure) const;
    void rememberRejectedClaudeToken(const QString& accessToken, const QUuid& generation);
    void saveClaudeUsageSnapshot(const UsageSnapshot& snapshot);
    void presentClaudeUsageFailure(const std::exception_ptr& error);
    void clearStaleClaudeOAuthSnapshotIfNeeded();
    // Whether a freshly read credential may simply wait for the open retry window; if so, says
    // that the credential was read and the reading is still to come.
    bool deferClaudeUsageUntilRetry(const ClaudeCodeTokenInfo& info);

private:
    void applyReading(const UsageSnapshot& snapshot);
    // False when the failure was dropped because it no longer applies.
    void applyFailure(const std::exception_ptr& error);

    AppViewModel& m_viewModel;
};

} // namespace vantorel
