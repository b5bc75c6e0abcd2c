#include "app/shell/MainWindowController.h"
#include "app/ui/ScreenFit.h"
#include "app/window/ContentView.h"
#include "support/DrainEvents.h"

#include <QApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

void closeAndSettle(QWidget* window)
{
    window->close();
    drainEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(MainWindowControllerTest, OneFixedWindowKeepsItsPageAndPlaceAcrossCloseAndMinimise)
{
    QList<PopoverPage> built;
    QStringList lines;
    int pagesGone = 0;
    MainWindowController controller(
        [&built](PopoverPage page) {
            built << page;
            return new ContentView(ContentEnvironment(), ContentPages(), page);
        },
        [&lines](const QString& line) { lines << line; },
        [&pagesGone] { ++pagesGone; });
    controller.show(QStringLiteral("launch"));
    QWidget* window = controller.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->minimumSize(), MainWindowController::windowSize);
    EXPECT_EQ(window->maximumSize(), MainWindowController::windowSize);
    auto* view = qobject_cast<ContentView*>(controller.content());
    ASSERT_NE(view, nullptr);
    view->setPage(PopoverPage::history);
    window->move(window->pos() + QPoint(13, 7));
    const QPoint left = window->pos();

    QPointer<QWidget> content = view;
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    closeAndSettle(window);
    EXPECT_EQ(lastWindowClosed.count(), 0) << "closing must not end the application";
    EXPECT_FALSE(content) << "closing gives the pages back";
    EXPECT_EQ(controller.window(), window) << "the window itself is kept";
    EXPECT_EQ(pagesGone, 1) << "the memory housekeeping hears that the pages are gone";
    EXPECT_EQ(window->windowHandle(), nullptr) << "closing gives the native window and its image back";

    controller.show(QStringLiteral("reopen"));
    EXPECT_EQ(controller.window(), window);
    EXPECT_EQ(built, (QList<PopoverPage>{PopoverPage::main, PopoverPage::history}));
    view = qobject_cast<ContentView*>(controller.content());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->page(), PopoverPage::history) << "reopening shows the page left";
    EXPECT_EQ(window->pos(), left) << "reopening shows the window where it was left";
    EXPECT_NE(window->windowHandle(), nullptr);
    EXPECT_EQ(window->minimumSize(), MainWindowController::windowSize);

    window->showMinimized();
    controller.show(QStringLiteral("reopen"));
    EXPECT_EQ(built.size(), 2) << "minimising keeps the pages";
    EXPECT_TRUE(window->isVisible() && !window->isMinimized());
    EXPECT_EQ(lines.count(QStringLiteral("mainWindow.created")), 1);
    EXPECT_EQ(lines.first(), QStringLiteral("mainWindow.created"));
    EXPECT_EQ(lines.last(), QStringLiteral("mainWindow.open reason=reopen"));
}

TEST(MainWindowControllerTest, CtrlWClosesTheWindowAndCtrlQQuitsAsTheQuitButtonDoes)
{
    int quits = 0;
    MainWindowController controller(
        [&quits](PopoverPage page) {
            ContentEnvironment environment;
            environment.quit = [&quits] { ++quits; };
            return new ContentView(std::move(environment), ContentPages(), page);
        },
        [](const QString&) {});
    controller.show(QStringLiteral("launch"));
    QWidget* window = controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QWidget* focus = window->focusWidget() ? window->focusWidget() : window;
    QTest::keyClick(focus, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(window->isVisible()) << "quitting is the application's, not the window's";

    QPointer<QWidget> content = controller.content();
    QTest::keyClick(focus, Qt::Key_W, Qt::ControlModifier);
    drainEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(content) << "closed as by its close button: the pages are gone";
    EXPECT_EQ(quits, 1);
}

// Logical screens of 1280 × 800 at a scale factor of 2 and of 1366 × 768 at 150 %, each under a
// 24 px panel, and a screen with room to spare.
TEST(MainWindowControllerTest, FitsBelowTheTitleBarOnSmallScreensAndKeepsItsSizeElsewhere)
{
    const QMargins frame(1, 30, 1, 1);
    struct Case {
        QRect available;
        QSize size;
    };
    for (const auto& [available, size] : {Case{{0, 24, 640, 376}, {482, 345}}, Case{{0, 24, 911, 488}, {482, 457}},
                                          Case{{0, 0, 1920, 1050}, {482, 560}}, Case{{0, 0, 400, 300}, {398, 269}}}) {
        const QSize fitted = MainWindowController::fittedSize(available, frame);
        EXPECT_EQ(fitted, size) << available.width() << "x" << available.height();
        // Centred, then kept inside: the title bar is on screen.
        QRect placed(QPoint(), fitted.grownBy(frame));
        placed.moveCenter(available.center());
        placed = ScreenFit::keptInside(placed, available);
        EXPECT_TRUE(available.contains(placed)) << available.width() << "x" << available.height();
    }
    // A frame above or left of the screen comes back; one larger than the screen keeps its top left.
    EXPECT_EQ(ScreenFit::keptInside({-50, -100, 300, 200}, {0, 24, 640, 376}), QRect(0, 24, 300, 200));
    EXPECT_EQ(ScreenFit::keptInside({500, 300, 300, 200}, {0, 24, 640, 376}), QRect(340, 200, 300, 200));
    EXPECT_EQ(ScreenFit::keptInside({10, 10, 800, 500}, {0, 24, 640, 376}), QRect(0, 24, 800, 500));
}

} // namespace
} // namespace vantorel
