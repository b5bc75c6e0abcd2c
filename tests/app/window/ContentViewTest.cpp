#include "app/platform/ExternalPages.h"
#include "app/ui/CaptionLabel.h"
#include "app/ui/CompactButton.h"
#include "app/ui/DisclosureGroup.h"
#include "app/ui/IconButton.h"
#include "app/ui/NoticeLabel.h"
#include "app/ui/PillButton.h"
#include "app/ui/SegmentedControl.h"
#include "app/ui/SystemColors.h"
#include "app/ui/ToggleSwitch.h"
#include "app/ui/TransientBanner.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StorageFailureText.h"
#include "app/window/ContentView.h"
#include "app/window/SidebarButton.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "sync/onboarding/OnboardingProgressStore.h"
#include "support/DrainEvents.h"
#include "support/FakeUrlOpener.h"
#include "support/ManualSleeper.h"
#include "support/ViewModelHarness.h"
#include "support/ViewTest.h"

#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

namespace vantorel {
namespace {

const QString onboardingStep = QStringLiteral("vantorel-mac-onboarding.step");

// Stand-ins for the real pages: a title and a few kit controls, and the guide's and wizard's
// buttons wired to the actions the root hands them.
QWidget* stubPanel(const QString& title)
{
    auto* panel = new QWidget;
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(16, 14, 16, 14);
    column->addWidget(new SectionTitle(title));
    column->addWidget(new CaptionLabel(QStringLiteral("この画面は仮の表示です。本来のパネルは別に作られます。")));
    column->addWidget(new NoticeLabel(QStringLiteral("サービスがOFFのため取得を停止しています。"),
                                      QStringLiteral("exclamationmark.triangle")));
    auto* row = new QHBoxLayout;
    row->addWidget(new CompactButton(QStringLiteral("更新"), QStringLiteral("arrow.clockwise")));
    row->addWidget(new PillButton(QStringLiteral("終了"), [](const SystemColors& c) { return c.systemRed; }));
    row->addWidget(new IconButton(QStringLiteral("gearshape"), QStringLiteral("設定")));
    row->addStretch();
    column->addLayout(row);
    auto* toggle = new ToggleSwitch(QStringLiteral("バックグラウンド監視"));
    toggle->setChecked(true);
    column->addWidget(toggle);
    column->addWidget(new SegmentedControl({QStringLiteral("アイコン"), QStringLiteral("文字")}));
    auto* group = new DisclosureGroup(QStringLiteral("詳細"));
    group->setContent(new CaptionLabel(QStringLiteral("中身")));
    group->setExpanded(true);
    column->addWidget(group);
    column->addStretch();
    return panel;
}

QPushButton* actionButton(QWidget* panel, const QString& name, const QString& text, std::function<void()> action)
{
    auto* button = new QPushButton(text, panel);
    button->setObjectName(name);
    QObject::connect(button, &QPushButton::clicked, std::move(action));
    panel->layout()->addWidget(button);
    return button;
}

class ContentViewTest : public ViewTest
{
protected:
    ContentPages pages()
    {
        ContentPages result;
        const auto panel = [this](PopoverPage page, QString title) {
            return [this, page, title](const ContentEnvironment&, Binding<PopoverPage>) {
                ++builds[page];
                return stubPanel(title);
            };
        };
        result.main = panel(PopoverPage::main, QStringLiteral("概要"));
        result.settings = panel(PopoverPage::settings, QStringLiteral("設定"));
        result.manual = panel(PopoverPage::manual, QStringLiteral("手入力"));
        result.history = panel(PopoverPage::history, QStringLiteral("履歴"));
        result.setup = [this](const ContentEnvironment&, ContentPages::Action dismiss, ContentPages::Action proceed) {
            ++builds[PopoverPage::setup];
            QWidget* guide = stubPanel(QStringLiteral("はじめに"));
            actionButton(guide, QStringLiteral("guide.dismiss"), QStringLiteral("あとで"), dismiss);
            actionButton(guide, QStringLiteral("guide.proceed"), QStringLiteral("設定へ"), proceed);
            return guide;
        };
        result.initialSetup = [this](const ContentEnvironment&, MacInitialSetupDraft draft, ContentPages::Action dismiss) {
            ++builds[PopoverPage::initialSetup];
            lastDraft = draft;
            QWidget* wizard = stubPanel(QStringLiteral("初回設定"));
            actionButton(wizard, QStringLiteral("wizard.dismiss"), QStringLiteral("あとで"), dismiss);
            return wizard;
        };
        return result;
    }

    std::unique_ptr<ContentView> makeView(AppViewModel& model, PopoverPage start = PopoverPage::main)
    {
        ContentEnvironment environment;
        environment.viewModel = &model;
        environment.urlOpener = &opener;
        environment.openCodexCLI = [this] { ++codexCLIOpened; };
        auto view = std::make_unique<ContentView>(environment, pages(), start);
        view->resize(ContentView::rootWidth, 560);
        return view;
    }

    void click(ContentView& view, const QString& name)
    {
        QTest::mouseClick(find<QAbstractButton>(&view, name), Qt::LeftButton);
        QApplication::processEvents();
    }

    ViewModelHarness harness;
    FakeUrlOpener opener;
    QMap<PopoverPage, int> builds;
    std::optional<MacInitialSetupDraft> lastDraft;
    int codexCLIOpened = 0;
};

TEST_F(ContentViewTest, SidebarShowsTheEntriesOfTheEnabledServices)
{
    struct Case {
        bool codex;
        bool claude;
        QStringList visible;
    };
    const QStringList always{"sidebar.main", "sidebar.manual", "sidebar.history", "sidebar.settings"};
    const QList<Case> cases{
        {false, false, always},
        {true, false, always + QStringList{"sidebar.codexCLI", "sidebar.codexStatus"}},
        {false, true, always + QStringList{"sidebar.claudeStatus"}},
        {true, true, always + QStringList{"sidebar.codexCLI", "sidebar.codexStatus", "sidebar.claudeStatus"}},
    };
    AppViewModel& model = harness.makeViewModel();
    for (const Case& c : cases) {
        AppSettings settings = model.settings();
        settings.codexEnabled = c.codex;
        settings.claudeEnabled = c.claude;
        model.setSettings(settings);
        auto view = makeView(model);
        show(view.get());
        QApplication::processEvents();
        QStringList visible;
        for (auto* entry : view->findChildren<SidebarButton*>())
            if (entry->isVisible())
                visible.append(entry->objectName());
        EXPECT_EQ(QSet<QString>(visible.begin(), visible.end()), QSet<QString>(c.visible.begin(), c.visible.end()))
            << c.codex << c.claude;
        // The flexible space sits above the status entries and 設定, which keep to the bottom.
        auto* settingsEntry = find<QWidget>(view.get(), QStringLiteral("sidebar.settings"));
        EXPECT_EQ(settingsEntry->geometry().bottom(), view->height() - 14 - 1);
        EXPECT_EQ(find<QWidget>(view.get(), QStringLiteral("sidebar.history"))->geometry().top(), 14 + 2 * (32 + 8));
    }
    auto view = makeView(model);
    EXPECT_EQ(find<QWidget>(view.get(), QStringLiteral("sidebar.claudeStatus"))->toolTip(),
              QStringLiteral("Claudeの状態ページを開く"));
    EXPECT_EQ(find<QWidget>(view.get(), QStringLiteral("sidebar.main"))->toolTip(), QStringLiteral("概要"));
    show(view.get());
    EXPECT_EQ(find<QWidget>(view.get(), QStringLiteral("sidebar"))->width(), 95);
    EXPECT_EQ(find<QWidget>(view.get(), QStringLiteral("pageArea"))->width(), 386);
    EXPECT_EQ(view->width(), 482);
}

// The storage failure line sits above every page while it is published, and goes with it.
TEST_F(ContentViewTest, AStorageFailureShowsOneLineAboveThePage)
{
    AppViewModel& model = harness.makeViewModel();
    auto view = makeView(model);
    show(view.get());
    auto* notice = find<QWidget>(view.get(), QStringLiteral("storageFailureNotice"));
    EXPECT_FALSE(notice->isVisible());

    const QString message = StorageFailureText::settings(QStringLiteral("Read-only file system"),
                                                         QStringLiteral("/home/<b>u</b>/.config/Vantorel"));
    model.publishedState().storageFailureMessage = message;
    drainEvents();
    ASSERT_TRUE(notice->isVisible());
    auto* text = find<QLabel>(notice, QStringLiteral("storageFailureNotice.text"));
    EXPECT_EQ(text->text(), message);
    EXPECT_EQ(text->textFormat(), Qt::PlainText);
    EXPECT_LT(notice->geometry().bottom(), view->currentPanel()->geometry().top());
    // A warning, not a grey caption: label-coloured text on an orange ground, whole in both schemes.
    for (const bool dark : {false, true}) {
        setDark(dark);
        drainEvents();
        const SystemColors& colors = SystemColors::current();
        EXPECT_EQ(text->palette().color(QPalette::WindowText), colors.label);
        EXPECT_GE(text->height(), text->heightForWidth(text->width()));
        const QColor ground = notice->grab().toImage().pixelColor(12, notice->height() - 3);
        EXPECT_GT(ground.red() - ground.blue(), 8) << (dark ? "dark" : "light");
        saveGrab(view.get(), dark ? "storage-failure-dark" : "storage-failure-light");
    }
    setDark(false);

    click(*view, QStringLiteral("sidebar.history"));
    drainEvents();
    EXPECT_TRUE(notice->isVisible());
    EXPECT_LT(notice->geometry().bottom(), view->currentPanel()->geometry().top());

    model.publishedState().storageFailureMessage.reset();
    drainEvents();
    EXPECT_FALSE(notice->isVisible());
}

TEST_F(ContentViewTest, PageChangesBuildANewPanelAndMoveTheSelection)
{
    AppSettings settings;
    settings.codexEnabled = true;
    settings.claudeEnabled = true;
    AppViewModel& model = harness.makeViewModel();
    model.setSettings(settings);
    auto view = makeView(model);
    show(view.get());
    const auto selected = [&] {
        QStringList names;
        for (auto* entry : view->findChildren<SidebarButton*>())
            if (entry->isSelected())
                names.append(entry->objectName());
        return names;
    };
    EXPECT_EQ(selected(), QStringList{"sidebar.main"});
    QPointer<QWidget> first = view->currentPanel();
    click(*view, QStringLiteral("sidebar.history"));
    EXPECT_EQ(view->page(), PopoverPage::history);
    EXPECT_EQ(selected(), QStringList{"sidebar.history"});
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    click(*view, QStringLiteral("sidebar.history"));
    EXPECT_EQ(builds[PopoverPage::history], 1);

    view->setPage(PopoverPage::setup);
    EXPECT_TRUE(selected().isEmpty());
    view->setPage(PopoverPage::initialSetup);
    EXPECT_TRUE(selected().isEmpty());

    click(*view, QStringLiteral("sidebar.codexStatus"));
    click(*view, QStringLiteral("sidebar.claudeStatus"));
    click(*view, QStringLiteral("sidebar.codexCLI"));
    EXPECT_EQ(opener.opened, (QList<QUrl>{ExternalPages::openAIStatus(), ExternalPages::claudeStatus()}));
    EXPECT_EQ(codexCLIOpened, 1);
}

TEST_F(ContentViewTest, FirstAppearanceOpensTheGuideOnlyWhileItWasNeverShown)
{
    struct Case {
        bool automaticallyStart;
        const char* state;
        PopoverPage expected;
    };
    const QList<Case> cases{
        {false, "notPresented", PopoverPage::main},
        {true, "notPresented", PopoverPage::setup},
        {true, "deferred", PopoverPage::main},
        {true, "completed", PopoverPage::main},
    };
    for (const Case& c : cases) {
        ViewModelHarness local;
        // An out-of-range step shows whether `begin` ran: it stores the step normalised.
        local.defaults->set(QStringLiteral("vantorel-mac-onboarding.version"), std::int64_t(1));
        local.defaults->set(QStringLiteral("vantorel-mac-onboarding.state"), QString::fromLatin1(c.state));
        local.defaults->set(onboardingStep, std::int64_t(42));
        AppViewModel& model = local.makeViewModel(c.automaticallyStart);
        auto view = makeView(model);
        show(view.get());
        EXPECT_EQ(view->page(), c.expected) << c.state << c.automaticallyStart;
        const bool begun = c.expected == PopoverPage::setup;
        EXPECT_EQ(local.defaults->integerValue(onboardingStep), std::optional<std::int64_t>(begun ? 8 : 42)) << c.state << c.automaticallyStart;
    }
}

TEST_F(ContentViewTest, GuideHandsOverToTheWizardAndSidebarExitsKeepProgress)
{
    AppViewModel& model = harness.makeViewModel(true);
    auto view = makeView(model);
    show(view.get());
    ASSERT_EQ(view->page(), PopoverPage::setup);

    // Leaving through the sidebar keeps the guide's progress, so the next appearance reopens it.
    model.setOnboardingProgress(model.onboardingStore().move(4));
    click(*view, QStringLiteral("sidebar.manual"));
    EXPECT_EQ(model.onboardingStore().load().currentStep, 4);
    view->hide();
    show(view.get());
    EXPECT_EQ(view->page(), PopoverPage::setup);

    struct Case {
        bool completedBefore;
        std::int64_t expectedStep;
    };
    for (const Case& c : {Case{true, 0}, Case{false, 3}}) {
        model.setInitialSetupProgress(model.initialSetupStore().move(3));
        model.setInitialSetupProgress(c.completedBefore ? model.initialSetupStore().complete()
                                                         : model.initialSetupStore().deferPresentation());
        view->setPage(PopoverPage::setup);
        click(*view, QStringLiteral("guide.proceed"));
        EXPECT_EQ(view->page(), PopoverPage::initialSetup);
        EXPECT_EQ(model.initialSetupProgress().currentStep, c.expectedStep);
        EXPECT_EQ(model.initialSetupStore().load().currentStep, c.expectedStep);
        ASSERT_TRUE(lastDraft);
        EXPECT_EQ(*lastDraft, (MacInitialSetupDraft{model.settings(), false, false}));
        click(*view, QStringLiteral("wizard.dismiss"));
        EXPECT_EQ(view->page(), PopoverPage::main);
    }
    view->setPage(PopoverPage::setup);
    click(*view, QStringLiteral("guide.dismiss"));
    EXPECT_EQ(view->page(), PopoverPage::main);
}

TEST_F(ContentViewTest, EveryPageRendersInLightAndDarkWithoutMissingGlyphs)
{
    AppSettings settings;
    settings.codexEnabled = true;
    settings.claudeEnabled = true;
    AppViewModel& model = harness.makeViewModel();
    model.setSettings(settings);
    for (const bool dark : {false, true}) {
        setDark(dark);
        auto view = makeView(model);
        show(view.get());
        for (const PopoverPage page : {PopoverPage::main, PopoverPage::manual, PopoverPage::history,
                                       PopoverPage::settings, PopoverPage::setup, PopoverPage::initialSetup}) {
            view->setPage(page);
            // Every group open, so that the check below reaches the buttons inside them.
            for (DisclosureGroup* group : view->findChildren<DisclosureGroup*>())
                group->setExpanded(true);
            QApplication::processEvents();
            expectNoMissingGlyphs(view.get());
            expectButtonsFit(view.get());
            saveGrab(view.get(), QStringLiteral("window-") + objectNameOf(page) + (dark ? "-dark" : "-light"));
        }
    }
}

TEST_F(ContentViewTest, PagesThatNothingOpensAreNamedOverThePageForAWhile)
{
    AppSettings settings;
    settings.codexEnabled = true;
    settings.claudeEnabled = true;
    AppViewModel& model = harness.makeViewModel();
    model.setSettings(settings);
    opener.result = false;
    for (const bool dark : {false, true}) {
        setDark(dark);
        auto view = makeView(model, dark ? PopoverPage::settings : PopoverPage::main);
        show(view.get());
        auto* banner = find<TransientBanner>(view.get(), QStringLiteral("transientBanner"));
        EXPECT_TRUE(banner->text().isEmpty());
        click(*view, QString::fromLatin1(dark ? "sidebar.claudeStatus" : "sidebar.codexStatus"));
        drainEvents();
        EXPECT_EQ(banner->text(), QStringLiteral("「%1 状態」を開けませんでした。ブラウザが見つかりません。")
                                      .arg(QLatin1String(dark ? "Claude" : "Codex")));
        expectLinesEndAtPunctuation(find<QLabel>(banner, QStringLiteral("banner.text")));
        // Over the bottom of the page, clear of the sidebar, and in front of a page built later.
        const QWidget* page = find<QWidget>(view.get(), QStringLiteral("pageArea"));
        EXPECT_TRUE(page->rect().contains(banner->geometry()));
        EXPECT_EQ(banner->geometry().bottom(), page->height() - 1 - TransientBanner::margin);
        click(*view, QStringLiteral("sidebar.history"));
        EXPECT_EQ(page->children().last(), banner);
        saveGrab(view.get(), QStringLiteral("window-openFailure") + (dark ? "-dark" : "-light"));
        expectNoMissingGlyphs(view.get());

        harness.sleeper->advance(OpenFailure::displaySeconds);
        drainEvents();
        EXPECT_TRUE(banner->text().isEmpty());
    }
    EXPECT_EQ(opener.opened, (QList<QUrl>{ExternalPages::openAIStatus(), ExternalPages::claudeStatus()}));
}

} // namespace
} // namespace vantorel
