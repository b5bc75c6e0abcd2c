#include "app/window/ContentView.h"

#include "app/platform/ExternalPages.h"
#include "app/ui/SystemColors.h"
#include "app/ui/TransientBanner.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/window/Sidebar.h"
#include "app/window/StorageFailureNotice.h"
#include "app/window/SyncCoordinatorFlags.h"
#include "sync/onboarding/OnboardingProgressStore.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>
#include <QShortcut>
#include <QShowEvent>
#include <QVBoxLayout>

namespace vantorel {

namespace {

class ColumnDivider final : public QWidget
{
public:
    explicit ColumnDivider(QWidget* parent)
        : QWidget(parent)
    {
        setFixedWidth(1);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(rect(), SystemColors::current().separator);
    }
};

} // namespace

ContentView::ContentView(ContentEnvironment environment, ContentPages pages, PopoverPage start, QWidget* parent)
    : QWidget(parent)
    , m_environment(std::move(environment))
    , m_pages(std::move(pages))
    , m_page(start)
    , m_sidebar(new Sidebar(this))
    , m_pageArea(new QWidget(this))
{
    setObjectName(QStringLiteral("contentView"));
    setFixedWidth(rootWidth);
    setMinimumHeight(minimumRootHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(m_sidebar);
    row->addWidget(new ColumnDivider(this));
    row->addWidget(m_pageArea);
    m_pageArea->setObjectName(QStringLiteral("pageArea"));
    m_pageArea->setFixedWidth(pageWidth);
    auto* pageLayout = new QVBoxLayout(m_pageArea);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(0);
    pageLayout->addWidget(new StorageFailureNotice(m_environment.viewModel, m_pageArea));

    connect(m_sidebar, &Sidebar::pageRequested, this, &ContentView::setPage);
    connect(m_sidebar, &Sidebar::openCodexCLI, this, [this] {
        if (m_environment.openCodexCLI)
            m_environment.openCodexCLI();
    });
    connect(m_sidebar, &Sidebar::openCodexStatus, this,
            [this] { m_environment.openPage(ExternalPages::openAIStatus(), QStringLiteral("Codex 状態")); });
    connect(m_sidebar, &Sidebar::openClaudeStatus, this,
            [this] { m_environment.openPage(ExternalPages::claudeStatus(), QStringLiteral("Claude 状態")); });
    if (m_environment.viewModel) {
        connect(m_environment.viewModel, &AppViewModel::changed, this, &ContentView::updateSidebar,
                Qt::QueuedConnection);
        connect(m_environment.viewModel, &AppViewModel::changed, this, &ContentView::updateBanner,
                Qt::QueuedConnection);
    }

    // Ctrl+Q quits from every page, the way "終了" does.
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    quit->setContext(Qt::WindowShortcut);
    connect(quit, &QShortcut::activated, this, [this] { m_environment.quitApplication(); });


    m_panel = buildPanel(m_page);
    pageLayout->addWidget(m_panel);
    m_sidebar->setPage(m_page);
    updateSidebar();
    m_banner = new TransientBanner(m_pageArea);
    updateBanner();
}

void ContentView::setPage(PopoverPage page)
{
    if (page == m_page)
        return;
    m_page = page;
    if (m_panel) {
        m_pageArea->layout()->removeWidget(m_panel);
        m_panel->hide();
        m_panel->deleteLater();
    }
    m_panel = buildPanel(page);
    m_pageArea->layout()->addWidget(m_panel);
    m_banner->raise();
    m_sidebar->setPage(page);
}

void ContentView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A window restored from the task bar is shown spontaneously; that is not an appearance.
    if (!event->spontaneous())
        runFirstRunGating();
}

void ContentView::runFirstRunGating()
{
    AppViewModel* model = m_environment.viewModel;
    if (!model || !model->automaticallyStartServices()
        || model->onboardingProgress().state != OnboardingCompletionState::notPresented)
        return;
    model->setOnboardingProgress(model->onboardingStore().begin());
    setPage(PopoverPage::setup);
}

void ContentView::proceedToSetup()
{
    AppViewModel* model = m_environment.viewModel;
    if (!model)
        return;
    const OnboardingCompletionState noted = model->initialSetupProgress().state;
    model->setInitialSetupProgress(model->initialSetupStore().begin());
    // A wizard finished before starts again at its first step; a deferred one where it stopped.
    if (noted == OnboardingCompletionState::completed)
        model->setInitialSetupProgress(model->initialSetupStore().move(0));
    setPage(PopoverPage::initialSetup);
}

void ContentView::updateSidebar()
{
    if (!m_environment.viewModel)
        return;
    const AppSettings& settings = m_environment.viewModel->settings();
    m_sidebar->setProviders(settings.codexEnabled, settings.claudeEnabled);
}

void ContentView::updateBanner()
{
    m_banner->setMessage(m_environment.viewModel ? m_environment.viewModel->openFailureMessage() : std::nullopt);
}

QWidget* ContentView::buildPanel(PopoverPage page)
{
    const Binding<PopoverPage> binding{[this] { return m_page; }, [this](PopoverPage next) { setPage(next); }};
    const ContentPages::Action toMain = [this] { setPage(PopoverPage::main); };
    QWidget* panel = nullptr;
    switch (page) {
    case PopoverPage::main:
        if (m_pages.main)
            panel = m_pages.main(m_environment, binding);
        break;
    case PopoverPage::settings:
        if (m_pages.settings)
            panel = m_pages.settings(m_environment, binding);
        break;
    case PopoverPage::manual:
        if (m_pages.manual)
            panel = m_pages.manual(m_environment, binding);
        break;
    case PopoverPage::history:
        if (m_pages.history)
            panel = m_pages.history(m_environment, binding);
        break;
    case PopoverPage::setup:
        if (m_pages.setup)
            panel = m_pages.setup(m_environment, toMain, [this] { proceedToSetup(); });
        break;
    case PopoverPage::initialSetup:
        if (m_pages.initialSetup) {
            MacInitialSetupDraft draft;
            if (m_environment.viewModel)
                draft.settings = m_environment.viewModel->settings();
            draft.wifiSyncEnabled = wifiSyncEnabled(m_environment.syncCoordinator);
            draft.cloudSyncEnabled = cloudSyncEnabled(m_environment.cloudCoordinator);
            panel = m_pages.initialSetup(m_environment, std::move(draft), toMain);
        }
        break;
    }
    if (!panel)
        panel = new QWidget;
    panel->setParent(m_pageArea);
    panel->setProperty("popoverPage", objectNameOf(page));
    return panel;
}

} // namespace vantorel
