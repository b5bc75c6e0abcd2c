#include "app/platform/ClaudeUsageFailure.h"
#include "app/setup/MacOverviewQuickActions.h"
#include "app/ui/CompactButton.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/MinuteTicker.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/window/MainPanel.h"
#include "app/window/ProviderUsageGroup.h"
#include "core/model/CodexPeriodValidation.h"
#include "support/DrainEvents.h"
#include "support/FakeUrlOpener.h"
#include "support/TestHttpServer.h"
#include "support/ViewModelHarness.h"
#include "support/ViewTest.h"
#include "support/WaitUntil.h"

#include <QLabel>
#include <QTest>
#include <QTextDocument>

namespace vantorel {
namespace {

using namespace Qt::Literals::StringLiterals;

class MainPanelTest : public ViewTest
{
protected:
    AppViewModel& makeModel(bool codex = true, bool claude = false)
    {
        AppViewModel& model = harness.makeViewModel();
        AppSettings settings = model.settings();
        settings.codexEnabled = codex;
        settings.claudeEnabled = claude;
        model.setSettings(settings);
        return model;
    }

    MainPanel& build()
    {
        ContentEnvironment environment;
        environment.viewModel = &harness.viewModel();
        environment.urlOpener = &opener;
        environment.quit = [this] {
            ++quits;
            loggedBeforeQuit = harness.logLines(QStringLiteral("app.quitRequested")).size();
        };
        panel = std::make_unique<MainPanel>(environment, Binding<PopoverPage>{[this] { return page; },
                                                                             [this](PopoverPage p) { page = p; }});
        panel->resize(386, 560);
        show(panel.get());
        drainEvents();
        return *panel;
    }

    QString text(const QString& name) const { return find<QLabel>(panel.get(), name)->text(); }
    bool shown(const QString& name) const { return find<QWidget>(panel.get(), name)->isVisible(); }
    QStringList labelTexts(const QWidget* root) const
    {
        QStringList texts;
        for (const QLabel* label : root->findChildren<QLabel*>())
            if (label->isVisibleTo(panel.get()))
                texts.append(label->text());
        return texts;
    }
    void grabBoth(const QString& name)
    {
        // Palette changes and layout requests arrive as posted events.
        QWidget* content = panel->scrollContent();
        drainEvents();
        saveGrab(content, name + u"-light");
        setDark(true);
        drainEvents();
        saveGrab(content, name + u"-dark");
        setDark(false);
        drainEvents();
        expectNoMissingGlyphs(content);
    }

    ViewModelHarness harness;
    FakeUrlOpener opener;
    PopoverPage page = PopoverPage::main;
    int quits = 0;
    qsizetype loggedBeforeQuit = 0;
    std::unique_ptr<MainPanel> panel;
};

UsageSnapshot codexReading(double fiveHour, double weekly, Date at)
{
    UsageSnapshot snapshot;
    snapshot.fiveHourRemainingPercent = fiveHour;
    snapshot.weeklyRemainingPercent = weekly;
    snapshot.fiveHourResetAt = at + 2 * 3600 + 300;
    snapshot.weeklyResetAt = at + 3 * 86'400;
    snapshot.source = UsageSource::codexCLI;
    snapshot.updatedAt = at;
    snapshot.codexPeriodValidationVersion = CodexPeriodValidation::currentVersion;
    return snapshot;
}

TEST_F(MainPanelTest, Defaults)
{
    makeModel();
    build();
    EXPECT_EQ(text("mainPanel.title"), "Codex稼働状況");
    EXPECT_EQ(text("mainPanel.subtitle"), "Codex CLI");
    EXPECT_EQ(text("mainPanel.bannerTitle"), "Codexの使用量は未取得です");
    EXPECT_TRUE(shown("providerCard.Codex"));
    EXPECT_FALSE(shown("providerCard.Claude"));
    EXPECT_FALSE(shown("mainPanel.apiCard"));
    EXPECT_EQ(find<QLabel>(find<QWidget>(panel.get(), "readiness.claude"), "health.value")->text(), "OFF");
    EXPECT_EQ(text("footer.refreshTimes").left(8), "次回 --:--");
    EXPECT_TRUE(find<CompactButton>(panel.get(), "quickActions.refresh")->isEnabled());
    grabBoth("dashboard-defaults");
}

TEST_F(MainPanelTest, BothOffAndOnlyClaude)
{
    AppViewModel& model = makeModel(false, false);
    build();
    EXPECT_EQ(text("mainPanel.title"), "AI監視");
    EXPECT_EQ(text("mainPanel.subtitle"), "すべてOFF");
    EXPECT_EQ(text("mainPanel.bannerTitle"), "監視は停止中です");
    EXPECT_EQ(find<QLabel>(panel.get(), "planBadge")->text(), "待機中");
    for (const char* hidden : {"providerCard.Codex", "providerCard.Claude", "mainPanel.apiCard", "mainPanel.credits"})
        EXPECT_FALSE(shown(hidden)) << hidden;
    EXPECT_FALSE(find<CompactButton>(panel.get(), "quickActions.refresh")->isEnabled());
    EXPECT_TRUE(find<CompactButton>(panel.get(), "quickActions.copy")->isEnabled());
    EXPECT_EQ(text("footer.refreshTimes"), "次回 --:-- / 最終 --:--");
    grabBoth("dashboard-both-off");

    AppSettings settings = model.settings();
    settings.claudeEnabled = true;
    model.setSettings(settings);
    drainEvents();
    EXPECT_EQ(text("mainPanel.title"), "Claude稼働状況");
    EXPECT_FALSE(shown("providerCard.Codex"));
    EXPECT_TRUE(shown("providerCard.Claude"));
    EXPECT_TRUE(shown("mainPanel.credits"));
    EXPECT_FALSE(find<QLabel>(panel.get(), "credits.bankedResetCount")->isVisibleTo(panel.get()));
    EXPECT_FALSE(shown("quickActions.codexUsage"));
    QTest::mouseClick(find<CompactButton>(panel.get(), "quickActions.claudeStatus"), Qt::LeftButton);
    EXPECT_EQ(opener.opened.value(0).host(), "status.claude.com");
}

TEST_F(MainPanelTest, RefreshRunsOnceAndShowsItsProgress)
{
    // Every status request answers late, so the refresh is still running after the click.
    harness.server.setHandler([](const RecordedHttpRequest&) {
        TestHttpResponse response = TestHttpResponse::text("busy", 503);
        response.delaySeconds = 0.2;
        return response;
    });
    makeModel();
    build();
    auto* refresh = find<CompactButton>(panel.get(), "quickActions.refresh");
    QTest::mouseClick(refresh, Qt::LeftButton);
    // The click starts a task, whose change the panel reads on the turn after.
    drainEvents();
    drainEvents();
    ASSERT_TRUE(harness.viewModel().isRefreshingAny());
    EXPECT_EQ(refresh->symbol(), "hourglass");
    EXPECT_FALSE(refresh->isEnabled());
    QTest::mouseClick(refresh, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !harness.logLines(QStringLiteral("refreshScheduledItems.end")).isEmpty(); }));
    drainEvents();
    EXPECT_EQ(harness.logLines(QStringLiteral("refreshScheduledItems.start")).size(), 1);
    EXPECT_EQ(refresh->symbol(), "arrow.clockwise");
    EXPECT_TRUE(refresh->isEnabled());
}

TEST_F(MainPanelTest, CopyGearQuitAndCodexPage)
{
    makeModel();
    build();
    EXPECT_FALSE(shown("mainPanel.copiedMessage"));
    QTest::mouseClick(find<CompactButton>(panel.get(), "quickActions.copy"), Qt::LeftButton);
    drainEvents();
    EXPECT_TRUE(shown("mainPanel.copiedMessage"));
    EXPECT_EQ(text("mainPanel.copiedMessage"), "診断サマリーをコピーしました。");

    QTest::mouseClick(find<QWidget>(panel.get(), "mainPanel.settings"), Qt::LeftButton);
    EXPECT_EQ(page, PopoverPage::settings);

    QTest::mouseClick(find<QWidget>(panel.get(), "quickActions.codexUsage"), Qt::LeftButton);
    EXPECT_EQ(opener.opened.value(0).path(), "/codex/settings/usage");

    QTest::mouseClick(find<QWidget>(panel.get(), "mainPanel.quit"), Qt::LeftButton);
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(loggedBeforeQuit, 1);
}

TEST_F(MainPanelTest, TickerAdvancesTheAgeWithoutAModelChange)
{
    AppViewModel& model = makeModel();
    model.publishedState().usageSnapshot = codexReading(80, 90, harness.clock.now());
    build();
    MinuteTicker& ticker = panel->ticker();
    EXPECT_TRUE(ticker.isRunning());
    auto* freshness = find<QLabel>(find<QWidget>(panel.get(), "providerCard.Codex"), "providerCard.freshness");
    EXPECT_EQ(freshness->text(), "このPCで取得1分未満前");
    harness.clock.advance(300);
    ticker.tick();
    EXPECT_EQ(freshness->text(), "このPCで取得5分前");
    panel->hide();
    EXPECT_FALSE(ticker.isRunning());
    harness.clock.advance(300);
    panel->show();
    EXPECT_EQ(freshness->text(), "このPCで取得10分前");
}

TEST_F(MainPanelTest, OutsideTextStaysPlain)
{
    const QString markup = QStringLiteral("<b>x</b>");
    AppViewModel& model = makeModel();
    AppState& state = model.publishedState();
    UsageSnapshot reading = codexReading(50, 60, harness.clock.now());
    reading.creditsRemaining = markup;
    reading.planType = markup;
    state.usageSnapshot = reading;
    state.codexCLIErrorMessage = markup;
    state.statusSummary.incidents.append(Incident{markup, QStringLiteral("investigating"), std::nullopt});
    state.statusSummary.overallStatus = OverallCodexState::outage;
    build();
    EXPECT_EQ(text("mainPanel.bannerMessage"), markup);
    EXPECT_EQ(text("credits.text"), markup);
    EXPECT_EQ(text("credits.errorLine"), markup);
    EXPECT_TRUE(find<QLabel>(panel.get(), "planBadge")->text().contains(markup));
    auto* card = find<QWidget>(panel.get(), "providerCard.Codex");
    EXPECT_TRUE(find<QWidget>(card, "providerCard.failure")->toolTip().contains("&lt;b&gt;x&lt;/b&gt;"));
    for (const QLabel* label : panel->findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
}

// The banner shows each Claude recovery instruction whole, down to the button to press, in both
// schemes; the tool tip holds the same text.
TEST_F(MainPanelTest, TheBannerShowsEveryClaudeFailureWhole)
{
    AppViewModel& model = makeModel(false, true);
    build();
    auto* banner = find<LineLimitedLabel>(panel.get(), "mainPanel.bannerMessage");
    const auto squeezed = [](QString text) { return text.remove(u' ').remove(u'\n'); };
    for (const bool dark : {false, true}) {
        setDark(dark);
        for (const ClaudeUsageFailure failure : allClaudeUsageFailures) {
            const QString text = message(failure);
            model.publishedState().claudeUsageErrorMessage = text;
            drainEvents();
            // A taller label settles through one posted layout request per level up to the scroll area.
            for (int level = 0; level < 4; ++level)
                QCoreApplication::sendPostedEvents();
            const QStringList lines = banner->visibleLines();
            ASSERT_FALSE(lines.isEmpty());
            EXPECT_FALSE(lines.last().endsWith(u'…')) << rawValue(failure).toStdString();
            EXPECT_EQ(squeezed(lines.join(QString())), squeezed(text)) << rawValue(failure).toStdString();
            EXPECT_GE(banner->height(), banner->heightForWidth(banner->width())) << rawValue(failure).toStdString();
            QTextDocument tip;
            tip.setHtml(banner->toolTip());
            EXPECT_EQ(squeezed(tip.toPlainText().replace(QChar::Nbsp, u' ')), squeezed(text));
        }
        saveGrab(panel.get(), dark ? "banner-claude-longest-dark" : "banner-claude-longest-light");
    }
}

// Every Claude failure wraps only between phrases, in the banner and in the tool tips of the
// banner and of the card's failure capsule: no "取 / 得", no "さい。" left alone.
TEST_F(MainPanelTest, ClaudeFailuresBreakOnlyBetweenPhrases)
{
    AppViewModel& model = makeModel(false, true);
    UsageSnapshot reading = codexReading(50, 60, harness.clock.now());
    reading.source = UsageSource::claudeOAuth;
    model.publishedState().claudeUsageSnapshot = reading;
    build();
    auto* banner = find<LineLimitedLabel>(panel.get(), "mainPanel.bannerMessage");
    auto* capsule = find<QWidget>(find<QWidget>(panel.get(), "providerCard.Claude"), "providerCard.failure");
    const auto squeezed = [](QString text) { return text.remove(u' ').remove(u'\n'); };
    for (const ClaudeUsageFailure failure : allClaudeUsageFailures) {
        const QString text = message(failure);
        const std::string name = rawValue(failure).toStdString();
        model.publishedState().claudeUsageErrorMessage = text;
        drainEvents();
        for (int level = 0; level < 4; ++level)
            QCoreApplication::sendPostedEvents();
        const QString bannerText = banner->text();
        const struct {
            std::string what;
            QString text;
            QStringList lines;
        } shown[] = {{name + " in the banner", bannerText, banner->visibleLines()},
                     {name + " in the banner's tool tip", bannerText, shownToolTipLines(banner)},
                     {name + " in the capsule's tool tip", text, shownToolTipLines(capsule)}};
        for (const auto& [what, whole, lines] : shown) {
            EXPECT_EQ(squeezed(lines.join(QString())), squeezed(whole)) << what;
            expectLinesEndAtPunctuation(lines, whole, what);
            EXPECT_FALSE(lines.contains(u"さい。"_s)) << what;
        }
    }
}

TEST_F(MainPanelTest, OutageWithLowBalanceAndUnconfirmedCodex)
{
    AppViewModel& model = makeModel(true, true);
    {
        AppState& state = model.publishedState();
        state.usageSnapshot = codexReading(8, 46, harness.clock.now() - 420);
        state.usageSnapshot->bankedReset = BankedResetSummary{.availableCount = 2};
        state.usageSnapshot->creditsRemaining = QStringLiteral("120");
        UsageSnapshot claude = codexReading(63, 15.2, harness.clock.now() - 60);
        claude.source = UsageSource::claudeOAuth;
        claude.codexPeriodValidationVersion.reset();
        state.claudeUsageSnapshot = claude;
        state.statusSummary.overallStatus = OverallCodexState::degraded;
        state.claudeStatusSummary.overallStatus = OverallCodexState::fetchFailed;
    }
    build();
    // The more severe of degraded and fetchFailed wins, whatever their order.
    EXPECT_EQ(text("mainPanel.bannerTitle"), "一部サービスが不安定です");

    model.publishedState().statusSummary.overallStatus = OverallCodexState::outage;
    model.publishedState().statusSummary.incidents.append(
        Incident{QStringLiteral("Elevated error rates on Codex"), QStringLiteral("investigating"), std::nullopt});
    drainEvents();
    EXPECT_EQ(text("mainPanel.bannerTitle"), "障害を確認してください");
    EXPECT_EQ(text("credits.bankedResetCount"), "残り2回");
    grabBoth("dashboard-outage-low-balance");

    model.publishedState().statusSummary = model.claudeStatusSummary();
    model.publishedState().codexPeriodsUnconfirmed = true;
    drainEvents();
    auto* card = find<QWidget>(panel.get(), "providerCard.Codex");
    EXPECT_TRUE(find<QWidget>(card, "providerCard.unconfirmed")->isVisible());
    EXPECT_TRUE(labelTexts(card).contains("未確認"));
    grabBoth("dashboard-unconfirmed-codex");
}

} // namespace
} // namespace vantorel
