#include "app/window/ClaudeRecoveryView.h"

#include "app/ui/LineLimitedLabel.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/TextColor.h"
#include "app/ui/UiFont.h"

#include <QLabel>
#include <QVBoxLayout>

namespace vantorel {

namespace {

SymbolButton* recoveryButton(const QString& name, const QString& title, const QString& symbol, QWidget* parent)
{
    auto* button = new SymbolButton(title, symbol, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    return button;
}

} // namespace

ClaudeRecoveryView::Recovery ClaudeRecoveryView::recovery(ClaudeUsageFailure failure)
{
    const QString refresh = QStringLiteral("Claudeを更新");
    const QString usage = QStringLiteral("Claudeの使用量を確認");
    const QString reload = QStringLiteral("認証を再読込");
    const QString external = QStringLiteral("arrow.up.right.square");
    switch (failure) {
    case ClaudeUsageFailure::communication:
    case ClaudeUsageFailure::serviceUnavailable:
        return {refresh, QStringLiteral("arrow.clockwise")};
    case ClaudeUsageFailure::rateLimited:
        return {refresh, QStringLiteral("clock")};
    case ClaudeUsageFailure::accessDenied:
    case ClaudeUsageFailure::responseFormat:
        return {usage, external};
    case ClaudeUsageFailure::credentialExpired:
        return {QStringLiteral("Claude Codeを開く"), QStringLiteral("terminal")};
    case ClaudeUsageFailure::reauthenticationRequired:
        return {QStringLiteral("Claude認証"), QStringLiteral("key")};
    case ClaudeUsageFailure::unsupportedStorage:
        return {QStringLiteral("保存構成を確認"), external};
    case ClaudeUsageFailure::keychainPermission:
    case ClaudeUsageFailure::keychainUnavailable:
        return {reload, QStringLiteral("key")};
    }
    return {refresh, QStringLiteral("arrow.clockwise")};
}

ClaudeRecoveryView::ClaudeRecoveryView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("claude-recovery"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    m_message = new LineLimitedLabel(LineLimitedLabel::unlimited, QString(), this);
    m_message->setObjectName(QStringLiteral("claude-recovery.message"));
    m_message->setFont(UiFont::callout());
    setTextColor(m_message, colors::secondary);
    column->addWidget(m_message);
    m_recover = recoveryButton(QStringLiteral("claude-recovery.recover"), QString(), QString(), this);
    m_login = recoveryButton(QStringLiteral("claude-recovery.login"), QStringLiteral("ブラウザで再ログイン"),
                             QStringLiteral("arrow.up.right.square"), this);
    column->addWidget(m_recover);
    column->addWidget(m_login);
    connect(m_recover, &QPushButton::clicked, this, &ClaudeRecoveryView::recoverRequested);
    connect(m_login, &QPushButton::clicked, this, &ClaudeRecoveryView::loginRequested);
}

void ClaudeRecoveryView::setFailure(ClaudeUsageFailure failure, const QString& message, bool isBusy, bool offersLogin)
{
    const Recovery main = recovery(failure);
    m_recover->setText(main.title);
    m_recover->setSymbol(main.symbol);
    m_message->setText(message);
    m_recover->setEnabled(!isBusy);
    m_login->setEnabled(!isBusy);
    m_login->setVisible(offersLogin);
}

} // namespace vantorel
