#include "app/platform/ExternalPages.h"
#include "app/platform/UrlOpener.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/window/ContentEnvironment.h"
#include "support/FakeXdgOpen.h"
#include "support/ViewModelHarness.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

// With no browser configured xdg-open is there but fails: the window says so as when it is
// missing, for a page and for the diagnostics log alike.
TEST(ContentEnvironmentTest, AHandlerThatFailsIsNamedAsOneThatIsMissing)
{
    FakeXdgOpen xdgOpen;
    ASSERT_TRUE(xdgOpen.isReady());
    ViewModelHarness harness;
    auto dependencies = harness.dependencies();
    auto opener = std::make_shared<DesktopUrlOpener>();
    dependencies.urlOpener = opener;
    AppViewModel& model = harness.makeViewModel(dependencies);
    ContentEnvironment environment;
    environment.viewModel = &model;
    environment.urlOpener = opener.get();

    environment.openPage(ExternalPages::claudeStatus(), QStringLiteral("Claude 状態"));
    ASSERT_TRUE(FakeXdgOpen::waitForHandlers(*opener));
    EXPECT_FALSE(model.openFailureMessage()) << "a handler that succeeded";

    xdgOpen.setExitStatus(3);
    environment.openPage(ExternalPages::openAIStatus(), QStringLiteral("Codex 状態"));
    ASSERT_TRUE(waitUntil([&model] { return model.openFailureMessage().has_value(); }));
    EXPECT_EQ(model.openFailureMessage(), QStringLiteral("「Codex 状態」を開けませんでした。ブラウザが見つかりません。"));

    model.openDiagnosticsLog();
    const QString logFailure = QStringLiteral("「診断ログ」を開けませんでした。ファイルを開くアプリが見つかりません。");
    EXPECT_TRUE(waitUntil([&] { return model.openFailureMessage() == logFailure; }));
    EXPECT_EQ(xdgOpen.addresses().size(), 3);
}

} // namespace
} // namespace vantorel
