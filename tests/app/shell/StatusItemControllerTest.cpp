#include "StatusItemRig.h"

#include "app/platform/SystemTrayStatusItemBackend.h"
#include "app/shell/StatusItemFallbackPanel.h"
#include "app/shell/StatusItemPopover.h"
#include "support/FakeNotificationBackend.h"

#include "app/ui/SystemColors.h"
#include "support/ViewTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using namespace statusitemtest;
using Activation = StatusItemBackend::Activation;

TEST(StatusItemController, LogsOneLinePerPresentationAndSetsTheIconOnlyWhenThePictureChanges)
{
    ControllerRig rig;
    EXPECT_EQ(rig.lines, (QStringList{"statusItem.updated width=117 compact=true nativeVisible=true notchFallback=false",
                                      "statusItem.created"}));
    EXPECT_EQ(rig.backend->toolTip(), QStringLiteral("Codex 5h 残り37% / Codex 1W 残り80% / Claude 5h 未取得 / Claude 1W 未取得"));
    const int icons = rig.backend->iconSetCount();
    rig.setCodexFiveHour(37.2);
    rig.setCodexFiveHour(37.4);
    EXPECT_EQ(rig.backend->iconSetCount(), icons);
    rig.setCodexFiveHour(50);
    EXPECT_EQ(rig.backend->iconSetCount(), icons + 1);
    EXPECT_EQ(rig.backend->toolTipSetCount(), 2);
    EXPECT_EQ(rig.lines.size(), 2);

    rig.changeSettings([](AppSettings& s) { s.menuBarCompactMode = false; });
    EXPECT_EQ(rig.lines.last(), QStringLiteral("statusItem.updated width=180 compact=false nativeVisible=true notchFallback=false"));
}

// The tray is told at once; it draws the sizes it shows when it paints them. A switch between
// light and dark redraws the picture at once, without waiting for a reading.
TEST(StatusItemController, TheTrayGetsEachNewPictureAtOnceAndFollowsTheAppearance)
{
    ControllerRig rig;
    const auto picture = [&rig] { return rig.backend->icon().pixmap(QSize(22, 22), 1).toImage(); };
    rig.viewModel.publishedState().usageSnapshot = UsageSnapshot{
        .fiveHourRemainingPercent = 64, .weeklyRemainingPercent = 80, .source = UsageSource::manual};
    const int icons = rig.backend->iconSetCount();
    drainEvents();
    EXPECT_EQ(rig.backend->iconSetCount(), icons + 1) << "in the turn that delivers the change";
    EXPECT_EQ(rig.backend->icon().availableSizes().size(), qsizetype(MenuBarGaugeImageRenderer::squareIconSizes.size()));
    const QImage light = picture();

    rig.palette = MenuBarPalette::dark();
    ASSERT_TRUE(rig.appearanceChanged);
    rig.appearanceChanged();
    drainEvents();
    EXPECT_EQ(rig.backend->iconSetCount(), icons + 2);
    EXPECT_NE(picture(), light);
}

// StatusNotifierItem hosts show a title above the body; the body has one line per service.
TEST(StatusItemController, TheToolTipHasATitleAndOneLinePerService)
{
    ControllerRig rig;
    EXPECT_EQ(rig.backend->toolTipTitle(), QStringLiteral("Vantorel"));
    EXPECT_EQ(rig.backend->toolTipLines(),
              (QStringList{"Codex 5h 残り37% / Codex 1W 残り80%", "Claude 5h 未取得 / Claude 1W 未取得"}));
    rig.changeSettings([](AppSettings& s) { s.codexEnabled = s.claudeEnabled = false; });
    EXPECT_EQ(rig.backend->toolTipLines(), (QStringList{"CodexとClaudeはOFFです。クリックして設定できます。"}));
}

TEST(StatusItemController, FallbackPanelStandsInWhileNoHostIsThere)
{
    ControllerRig rig;
    rig.backend->setAvailable(false);
    drainEvents();
    auto* panel = rig.controller->fallbackPanel();
    ASSERT_TRUE(panel);
    EXPECT_FALSE(rig.backend->isVisible());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->size(), QSize(119, 28));
    EXPECT_EQ(rig.lines.mid(2), (QStringList{"statusItem.notchFallbackCreated",
                                             "statusItem.updated width=117 compact=true nativeVisible=false notchFallback=true"}));
    rig.changeSettings([](AppSettings& s) { s.codexEnabled = s.claudeEnabled = false; });
    EXPECT_EQ(panel->size(), QSize(32, 28));
    EXPECT_EQ(rig.lines.filter(QStringLiteral("notchFallbackCreated")).size(), 1);

    rig.backend->setAvailable(true);
    drainEvents();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(rig.backend->isVisible());
}

TEST(StatusItemController, ClicksToggleThePopoverAndNothingFollowsTheViewModelsEnd)
{
    ControllerRig rig;
    for (const auto activation : {Activation::doubleClick, Activation::middleClick, Activation::trigger})
        rig.backend->click(activation);
    EXPECT_TRUE(rig.controller->popover().isVisible());
    rig.backend->click(Activation::context);
    EXPECT_FALSE(rig.controller->popover().isVisible());
    EXPECT_EQ(rig.lines.mid(2), (QStringList{"popover.open", "popover.close"}));
    // Another application takes over, as a click on the tray host does: the popover hides, and
    // the click that follows does not open it again; it is the click that closed it.
    rig.backend->click(Activation::trigger);
    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    rig.backend->click(Activation::context);
    EXPECT_FALSE(rig.controller->popover().isVisible());
    EXPECT_EQ(rig.lines.mid(4), (QStringList{"popover.open", "popover.close"}));

    const int icons = rig.backend->iconSetCount();
    rig.harness.destroyViewModel();
    rig.backend->setAvailable(false);
    drainEvents();
    EXPECT_FALSE(rig.controller->fallbackPanel());
    EXPECT_EQ(rig.backend->iconSetCount(), icons);
    EXPECT_EQ(rig.lines.size(), 6);
}

// A click on a notification brings the program up, as a click on the item does, but never closes it.
TEST(StatusItemController, ANotificationClickOpensThePopoverOrWithoutATrayTheWindow)
{
    ControllerRig rig;
    const auto& popover = rig.controller->popover();
    rig.harness.notificationBackend->activate();
    ASSERT_TRUE(popover.isVisible());
    rig.harness.notificationBackend->activate();
    EXPECT_TRUE(popover.isVisible());
    EXPECT_EQ(rig.lines.mid(2), QStringList{"popover.open"});
    EXPECT_FALSE(rig.controller->mainWindow());

    rig.backend->click(Activation::trigger);
    rig.backend->setAvailable(false);
    drainEvents();
    rig.harness.notificationBackend->activate();
    ASSERT_TRUE(rig.controller->mainWindow());
    EXPECT_TRUE(rig.controller->mainWindow()->isVisible());
    EXPECT_FALSE(popover.isVisible());
    EXPECT_EQ(rig.lines.filter(QStringLiteral("mainWindow.open")), QStringList{"mainWindow.open reason=notification"});

    rig.harness.destroyViewModel();
    rig.controller->mainWindow()->hide();
    rig.harness.notificationBackend->activate();
    EXPECT_FALSE(rig.controller->mainWindow()->isVisible()) << "nothing follows the view model's end";
}

// Offscreen there is no tray host: the real backend says so, the panel takes the right half of the
// top strip, and a click on it opens the popover below it, on the screen.
TEST(StatusItemController, OffscreenFallbackEndToEnd)
{
    ControllerRig rig(std::make_unique<SystemTrayStatusItemBackend>(QDBusConnection::sessionBus()));
    auto* panel = rig.controller->fallbackPanel();
    ASSERT_TRUE(panel);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(panel->geometry(), QRect(available.left() + available.width() / 2 + 6, available.top(), 119, 28));
    auto* button = panel->findChild<QAbstractButton*>(QStringLiteral("statusItemFallbackButton"));
    ASSERT_TRUE(button);
    EXPECT_EQ(button->toolTip(), rig.viewModel.menuBarGaugeHelpText());
    QTest::mouseClick(button, Qt::LeftButton);
    const auto& popover = rig.controller->popover();
    ASSERT_TRUE(popover.isVisible());
    EXPECT_EQ(popover.geometry().top(), panel->frameGeometry().bottom() + 1);
    EXPECT_TRUE(available.contains(popover.geometry()));
}

// Asking Qt costs blocking round trips to the tray host: the answer is asked once and again only
// after the host may have changed.
TEST(SystemTrayStatusItemBackend, AsksForTheTrayOncePerHostChange)
{
    int asked = 0;
    bool present = true;
    SystemTrayStatusItemBackend backend(QDBusConnection::sessionBus(), [&] {
        ++asked;
        return present;
    });
    EXPECT_TRUE(backend.isAvailable());
    EXPECT_TRUE(backend.isAvailable());
    EXPECT_EQ(asked, 1);
    present = false;
    emit backend.availabilityMayHaveChanged();
    EXPECT_FALSE(backend.isAvailable());
    EXPECT_FALSE(backend.isAvailable());
    EXPECT_EQ(asked, 2);
}

TEST(StatusItemPopover, OpensBelowAnUpperAnchorAboveALowerOneInsideTheScreen)
{
    const QRect screen(0, 0, 1920, 1080), available(0, 32, 1920, 1048);
    const std::vector<std::pair<QRect, QRect>> cases{
        {{1500, 0, 22, 32}, {1270, 32, 482, 560}},
        {{1900, 1050, 20, 30}, {1438, 490, 482, 560}},
        {{5, 40, 1, 1}, {0, 41, 482, 560}},
        {{900, 700, 20, 20}, {669, 140, 482, 560}},
    };
    for (const auto& [anchor, frame] : cases)
        EXPECT_EQ(StatusItemPopover::frameFor(anchor, screen, available), frame);
}

TEST(StatusItemPopover, ShrinksToASmallScreenWithItsTopOnScreen)
{
    // 1280 × 800 at a scale factor of 2 with a 24 px panel at the top, then at the bottom.
    const QRect screen(0, 0, 640, 400);
    EXPECT_EQ(StatusItemPopover::frameFor({600, 0, 22, 24}, screen, {0, 24, 640, 376}), QRect(158, 24, 482, 376));
    EXPECT_EQ(StatusItemPopover::frameFor({600, 376, 22, 24}, screen, {0, 0, 640, 376}), QRect(158, 0, 482, 376));
    // 1366 × 768 at 150 %: the height fits below a top panel only in part.
    EXPECT_EQ(StatusItemPopover::frameFor({880, 0, 22, 24}, {0, 0, 911, 512}, {0, 24, 911, 488}),
              QRect(429, 24, 482, 488));
}

class StatusItemPopoverView : public ViewTest
{
};

TEST_F(StatusItemPopoverView, PressesOutsideHideItExceptInItsOwnDialogsAndTheToggle)
{
    QWidget* content = nullptr;
    StatusItemPopover popover([&content] { return content = new QWidget; });
    QWidget mainWindow;
    mainWindow.resize(300, 200);
    show(&mainWindow);
    QWidget toggle;
    toggle.resize(40, 20);
    show(&toggle);
    popover.ignorePressesIn(&toggle);
    popover.open({});
    QApplication::processEvents();

    QTest::mouseClick(content, Qt::LeftButton);
    QDialog dialog(content);
    dialog.resize(100, 60);
    show(&dialog);
    QTest::mouseClick(&dialog, Qt::LeftButton);
    dialog.hide();
    QTest::mouseClick(&toggle, Qt::LeftButton);
    EXPECT_TRUE(popover.isVisible());
    EXPECT_FALSE(popover.justHidDueToDeactivation());

    // The application's own main window counts as elsewhere.
    QTest::mouseClick(&mainWindow, Qt::LeftButton);
    EXPECT_FALSE(popover.isVisible());
    EXPECT_TRUE(popover.justHidDueToDeactivation());
    popover.open({});
    QApplication::processEvents();
    EXPECT_FALSE(popover.justHidDueToDeactivation());
    EXPECT_TRUE(popover.isVisible());
}

TEST_F(StatusItemPopoverView, BuildsItsContentOnTheFirstOpeningAndKeepsItAfterwards)
{
    int built = 0;
    QWidget* content = nullptr;
    StatusItemPopover popover([&] {
        ++built;
        return content = new QWidget;
    });
    EXPECT_EQ(built, 0);
    popover.open({});
    QApplication::processEvents();
    popover.hide();
    popover.open({});
    QApplication::processEvents();
    EXPECT_EQ(built, 1);
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(content->parentWidget(), &popover);
    EXPECT_TRUE(content->isVisible());
}

TEST_F(StatusItemPopoverView, BorderStandsApartFromTheBackgroundInBothSchemes)
{
    for (const bool dark : {false, true}) {
        setDark(dark);
        StatusItemPopover popover([] { return new QWidget; });
        popover.open({});
        QApplication::processEvents();
        const QImage image = popover.grab().toImage();
        const QColor background = SystemColors::current().windowBackground;
        for (const QPoint edge : {QPoint(0, image.height() / 2), QPoint(image.width() - 1, 9), QPoint(40, 0),
                                  QPoint(40, image.height() - 1)}) {
            const int contrast = std::abs(qGray(image.pixelColor(edge).rgb()) - qGray(background.rgb()));
            EXPECT_GE(contrast, 40) << (dark ? "dark " : "light ") << edge.x() << "," << edge.y();
        }
        EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), background);
        saveGrab(&popover, dark ? QStringLiteral("popover-frame-dark") : QStringLiteral("popover-frame-light"));
    }
}

} // namespace
} // namespace vantorel
