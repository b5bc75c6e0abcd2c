#pragma once

#include "app/platform/ClaudeUsageFailure.h"

#include <QWidget>

class QLabel;

namespace vantorel {

class SymbolButton;

// The block the settings page shows while reading Claude's usage has failed: the message, the
// one recovery step that fits the failure and, when the host offers it, a fresh browser login.
// Named "claude-recovery". The buttons only emit; the host decides what they start.
class ClaudeRecoveryView : public QWidget
{
    Q_OBJECT

public:
    explicit ClaudeRecoveryView(QWidget* parent = nullptr);

    // The main button's label and symbol for a failure.
    struct Recovery
    {
        QString title;
        QString symbol;

        bool operator==(const Recovery&) const = default;
    };
    static Recovery recovery(ClaudeUsageFailure failure);

    // `offersLogin` shows "ブラウザで再ログイン"; `isBusy` disables both buttons.
    void setFailure(ClaudeUsageFailure failure, const QString& message, bool isBusy, bool offersLogin);

signals:
    void recoverRequested();
    void loginRequested();

private:
    QLabel* m_message;
    SymbolButton* m_recover;
    SymbolButton* m_login;
};

} // namespace vantorel
