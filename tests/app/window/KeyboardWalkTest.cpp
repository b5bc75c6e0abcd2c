#include "../setup/SetupRig.h"

#include "app/setup/MacInitialSetupView.h"
#include "app/setup/MacOnboardingView.h"
#include "app/window/ContentView.h"
#include "app/window/HistoryPanel.h"
#include "app/window/MainPanel.h"
#include "app/window/ManualInputPanel.h"
#include "app/window/SettingsPanel.h"
#include "app/window/SidebarButton.h"
#include "core/model/CodexPeriodValidation.h"
#include "support/DrainEvents.h"
#include "support/FakeUrlOpener.h"
#include "support/ViewTest.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QSet>
#include <QTest>

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

} // namespace
} // namespace vantorel
