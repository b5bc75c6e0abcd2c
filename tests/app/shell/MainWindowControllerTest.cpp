#include "app/shell/MainWindowController.h"
#include "support/DrainEvents.h"

#include <QApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(MainWindowControllerTest, OneFixedWindowKeptAcrossCloseAndMinimise)
{
    int built = 0;
    QStringList lines;
    MainWindowController controller([&built] { return ++built, new QWidget; }, [&lines](const QString& line) { lines << line; });
    controller.show(QStringLiteral("launch"));
    QWidget* window = controller.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->minimumSize(), MainWindowController::windowSize);
    EXPECT_EQ(window->maximumSize(), MainWindowController::windowSize);

    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    window->close();
    drainEvents();
    EXPECT_EQ(lastWindowClosed.count(), 0) << "closing must not end the application";
    controller.show(QStringLiteral("reopen"));
    window->showMinimized();
    controller.show(QStringLiteral("reopen"));
    EXPECT_EQ(controller.window(), window);
    EXPECT_EQ(built, 1) << "the content, and so its page, is built once";
    EXPECT_TRUE(window->isVisible() && !window->isMinimized());
    EXPECT_EQ(lines.first(), QStringLiteral("mainWindow.created"));
    EXPECT_EQ(lines.last(), QStringLiteral("mainWindow.open reason=reopen"));
}

} // namespace
} // namespace vantorel
