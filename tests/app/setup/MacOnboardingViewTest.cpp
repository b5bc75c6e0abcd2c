#include "app/setup/MacInitialSetupPage.h"
#include "app/setup/MacOnboardingPage.h"
#include "app/setup/MacOnboardingView.h"
#include "app/ui/IconProvider.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/SymbolButton.h"
#include "app/viewmodel/AppViewModel.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "sync/onboarding/OnboardingProgressStore.h"
#include "support/DrainEvents.h"
#include "support/ViewModelHarness.h"
#include "support/ViewTest.h"

#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <memory>

namespace vantorel {
namespace {

const QString prefix = QStringLiteral("vantorel-mac-onboarding");

class MacOnboardingViewTest : public ViewTest
{
protected:
    MacOnboardingView& build()
    {
        view.reset();
        view = std::make_unique<MacOnboardingView>(harness.viewModel(), [this] { ++dismissals; },
                                                   [this] { ++handOvers; });
        view->resize(386, 520);
        show(view.get());
        view->activateWindow();
        return *view;
    }
    void click(const QString& name) { QTest::mouseClick(find<QPushButton>(view.get(), name), Qt::LeftButton); }
    QString text(const QString& name) const { return find<QLabel>(view.get(), name)->text(); }
    SymbolButton* forward() const
    {
        auto* next = view->findChild<SymbolButton*>(QStringLiteral("onboarding.next"));
        return next ? next : find<SymbolButton>(view.get(), QStringLiteral("onboarding.complete"));
    }
    std::optional<SettingsStore::Value> stored(const char* suffix) const
    {
        return harness.defaults->value(prefix + QLatin1String(suffix));
    }

    ViewModelHarness harness;
    std::unique_ptr<MacOnboardingView> view;
    int dismissals = 0;
    int handOvers = 0;
};

TEST(MacOnboardingPages, GuideAndWizardTextsNameThisPlatformsThings)
{
    const QRegularExpression otherPlatform(QStringLiteral("Mac(?![A-Za-z])|macOS|Keychain|キーチェーン|メニューバー|iCloud(?:公開|データ)"));
    QStringList texts;
    for (const MacOnboardingPage& page : MacOnboardingPage::all()) {
        texts << page.title << page.introduction;
        for (const MacOnboardingPoint& point : page.points)
            texts << point.title << point.detail;
    }
    for (const MacInitialSetupPage& page : MacInitialSetupPage::all())
        texts << page.title << page.detail;
    for (const QString& text : texts)
        EXPECT_FALSE(text.contains(otherPlatform)) << text.toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("このPC・Discord")));
}

TEST_F(MacOnboardingViewTest, ShowsThePageOfTheClampedPublishedStep)
{
    struct Row {
        std::int64_t step;
        int page;
        bool backEnabled;
        const char* forwardTitle;
        const char* forwardSymbol;
        const char* forwardName;
    };
    const Row rows[] = {
        {-1, 0, false, "次へ", "chevron.right", "onboarding.next"},
        {0, 0, false, "次へ", "chevron.right", "onboarding.next"},
        {7, 7, true, "次へ", "chevron.right", "onboarding.next"},
        {8, 8, true, "設定へ", "slider.horizontal.3", "onboarding.complete"},
        {42, 8, true, "設定へ", "slider.horizontal.3", "onboarding.complete"},
    };
    harness.makeViewModel();
    build();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.step);
        harness.viewModel().setOnboardingProgress({1, OnboardingCompletionState::notPresented, row.step});
        drainEvents();
        EXPECT_EQ(text(QStringLiteral("onboarding.title")), MacOnboardingPage::all()[row.page].title);
        EXPECT_EQ(text(QStringLiteral("onboarding.counter")), QString::number(row.page + 1) + QStringLiteral(" / 9"));
        EXPECT_EQ(find<QProgressBar>(view.get(), QStringLiteral("onboarding.progress"))->value(), row.page + 1);
        EXPECT_EQ(find<QPushButton>(view.get(), QStringLiteral("onboarding.back"))->isEnabled(), row.backEnabled);
        EXPECT_EQ(forward()->objectName(), QLatin1String(row.forwardName));
        EXPECT_EQ(forward()->text(), QString::fromUtf8(row.forwardTitle));
        EXPECT_EQ(forward()->symbol(), QLatin1String(row.forwardSymbol));
    }
}

TEST_F(MacOnboardingViewTest, ActionsWriteOnlyTheGuidesProgress)
{
    const AppSettings settings = harness.makeViewModel().settings();
    build();
    click(QStringLiteral("onboarding.next"));
    click(QStringLiteral("onboarding.next"));
    click(QStringLiteral("onboarding.back"));
    EXPECT_EQ(stored(".step"), SettingsStore::Value(std::int64_t{1}));
    EXPECT_TRUE(harness.viewModel().onboardingProgress().shouldAutoPresent());

    click(QStringLiteral("onboarding.defer"));
    EXPECT_EQ(stored(".state"), SettingsStore::Value(QStringLiteral("deferred")));
    EXPECT_EQ(stored(".step"), SettingsStore::Value(std::int64_t{1}));
    EXPECT_EQ(dismissals, 1);

    // Return clicks the forward button, on the page just shown, up to the hand-over.
    build();
    for (int press = 0; press < 7; ++press)
        QTest::keyClick(view.get(), Qt::Key_Return);
    EXPECT_EQ(text(QStringLiteral("onboarding.counter")), QStringLiteral("9 / 9"));
    EXPECT_EQ(handOvers, 0);
    QTest::keyClick(view.get(), Qt::Key_Enter);
    EXPECT_EQ(stored(".state"), SettingsStore::Value(QStringLiteral("completed")));
    EXPECT_EQ(stored(".step"), SettingsStore::Value(std::int64_t{8}));
    EXPECT_EQ(handOvers, 1);
    EXPECT_EQ(dismissals, 1);

    build();
    click(QStringLiteral("onboarding.complete"));
    EXPECT_EQ(handOvers, 2);
    EXPECT_EQ(harness.viewModel().settings(), settings);
    for (const char* key : {".version", ".state", ".step"})
        EXPECT_FALSE(harness.defaults->value(QStringLiteral("vantorel-mac-initial-setup") + QLatin1String(key)));
}

TEST_F(MacOnboardingViewTest, AFocusedButtonTakesReturnAndEscapeDefers)
{
    harness.makeViewModel();
    build();
    click(QStringLiteral("onboarding.next"));
    click(QStringLiteral("onboarding.next"));
    auto* back = find<QPushButton>(view.get(), QStringLiteral("onboarding.back"));
    auto* defer = find<QPushButton>(view.get(), QStringLiteral("onboarding.defer"));
    defer->setFocus();
    QTest::keyClick(defer, Qt::Key_Tab);
    ASSERT_TRUE(back->hasFocus());
    QTest::keyClick(back, Qt::Key_Return);
    EXPECT_EQ(text(QStringLiteral("onboarding.counter")), QStringLiteral("2 / 9"));
    QTest::keyClick(back, Qt::Key_Escape);
    EXPECT_EQ(dismissals, 1);
    EXPECT_EQ(handOvers, 0);
    EXPECT_EQ(stored(".state"), SettingsStore::Value(QStringLiteral("deferred")));
}

// The pages share one scrolling body: on a short screen a page left scrolled down must not open
// the next one (or the one before) mid-page.
TEST_F(MacOnboardingViewTest, EveryPageOpensAtItsTopForwardAndBack)
{
    harness.makeViewModel();
    build();
    view->resize(386, 300);
    drainEvents();
    auto* scroll = find<QScrollArea>(view.get(), QStringLiteral("onboarding.scroll"));
    QScrollBar* bar = scroll->verticalScrollBar();
    const int last = static_cast<int>(MacOnboardingPage::all().size()) - 1;
    const auto leaveScrolledDown = [&](const char* button) {
        const std::string page = text(QStringLiteral("onboarding.counter")).toStdString();
        ASSERT_GT(bar->maximum(), 0) << page << " fits: nothing to scroll";
        bar->setValue(bar->maximum());
        click(QString::fromLatin1(button));
        drainEvents();
        EXPECT_EQ(bar->value(), 0) << button << " from " << page;
    };
    for (int page = 0; page < last; ++page)
        leaveScrolledDown("onboarding.next");
    EXPECT_EQ(text(QStringLiteral("onboarding.counter")), QStringLiteral("%1 / %1").arg(last + 1));
    for (int page = last; page > 0; --page)
        leaveScrolledDown("onboarding.back");
    EXPECT_EQ(text(QStringLiteral("onboarding.counter")), QStringLiteral("1 / %1").arg(last + 1));
}

TEST_F(MacOnboardingViewTest, ReopensOnTheStoredPageAfterARestart)
{
    harness.makeViewModel();
    build();
    for (int press = 0; press < 4; ++press)
        click(QStringLiteral("onboarding.next"));
    view.reset();
    harness.destroyViewModel();
    harness.makeViewModel(true);
    build();
    EXPECT_EQ(text(QStringLiteral("onboarding.counter")), QStringLiteral("5 / 9"));
}

TEST_F(MacOnboardingViewTest, EveryPageHasThreePointsDrawnSymbolsAndAllGlyphs)
{
    harness.makeViewModel();
    build();
    for (int page = 0; page < 9; ++page) {
        const MacOnboardingPage& shown = MacOnboardingPage::all()[page];
        EXPECT_EQ(shown.points.size(), 3);
        EXPECT_TRUE(IconProvider::hasSymbol(shown.symbol));
        for (const MacOnboardingPoint& point : shown.points)
            EXPECT_TRUE(IconProvider::hasSymbol(point.symbol)) << point.symbol.toStdString();
        harness.viewModel().setOnboardingProgress(harness.viewModel().onboardingStore().move(page));
        drainEvents();
        const QString name = QStringLiteral("onboarding-page-") + QString::number(page + 1);
        saveGrab(view.get(), name + QStringLiteral("-light"));
        setDark(true);
        drainEvents();
        saveGrab(view.get(), name + QStringLiteral("-dark"));
        setDark(false);
        drainEvents();
        expectNoMissingGlyphs(view.get());
    }
}

// At the window's width every wrapped text of every page breaks between phrases, never inside a
// word or a name ("補助 / します。", "ClaudeはClaude / Code"), and shows its whole text.
TEST_F(MacOnboardingViewTest, EveryPageBreaksItsTextsBetweenPhrases)
{
    harness.makeViewModel();
    build();
    for (int page = 0; page < 9; ++page) {
        harness.viewModel().setOnboardingProgress(harness.viewModel().onboardingStore().move(page));
        drainEvents();
        for (const LineLimitedLabel* label : view->findChildren<LineLimitedLabel*>()) {
            if (!label->isVisibleTo(view.get()))
                continue;
            SCOPED_TRACE(label->text().toStdString());
            expectLinesEndAtPunctuation(label);
            const QStringList lines = label->visibleLines();
            EXPECT_EQ(lines.join(QString()).remove(u' '), QString(label->text()).remove(u' '));
            for (const QString& line : lines)
                EXPECT_LE(label->fontMetrics().horizontalAdvance(line), label->contentsRect().width()) << line.toStdString();
            for (const QString& name : {QStringLiteral("Claude Code"), QStringLiteral("Codex CLI")}) {
                qsizetype whole = 0;
                for (const QString& line : lines)
                    whole += line.count(name);
                EXPECT_EQ(whole, label->text().count(name)) << name.toStdString() << " split";
            }
        }
    }
}

} // namespace
} // namespace vantorel
