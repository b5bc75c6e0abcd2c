#pragma once

#include "app/window/ContentEnvironment.h"
#include "app/window/ContentPages.h"
#include "app/window/PopoverPage.h"

#include <QPointer>
#include <QWidget>

namespace vantorel {

class Sidebar;
class TransientBanner;

// The root view of the main window and of the popover: the sidebar, a divider and the panel of
// the selected page, 95 + 1 + 386 = 482 px wide. It owns the page selection and the first-run
// gating: each time it comes on screen it may open the onboarding guide. Ctrl+Q in its window
// quits as "終了" does.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    ContentView(ContentEnvironment environment, ContentPages pages, PopoverPage start = PopoverPage::main,
                QWidget* parent = nullptr);

    static constexpr int rootWidth = 482;
    static constexpr int pageWidth = 386;
    static constexpr int minimumRootHeight = 506;

    PopoverPage page() const { return m_page; }
    // Shows `page`. A change builds a new panel and deletes the old one later (the change often
    // comes from the old panel's own click handler); the same page again does nothing.
    void setPage(PopoverPage page);

    // The panel shown now.
    QWidget* currentPanel() const { return m_panel; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void runFirstRunGating();
    void proceedToSetup();
    void updateSidebar();
    void updateBanner();
    QWidget* buildPanel(PopoverPage page);

    ContentEnvironment m_environment;
    ContentPages m_pages;
    PopoverPage m_page;
    Sidebar* m_sidebar;
    QWidget* m_pageArea;
    QPointer<QWidget> m_panel;
    // What a button could not open; over the bottom of the page.
    TransientBanner* m_banner = nullptr;
};

} // namespace vantorel
