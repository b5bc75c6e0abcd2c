#include "app/platform/UrlOpener.h"
#include "support/FakeXdgOpen.h"
#include "support/QtPrinters.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(DesktopUrlOpenerTest, AHandlerThatExitsWithAnErrorIsAFailureAndOneThatSucceedsIsNot)
{
    FakeXdgOpen xdgOpen;
    ASSERT_TRUE(xdgOpen.isReady());
    DesktopUrlOpener opener;
    QStringList failed;
    const auto open = [&](const QString& address) {
        opener.open(QUrl(address), [&failed, address] { failed.append(address); });
    };

    open(QStringLiteral("https://status.openai.com/"));
    ASSERT_TRUE(FakeXdgOpen::waitForHandlers(opener));
    EXPECT_EQ(failed, QStringList());

    // What xdg-open answers when no browser is configured.
    xdgOpen.setExitStatus(3);
    open(QStringLiteral("file:///tmp/診断 ログ.log"));
    EXPECT_EQ(failed, QStringList()) << "heard when the handler exits, not inside open()";
    ASSERT_TRUE(waitUntil([&failed] { return !failed.isEmpty(); }));
    EXPECT_EQ(failed, QStringList{"file:///tmp/診断 ログ.log"});
    EXPECT_EQ(xdgOpen.addresses(),
              (QStringList{"https://status.openai.com/", "file:///tmp/%E8%A8%BA%E6%96%AD%20%E3%83%AD%E3%82%B0.log"}));
}

} // namespace
} // namespace vantorel
