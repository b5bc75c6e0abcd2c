#include "app/shell/MainWindowController.h"
#include "support/DrainEvents.h"

#include <QApplication>
#include <QPointer>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(MainWindowControllerTest, OneFixedWindowKeptWhenMinimisedAndBuiltAfreshAfterClose)
{
    int built = 0;
    QStringList lines;
    int closed = 0;
    MainWindowController controller([&built] { return ++built, new QWidget; }, [&lines](const QString& line) { lines << line; },
                                    [&closed] { ++closed; });
    controller.show(QStringLiteral("launch"));
    QWidget* window = controller.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->minimumSize(), MainWindowController::windowSize);
    EXPECT_EQ(window->maximumSize(), MainWindowController::windowSize);

    QPointer<QWidget> content = window->findChild<QWidget*>();
    ASSERT_TRUE(content);

    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    window->close();
    drainEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(lastWindowClosed.count(), 0) << "closing must not end the application";
    EXPECT_FALSE(content) << "closing gives the pages back";
    EXPECT_EQ(controller.window(), nullptr);
    EXPECT_EQ(closed, 1) << "the memory housekeeping hears of the closing";
    controller.show(QStringLiteral("reopen"));
    window = controller.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(built, 2) << "reopening builds the pages again";
    EXPECT_EQ(window->minimumSize(), MainWindowController::windowSize);
    window->showMinimized();
    controller.show(QStringLiteral("reopen"));
    EXPECT_EQ(controller.window(), window);
    EXPECT_EQ(built, 2) << "minimising keeps the window and its page";
    EXPECT_TRUE(window->isVisible() && !window->isMinimized());
    EXPECT_EQ(lines.first(), QStringLiteral("mainWindow.created"));
    EXPECT_EQ(lines.last(), QStringLiteral("mainWindow.open reason=reopen"));
}

} // namespace
} // namespace vantorel
