#pragma once

#include <QWidget>

#include <functional>

namespace vantorel {

class CompactButton;

// The overview's quick actions: refresh and copy, then the Codex usage and Claude status pages
// of the providers that are on. It only decides what is shown and enabled; the host's actions
// do the work and must return at once.
class MacOverviewQuickActions : public QWidget
{
    Q_OBJECT

public:
    struct Actions {
        std::function<void()> refresh;
        std::function<void()> copy;
        std::function<void()> openCodexUsage;
        std::function<void()> openClaudeStatus;
    };

    // What the block shows for one state.
    struct Layout {
        QString refreshSymbol;
        bool refreshEnabled = false;
        bool showsLinkRow = false;
        bool showsCodexUsage = false;
        bool showsClaudeStatus = false;

        bool operator==(const Layout&) const = default;
    };

    static Layout layout(bool codexEnabled, bool claudeEnabled, bool isRefreshing);

    explicit MacOverviewQuickActions(Actions actions, QWidget* parent = nullptr);

    void setState(bool codexEnabled, bool claudeEnabled, bool isRefreshing);

private:
    Actions m_actions;
    CompactButton* m_refresh;
    CompactButton* m_copy;
    QWidget* m_linkRow;
    CompactButton* m_codexUsage;
    CompactButton* m_claudeStatus;
};

} // namespace vantorel
