#include "app/viewmodel/AppViewModel.h"
#include "app/window/AdvancedSettingsSection.h"
#include "support/DrainEvents.h"
#include "support/FileStoreViewModel.h"
#include "support/ManualOneShotTimer.h"
#include "support/ViewTest.h"
#include "support/WaitUntil.h"

#include <QLineEdit>
#include <QTest>

namespace vantorel {
namespace {

// Thirty keys.
const QString typedPath = QStringLiteral("/opt/tools/codex/bin/codex-cli");
const QString typedModel = QStringLiteral("gpt-4.1-mini-2025-04-14-review");

// The advanced settings' text fields, shown and focusable, over the file store whose pauses pass
// only when the test fires its timer.
class TypedSettingsFieldTest : public ViewTest, public FileStoreViewModel
{
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        section = std::make_unique<AdvancedSettingsSection>(harness.viewModel());
        show(section.get());
        section->activateWindow();
        drainEvents();
    }
    void TearDown() override
    {
        section.reset();
        ViewTest::TearDown();
    }

    QLineEdit* field(const char* name) const { return find<QLineEdit>(section.get(), QString::fromLatin1(name)); }
    // Puts the focus in the field and types `text` over what it holds, key by key.
    static void type(QLineEdit* into, const QString& text)
    {
        into->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(into->hasFocus());
        into->selectAll();
        QTest::keyClicks(into, text);
        drainEvents();
    }

    std::unique_ptr<AdvancedSettingsSection> section;
};

// The record follows every key, the file only the pause after the last one: one write for the lot.
TEST_F(TypedSettingsFieldTest, ThirtyKeysAreWrittenOnceWhenTypingPauses)
{
    ASSERT_EQ(typedPath.size(), 30);
    type(field("advanced.codexPath"), typedPath);
    EXPECT_EQ(harness.viewModel().settings().codexCLIExecutablePath, typedPath);
    EXPECT_EQ(writeDelay->delay(), AppViewModel::typingPause) << "typing waits for its pause";
    ASSERT_TRUE(writeDelay->fire());
    store->flush();
    EXPECT_EQ(store->completedWriteCount(), writes + 1);
    ASSERT_TRUE(storedSettings());
    EXPECT_EQ(storedSettings()->codexCLIExecutablePath, typedPath);
}

// Moving the focus elsewhere or pressing Return writes the text without waiting for the pause.
TEST_F(TypedSettingsFieldTest, LeavingTheFieldWritesAtOnce)
{
    type(field("advanced.codexPath"), typedPath);
    field("advanced.apiModel")->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(writeDelay->isActive());
    EXPECT_TRUE(waitUntil([&] { return store->completedWriteCount() == writes + 1; }));
    store->flush();
    EXPECT_EQ(store->completedWriteCount(), writes + 1);
    ASSERT_TRUE(storedSettings());
    EXPECT_EQ(storedSettings()->codexCLIExecutablePath, typedPath);

    type(field("advanced.apiModel"), typedModel);
    QTest::keyClick(field("advanced.apiModel"), Qt::Key_Return);
    EXPECT_FALSE(writeDelay->isActive());
    EXPECT_TRUE(waitUntil([&] { return store->completedWriteCount() == writes + 2; }));
    store->flush();
    EXPECT_EQ(store->completedWriteCount(), writes + 2);
    EXPECT_EQ(storedSettings()->apiRateModel, typedModel);
}

// Quitting before the pause has passed writes the text, as the application's quit does: the
// window goes, then the view model, then the store writes what is pending.
TEST_F(TypedSettingsFieldTest, AQuitRightAfterTypingKeepsTheText)
{
    type(field("advanced.apiModel"), typedModel);
    section.reset();
    harness.destroyViewModel();
    store->flushAtQuit();
    EXPECT_EQ(store->completedWriteCount(), writes + 1);
    ASSERT_TRUE(storedSettings());
    EXPECT_EQ(storedSettings()->apiRateModel, typedModel);
}

} // namespace
} // namespace vantorel
