#include "app/window/Sidebar.h"

#include "app/ui/SystemColors.h"
#include "app/window/SidebarButton.h"

#include <QPainter>
#include <QVBoxLayout>

namespace vantorel {

Sidebar::Sidebar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("sidebar"));
    setFixedWidth(sidebarWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 14, 10, 14);
    layout->setSpacing(8);

    const auto external = [this](const QString& title, const QString& help, const QString& name) {
        auto* button = new SidebarButton(title, QStringLiteral("waveform.path.ecg"), SidebarButtonRole::externalAction,
                                         help, this);
        button->setObjectName(name);
        return button;
    };
    layout->addWidget(navigationEntry(QStringLiteral("概要"), QStringLiteral("speedometer"), PopoverPage::main));
    layout->addWidget(navigationEntry(QStringLiteral("入力"), QStringLiteral("square.and.pencil"), PopoverPage::manual));
    layout->addWidget(navigationEntry(QStringLiteral("履歴"), QStringLiteral("chart.xyaxis.line"), PopoverPage::history));
    m_codexCLI = new SidebarButton(QStringLiteral("Codex CLI"), QStringLiteral("terminal"),
                                   SidebarButtonRole::externalAction, QStringLiteral("Codex CLIを端末で開く"), this);
    m_codexCLI->setObjectName(QStringLiteral("sidebar.codexCLI"));
    layout->addWidget(m_codexCLI);
    layout->addStretch(1);
    m_codexStatus = external(QStringLiteral("Codex 状態"), QStringLiteral("OpenAIの状態ページを開く"),
                             QStringLiteral("sidebar.codexStatus"));
    layout->addWidget(m_codexStatus);
    m_claudeStatus = external(QStringLiteral("Claude 状態"), QStringLiteral("Claudeの状態ページを開く"),
                              QStringLiteral("sidebar.claudeStatus"));
    layout->addWidget(m_claudeStatus);
    layout->addWidget(navigationEntry(QStringLiteral("設定"), QStringLiteral("gearshape"), PopoverPage::settings));

    connect(m_codexCLI, &QAbstractButton::clicked, this, &Sidebar::openCodexCLI);
    connect(m_codexStatus, &QAbstractButton::clicked, this, &Sidebar::openCodexStatus);
    connect(m_claudeStatus, &QAbstractButton::clicked, this, &Sidebar::openClaudeStatus);
}

SidebarButton* Sidebar::navigationEntry(const QString& title, const QString& symbol, PopoverPage page)
{
    auto* button = new SidebarButton(title, symbol, SidebarButtonRole::navigation, QString(), this);
    button->setObjectName(QStringLiteral("sidebar.") + objectNameOf(page));
    connect(button, &QAbstractButton::clicked, this, [this, page] { emit pageRequested(page); });
    m_navigation.append({page, button});
    return button;
}

void Sidebar::setPage(PopoverPage page)
{
    for (const auto& [entryPage, button] : m_navigation)
        button->setSelected(entryPage == page);
}

void Sidebar::setProviders(bool codexEnabled, bool claudeEnabled)
{
    m_codexCLI->setVisible(codexEnabled);
    m_codexStatus->setVisible(codexEnabled);
    m_claudeStatus->setVisible(claudeEnabled);
}

void Sidebar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), SystemColors::current().controlBackground);
}

} // namespace vantorel
