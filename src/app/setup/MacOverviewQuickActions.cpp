#include "app/setup/MacOverviewQuickActions.h"

#include "app/ui/CompactButton.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace vantorel {

namespace {

CompactButton* button(QWidget* parent, const QString& objectName, const QString& title, const QString& symbol,
                      const QString& toolTip, const std::function<void()>& action)
{
    auto* result = new CompactButton(title, symbol, parent);
    result->setObjectName(objectName);
    result->setToolTip(toolTip);
    QObject::connect(result, &QAbstractButton::clicked, parent, [action] {
        if (action)
            action();
    });
    return result;
}

} // namespace

MacOverviewQuickActions::Layout MacOverviewQuickActions::layout(bool codexEnabled, bool claudeEnabled,
                                                                bool isRefreshing)
{
    const bool anyProvider = codexEnabled || claudeEnabled;
    return {isRefreshing ? QStringLiteral("hourglass") : QStringLiteral("arrow.clockwise"),
            !isRefreshing && anyProvider, anyProvider, codexEnabled, claudeEnabled};
}

MacOverviewQuickActions::MacOverviewQuickActions(Actions actions, QWidget* parent)
    : QWidget(parent)
    , m_actions(std::move(actions))
{
    setObjectName(QStringLiteral("quickActions"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    auto* firstRow = new QHBoxLayout;
    firstRow->setSpacing(8);
    m_refresh = button(this, QStringLiteral("quickActions.refresh"), QStringLiteral("使用量を更新"),
                       QStringLiteral("arrow.clockwise"), QStringLiteral("状態と使用量を今すぐ取得"), m_actions.refresh);
    m_copy = button(this, QStringLiteral("quickActions.copy"), QStringLiteral("コピー"), QStringLiteral("doc.on.doc"),
                    QStringLiteral("診断サマリーをコピー"), m_actions.copy);
    firstRow->addWidget(m_refresh);
    firstRow->addWidget(m_copy);
    firstRow->addStretch(1);
    column->addLayout(firstRow);

    m_linkRow = new QWidget(this);
    auto* secondRow = new QHBoxLayout(m_linkRow);
    secondRow->setContentsMargins(0, 0, 0, 0);
    secondRow->setSpacing(8);
    m_codexUsage = button(m_linkRow, QStringLiteral("quickActions.codexUsage"), QStringLiteral("Codex 使用量"),
                          QStringLiteral("arrow.up.right"), QStringLiteral("Codexの使用量ページを開く"),
                          m_actions.openCodexUsage);
    m_claudeStatus = button(m_linkRow, QStringLiteral("quickActions.claudeStatus"), QStringLiteral("Claude 状態"),
                            QStringLiteral("arrow.up.right"), QStringLiteral("Claudeの状態ページを開く"),
                            m_actions.openClaudeStatus);
    secondRow->addWidget(m_codexUsage);
    secondRow->addWidget(m_claudeStatus);
    secondRow->addStretch(1);
    column->addWidget(m_linkRow);
    setState(false, false, false);
}

void MacOverviewQuickActions::setState(bool codexEnabled, bool claudeEnabled, bool isRefreshing)
{
    const Layout shown = layout(codexEnabled, claudeEnabled, isRefreshing);
    m_refresh->setSymbol(shown.refreshSymbol);
    m_refresh->setEnabled(shown.refreshEnabled);
    m_linkRow->setVisible(shown.showsLinkRow);
    m_codexUsage->setVisible(shown.showsCodexUsage);
    m_claudeStatus->setVisible(shown.showsClaudeStatus);
}

} // namespace vantorel
