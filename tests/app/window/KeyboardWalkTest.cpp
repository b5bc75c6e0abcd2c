#include "../setup/SetupRig.h"

#include "app/setup/MacInitialSetupView.h"
#include "app/setup/MacOnboardingView.h"
#include "app/ui/FocusRing.h"
#include "app/ui/ScreenFit.h"
#include "app/window/ContentView.h"
#include "app/window/HistoryPanel.h"
#include "app/window/MainPanel.h"
#include "app/window/ManualInputPanel.h"
#include "app/window/SettingsPanel.h"
#include "app/window/SidebarButton.h"
#include "core/model/CodexPeriodValidation.h"
#include "core/sources/CodexCLIUsageError.h"
#include "support/DrainEvents.h"
#include "support/FakeUrlOpener.h"
#include "support/ViewTest.h"
#include "support/WaitUntil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScrollArea>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace vantorel {
namespace {

// Enough presses to pass every control of the longest page (settings) and come round again.
constexpr int maximumTabPresses = 120;

class KeyboardWalkTest : public ViewTest
{
protected:
    // The window's content with the application's own pages, as the application builds it.
    std::unique_ptr<ContentView> makeView()
    {
        ContentEnvironment environment;
        environment.viewModel = &rig.model;
        environment.syncCoordinator = &rig.wifi;
        environment.cloudCoordinator = &rig.cloud;
        environment.urlOpener = &opener;
        environment.sleeper = rig.harness.sleeper;
        ContentPages pages;
        pages.main = [](const ContentEnvironment& e, Binding<PopoverPage> page) { return new MainPanel(e, std::move(page)); };
        pages.manual = [](const ContentEnvironment& e, Binding<PopoverPage> page) {
            return new ManualInputPanel(*e.viewModel, std::move(page), e.pasteboard);
        };
        pages.history = [](const ContentEnvironment& e, Binding<PopoverPage>) -> QWidget* {
            return new HistoryPanel(*e.viewModel);
        };
        pages.settings = [](const ContentEnvironment& e, Binding<PopoverPage> page) {
            return new SettingsPanel(e, std::move(page));
        };
        pages.setup = [](const ContentEnvironment& e, ContentPages::Action dismiss, ContentPages::Action proceed) {
            return new MacOnboardingView(*e.viewModel, std::move(dismiss), std::move(proceed));
        };
        pages.initialSetup = [](const ContentEnvironment& e, MacInitialSetupDraft draft,
                                ContentPages::Action dismiss) -> QWidget* {
            return new MacInitialSetupView(*e.viewModel, e.syncCoordinator, e.cloudCoordinator, std::move(draft),
                                           std::move(dismiss));
        };
        auto view = std::make_unique<ContentView>(environment, pages, PopoverPage::main);
        view->resize(ContentView::rootWidth, 560);
        return view;
    }

    SetupRig rig;
    FakeUrlOpener opener;
};

// A Codex reading that takes an hour on the test's clock: its button stays busy meanwhile.
QCoro::Task<UsageSnapshot> slowReading(std::shared_ptr<Sleeper> sleeper, CancelToken token)
{
    co_await sleeper->sleep(3600, token);
    throw CodexCLIUsageError(CodexCLIUsageError::Code::executableNotFound);
}

QString describe(const QWidget* widget)
{
    return QString::fromLatin1(widget->metaObject()->className()) + u" \"" + widget->objectName() + u'"';
}

TEST_F(KeyboardWalkTest, EveryTabStopOfEveryPageLooksFocused)
{
    AppSettings settings = rig.model.settings();
    settings.codexEnabled = true;
    settings.claudeEnabled = true;
    rig.model.setSettings(settings);
    // A day of readings, so that the history page shows its chart.
    QList<UsageHistoryEntry> history;
    for (int hour = 24; hour > 0; --hour)
        history.append({QUuid::createUuid(), MonitoredProvider::codex, rig.harness.clock.now() - hour * 3600.0,
                        50.0 + hour, 80.0, CodexPeriodValidation::currentVersion});
    rig.model.setUsageHistory(history);
    for (const bool dark : {false, true}) {
        setDark(dark);
        auto view = makeView();
        show(view.get());
        view->activateWindow();
        for (const PopoverPage page : {PopoverPage::main, PopoverPage::manual, PopoverPage::history,
                                       PopoverPage::settings, PopoverPage::setup, PopoverPage::initialSetup}) {
            view->setPage(page);
            drainEvents();
            const QString where = objectNameOf(page) + (dark ? QStringLiteral(" dark") : QStringLiteral(" light"));
            QSet<QWidget*> visited;
            int stops = 0;
            bool pictured = false;
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : view.get(), Qt::Key_Tab);
            for (int press = 0; press < maximumTabPresses; ++press) {
                QPointer<QWidget> focused = QApplication::focusWidget();
                ASSERT_TRUE(focused) << where.toStdString();
                if (visited.contains(focused))
                    break;
                visited.insert(focused);
                const QImage ringed = focused->grab().toImage();
                // One picture per page with the ring on one of the page's own controls, and one of
                // the sidebar's.
                ++stops;
                if (stops == 1 && page == PopoverPage::main && qobject_cast<SidebarButton*>(focused))
                    saveGrab(view.get(), QStringLiteral("tab-walk-sidebar") + (dark ? "-dark" : "-light"));
                if (!pictured && !qobject_cast<SidebarButton*>(focused)
                    && !qobject_cast<QScrollArea*>(focused)) {
                    pictured = true;
                    saveGrab(view.get(), QStringLiteral("tab-walk-") + objectNameOf(page) + (dark ? "-dark" : "-light"));
                }
                QTest::keyClick(focused, Qt::Key_Tab);
                if (focused && focused != QApplication::focusWidget()) {
                    EXPECT_NE(focused->grab().toImage(), ringed) << describe(focused).toStdString() << " on "
                                                                 << where.toStdString();
                }
            }
            EXPECT_GT(stops, 3) << where.toStdString();
        }
    }
}

// The window opens with the focus on its first control, a sidebar button, and no ring: Return
// is still the guide's forward button, as the user sees no other control chosen.
TEST_F(KeyboardWalkTest, ReturnGoesOnThroughTheGuideFromTheFocusTheWindowOpensWith)
{
    auto view = makeView();
    view->setPage(PopoverPage::setup);
    show(view.get());
    view->activateWindow();
    drainEvents();
    for (int press = 0; press < 3; ++press) {
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClick(focused ? focused : view.get(), Qt::Key_Return);
        drainEvents();
    }
    EXPECT_EQ(view->page(), PopoverPage::setup);
    EXPECT_EQ(find<QLabel>(view.get(), QStringLiteral("onboarding.counter"))->text(), QStringLiteral("4 / 9"));
}


// A control that disables itself, or a page that replaces the one clicked, passes the focus on as
// Tab would; after earlier keys that used to ring the next control and hand it Return.
TEST_F(KeyboardWalkTest, AFocusTheProgramMovesAfterAClickShowsNoRingAndLeavesReturnToTheWindow)
{
    AppSettings settings = rig.model.settings();
    settings.codexEnabled = true;
    settings.codexCLIAutoRefreshEnabled = true;
    rig.model.publishedState().discordWebhookIsSaved = true;
    rig.model.setSettings(settings);
    rig.model.setInitialSetupProgress(rig.model.initialSetupStore().move(6));
    rig.model.setInitialSetupProgress(rig.model.initialSetupStore().deferPresentation());
    rig.codexUsageLoader = [sleeper = rig.harness.sleeper](CancelToken token) { return slowReading(sleeper, token); };
    auto view = makeView();
    show(view.get());
    view->activateWindow();
    drainEvents();
    const auto focused = [] { return QApplication::focusWidget(); };
    const auto ringed = [&focused] { return focused() && FocusRing::isShown(focused()); };
    // Return on the control the focus landed on leaves it alone.
    const auto expectReturnPassesBy = [&focused](const char* where) {
        auto* button = qobject_cast<QAbstractButton*>(focused());
        ASSERT_TRUE(button) << where;
        QSignalSpy clicked(button, &QAbstractButton::clicked);
        QTest::keyClick(button, Qt::Key_Return);
        EXPECT_TRUE(clicked.isEmpty()) << where << ": Return pressed " << describe(button).toStdString();
    };
    const auto clickAfterTab = [&](const QString& name) {
        QTest::keyClick(focused() ? focused() : view.get(), Qt::Key_Tab);
        EXPECT_TRUE(ringed()) << "a Tab rings where it lands";
        auto* button = find<QAbstractButton>(view.get(), name);
        QTest::mouseClick(button, Qt::LeftButton);
        drainEvents();
        // The page hears of a busy view model one turn after the view model's own change.
        QCoreApplication::sendPostedEvents();
        return button;
    };

    // The overview: 使用量を更新 waits for its readings, and the focus lands on コピー.
    auto* update = clickAfterTab(QStringLiteral("quickActions.refresh"));
    ASSERT_FALSE(update->isEnabled());
    ASSERT_EQ(focused(), find<QWidget>(view.get(), QStringLiteral("quickActions.copy")));
    EXPECT_FALSE(ringed());
    expectReturnPassesBy("overview");
    // The refresh ends before the next step: its status page answers over the loopback, then its
    // Codex reading comes after the hour.
    ASSERT_TRUE(waitUntil([this] { return rig.model.state().isRefreshingCodexCLI; }));
    rig.harness.sleeper->advance(3600);
    ASSERT_TRUE(waitUntil([this] { return !rig.harness.logLines(QStringLiteral("refreshScheduledItems.end")).isEmpty(); }));
    view->setPage(PopoverPage::settings);
    drainEvents();

    // Discord 削除 disables itself with the webhook gone; the focus lands on the queue's header.
    clickAfterTab(QStringLiteral("discord.delete"));
    ASSERT_TRUE(waitUntil([this] { return !rig.model.discordWebhookIsSaved(); }));
    drainEvents();
    EXPECT_FALSE(ringed()) << describe(focused()).toStdString();
    expectReturnPassesBy("Discord");

    // Settings: Codexを更新 waits for its reading, and the focus lands on 再起動.
    auto* refresh = clickAfterTab(QStringLiteral("settings.action.refreshCodex"));
    ASSERT_FALSE(refresh->isEnabled());
    ASSERT_EQ(focused(), find<QWidget>(view.get(), QStringLiteral("settings.action.restart")));
    EXPECT_FALSE(ringed());
    expectReturnPassesBy("settings");
    EXPECT_TRUE(rig.detachedPrograms.isEmpty()) << "Return restarted the application";
    rig.harness.sleeper->advance(3600);

    // 続きから設定 opens the wizard on its last step in place of the settings.
    clickAfterTab(QStringLiteral("settings.setup.open"));
    ASSERT_EQ(view->page(), PopoverPage::initialSetup);
    ASSERT_EQ(find<QLabel>(view.get(), QStringLiteral("initial-setup.counter"))->text(), QStringLiteral("7 / 7"));
    ASSERT_TRUE(focused());
    EXPECT_FALSE(ringed()) << describe(focused()).toStdString();
    QTest::keyClick(focused(), Qt::Key_Return);
    drainEvents();
    EXPECT_EQ(rig.model.initialSetupProgress().state, OnboardingCompletionState::completed) << "Return starts";
}

// The window (or the popover) fitted to a small screen at a large scale: every page scrolls
// rather than pressing a part below its own height.
TEST_F(KeyboardWalkTest, EveryPageOfAShortWindowKeepsItsPartsWhole)
{
    QList<UsageHistoryEntry> history;
    for (int hour = 24; hour > 0; --hour)
        history.append({QUuid::createUuid(), MonitoredProvider::codex, rig.harness.clock.now() - hour * 3600.0,
                        50.0 + hour, 80.0, CodexPeriodValidation::currentVersion});
    rig.model.setUsageHistory(history);
    auto view = makeView();
    ScreenFit::fitContentHeight(view.get(), ContentView::minimumRootHeight, 250);
    view->resize(ContentView::rootWidth, 250);
    show(view.get());
    for (const PopoverPage page : {PopoverPage::main, PopoverPage::manual, PopoverPage::history, PopoverPage::settings,
                                   PopoverPage::setup, PopoverPage::initialSetup}) {
        view->setPage(page);
        drainEvents();
        SCOPED_TRACE(objectNameOf(page).toStdString());
        EXPECT_GT(expectNothingSqueezed(view->currentPanel()), 10);
        saveGrab(view.get(), QStringLiteral("short-window-") + objectNameOf(page));
    }
}

// The focus that the program moves while the window is away reaches no control until the window
// comes back, and Qt tells the control that had it nothing: a note of a Tab from before must not
// ring the control the window now comes back to, nor hand it Return.
TEST_F(KeyboardWalkTest, AFocusTheProgramMovesWhileTheWindowIsAwayComesBackWithoutARing)
{
    auto view = makeView();
    QWidget other;
    other.setWindowTitle(QStringLiteral("別のウィンドウ"));
    (new QVBoxLayout(&other))->addWidget(new QLineEdit);
    show(view.get());
    view->activateWindow();
    drainEvents();
    // The window system's activation arrives through the event loop, not as a posted event.
    const auto activate = [](QWidget* window) {
        window->activateWindow();
        QApplication::processEvents();
        ASSERT_TRUE(window->isActiveWindow());
    };
    auto* settings = find<QAbstractButton>(view.get(), QStringLiteral("mainPanel.settings"));
    auto* copy = find<QAbstractButton>(view.get(), QStringLiteral("quickActions.copy"));
    ASSERT_TRUE(settings && copy);
    for (int press = 0; press < maximumTabPresses && QApplication::focusWidget() != settings; ++press)
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : view.get(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), settings) << "Tab reaches the settings button";
    ASSERT_TRUE(FocusRing::isShown(settings));
    QSignalSpy settingsClicked(settings, &QAbstractButton::clicked);
    QSignalSpy copyClicked(copy, &QAbstractButton::clicked);

    show(&other);
    activate(&other);
    copy->setFocus();
    activate(view.get());
    ASSERT_TRUE(copy->hasFocus());
    EXPECT_FALSE(FocusRing::isShown(copy));
    activate(&other);
    settings->setFocus();
    activate(view.get());
    ASSERT_TRUE(settings->hasFocus());
    EXPECT_FALSE(FocusRing::isShown(settings)) << "the Tab's note outlived the focus it came with";
    saveGrab(view.get(), QStringLiteral("focus-back-after-program-moves"));
    QTest::keyClick(settings, Qt::Key_Return);
    drainEvents();
    EXPECT_TRUE(settingsClicked.isEmpty()) << "Return pressed the settings button";
    EXPECT_TRUE(copyClicked.isEmpty());
    EXPECT_EQ(view->page(), PopoverPage::main);
}

} // namespace
} // namespace vantorel
