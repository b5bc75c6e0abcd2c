#pragma once

#include "core/foundation/CancelToken.h"

#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <QCoroTask>

#include <exception>
#include <optional>

namespace vantorel {

class AppViewModel;

// Gets Claude usage going again when Claude Code's stored login is expired or rejected: re-reads
// the credential and, if that does not help, opens a terminal running Claude Code or its login
// command, then watches the credential for a new token and fetches usage with it. Also the
// automatic variant (once per failure, only while the user can see the terminal) and the one
// history entry per re-authentication episode. Never logs in by itself.
class ClaudeAuthenticationRecovery final
{
public:
    static constexpr int loginWatchLooks = 36;
    static constexpr double loginWatchSeconds = 180.0;
    static inline const QString episodeValue = QStringLiteral("reauthentication-required");

    // The account's usage settings page and Claude Code's authentication guide.
    static QUrl claudeUsagePage();
    static QUrl claudeCodeAuthenticationGuide();
    // The shell command that runs Claude Code (`login` false) or its login command.
    static QString authenticationCommand(bool login);

    explicit ClaudeAuthenticationRecovery(AppViewModel& viewModel);

    static QCoro::Task<> reconnectClaudeAuthentication(QPointer<AppViewModel> viewModel, bool forceLogin,
                                                       bool automatically, CancelToken token);
    static QCoro::Task<> recoverClaudeUsage(QPointer<AppViewModel> viewModel);
    bool openClaudeAuthenticationCommand(bool login);
    bool canAutomaticallyRecoverClaude() const;
    void queueAutomaticClaudeRecoveryIfNeeded();
    void cancelAutomaticClaudeRecovery();
    void observeClaudeLoginAvailability();
    void handleClaudeAuthFailureIfNeeded(const std::exception_ptr& error);

private:
    static QCoro::Task<> watchLogin(QPointer<AppViewModel> viewModel, QUuid generation,
                                    std::optional<QString> baseline, bool login, CancelToken token);
    static QCoro::Task<> runAutomaticRecovery(QPointer<AppViewModel> viewModel, QUuid id, CancelToken token);

    AppViewModel& m_viewModel;
    QMetaObject::Connection m_interactionObservation;
};

} // namespace vantorel
