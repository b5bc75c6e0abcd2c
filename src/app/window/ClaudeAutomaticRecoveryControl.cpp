#include "app/window/ClaudeAutomaticRecoveryControl.h"

#include "app/ui/NoticeLabel.h"
#include "app/ui/ToggleSwitch.h"
#include "app/ui/UiFont.h"

#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace vantorel {

ClaudeAutomaticRecoveryControl::ClaudeAutomaticRecoveryControl(Binding<bool> enabled, QWidget* parent)
    : QWidget(parent)
    , m_enabled(std::move(enabled))
{
    setObjectName(QStringLiteral("claudeAutomaticRecovery"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    m_switch = new ToggleSwitch(QStringLiteral("Claude認証の自動復旧"), this);
    m_switch->setObjectName(QStringLiteral("claudeAutomaticRecovery.switch"));
    m_switch->setToolTip(QStringLiteral("保存済み認証で復旧できない場合、公式ログインを1回開始します。本人確認はブラウザで必要な場合があります。"));
    m_switch->setAccessibleDescription(QStringLiteral("本人確認はブラウザで必要な場合があります"));
    connect(m_switch, &QAbstractButton::clicked, this, [this](bool on) { m_enabled.set(on); });
    column->addWidget(m_switch);
    m_deferred = new NoticeLabel(QStringLiteral("ロック解除後に認証を再確認します"), QStringLiteral("lock"), this);
    m_deferred->setObjectName(QStringLiteral("claudeAutomaticRecovery.deferred"));
    for (QLabel* text : m_deferred->findChildren<QLabel*>())
        text->setFont(UiFont::callout());
    column->addWidget(m_deferred);
}

void ClaudeAutomaticRecoveryControl::refresh(bool available, bool deferred)
{
    const QSignalBlocker blocker(m_switch);
    m_switch->setChecked(m_enabled.get());
    m_switch->setEnabled(available);
    m_deferred->setVisible(deferred);
}

} // namespace vantorel
