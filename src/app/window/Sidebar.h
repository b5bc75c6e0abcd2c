#pragma once

#include "app/window/PopoverPage.h"

#include <QWidget>

namespace vantorel {

class SidebarButton;

// The root view's narrow column: the navigation entries, and the external actions of the
// enabled services. It shows what it is told and reports clicks; the root decides.
class Sidebar : public QWidget
{
    Q_OBJECT

public:
    explicit Sidebar(QWidget* parent = nullptr);

    static constexpr int sidebarWidth = 95;

    // Selects the entry of `page`; the guide and the wizard select none.
    void setPage(PopoverPage page);
    void setProviders(bool codexEnabled, bool claudeEnabled);

signals:
    void pageRequested(PopoverPage page);
    void openCodexCLI();
    void openCodexStatus();
    void openClaudeStatus();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SidebarButton* navigationEntry(const QString& title, const QString& symbol, PopoverPage page);

    QList<std::pair<PopoverPage, SidebarButton*>> m_navigation;
    SidebarButton* m_codexCLI;
    SidebarButton* m_codexStatus;
    SidebarButton* m_claudeStatus;
};

} // namespace vantorel
