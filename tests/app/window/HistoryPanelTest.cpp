#include "app/setup/DiscordQueueView.h"
#include "app/setup/NotificationDeliveryEvidenceView.h"
#include "app/ui/ConfirmationSheet.h"
#include "app/ui/DisclosureGroup.h"
#include "app/ui/Divider.h"
#include "app/ui/IconButton.h"
#include "app/ui/SegmentedControl.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/window/HistoryEmptyState.h"
#include "app/window/HistoryPanel.h"
#include "app/window/NotificationHistoryRow.h"
#include "app/window/UsageHistoryChart.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "core/model/UsageSnapshot.h"
#include "core/foundation/Json.h"
#include "support/DrainEvents.h"
#include "support/ViewModelHarness.h"
#include "support/ViewTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QScrollArea>
#include <QScrollBar>
#include <QValueAxis>

#include <cmath>

namespace vantorel {
namespace {

class HistoryPanelTest : public ViewTest
{
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        harness.makeViewModel();
    }

    AppViewModel& model() { return harness.viewModel(); }
    Date now() const { return harness.clock.now(); }

    UsageHistoryEntry sample(double ago, MonitoredProvider provider = MonitoredProvider::codex, std::int64_t version = 1,
                             std::optional<double> fiveHour = 60)
    {
        const double hours = ago / 3600;
        return {QUuid::createUuid(), provider, now() - ago, fiveHour, 90 - hours * 0.08 - 10 * std::sin(hours / 9), version};
    }

    NotificationHistoryEntry entry(MonitoredProvider provider, NotificationHistoryCategory category, QString title,
                                   QString body, double ago)
    {
        return {QUuid::createUuid(), provider, category, std::move(title), std::move(body), now() - ago, std::nullopt};
    }

    // Publishes the change and lets the panel's queued refresh run.
    void publish() { drainEvents(); }

    std::unique_ptr<HistoryPanel> makePanel()
    {
        auto panel = std::make_unique<HistoryPanel>(model());
        // The page's place in the fixed-size main window.
        panel->setFixedSize(386, 560);
        show(panel.get());
        return panel;
    }

    static void pick(QWidget* panel, const char* control, int index)
    {
        auto* picker = find<SegmentedControl>(panel, QString::fromLatin1(control));
        find<QAbstractButton>(picker, QStringLiteral("segment.") + QString::number(index))->click();
        QApplication::processEvents();
    }

    static QAbstractButton* button(ConfirmationSheet* sheet, QMessageBox::ButtonRole role)
    {
        return role == QMessageBox::DestructiveRole ? sheet->destructiveButton() : sheet->cancelButton();
    }

    static QString labelText(const QWidget* root, const QString& name)
    {
        const auto* label = find<QLabel>(root, name);
        return label ? label->text() : QString();
    }

    ViewModelHarness harness;
};

TEST_F(HistoryPanelTest, StartsOnCodexOverSevenDaysAndKeepsThePickersAcrossSections)
{
    const auto panel = makePanel();
    EXPECT_EQ(panel->section(), HistorySection::usage);
    EXPECT_EQ(find<SegmentedControl>(panel.get(), "usageProvider")->currentIndex(), 0);
    EXPECT_EQ(find<SegmentedControl>(panel.get(), "usageRange")->currentIndex(), 1);
    EXPECT_EQ(find<SegmentedControl>(panel.get(), "notificationFilter")->currentIndex(), 0);
    EXPECT_EQ(labelText(panel.get(), "storageNote"), "端末内に最大30日保存");

    pick(panel.get(), "usageProvider", 1);
    pick(panel.get(), "usageRange", 2);
    pick(panel.get(), "historySection", 1);
    EXPECT_EQ(labelText(panel.get(), "storageNote"), "端末内に最大120件保存");
    EXPECT_EQ(find<IconButton>(panel.get(), "clearHistory")->accessibleName(), "通知履歴を削除");
    pick(panel.get(), "historySection", 0);
    EXPECT_EQ(find<SegmentedControl>(panel.get(), "usageProvider")->currentIndex(), 1);
    EXPECT_EQ(find<SegmentedControl>(panel.get(), "usageRange")->currentIndex(), 2);
}

TEST_F(HistoryPanelTest, UsageDeleteRemovesEveryStoredSampleOfTheProviderAfterConfirmation)
{
    const UsageHistoryEntry claude = sample(600, MonitoredProvider::claude);
    model().setUsageHistory({sample(20 * 86'400), sample(19 * 86'400, MonitoredProvider::codex, 0), claude});
    const auto panel = makePanel();
    auto* clear = find<IconButton>(panel.get(), "clearHistory");
    EXPECT_FALSE(clear->isEnabled());

    model().setUsageHistory(QList<UsageHistoryEntry>(model().usageHistory()) << sample(60));
    publish();
    ASSERT_TRUE(clear->isEnabled());
    clear->click();
    ASSERT_TRUE(panel->confirmation());
    EXPECT_EQ(panel->confirmation()->text(), "使用率履歴を削除しますか？");
    button(panel->confirmation(), QMessageBox::RejectRole)->click();
    publish();
    EXPECT_EQ(model().usageHistory().size(), 4);

    clear->click();
    QAbstractButton* destructive = button(panel->confirmation(), QMessageBox::DestructiveRole);
    EXPECT_EQ(destructive->text(), "Codexの履歴を削除");
    destructive->click();
    publish();
    EXPECT_EQ(model().usageHistory(), QList<UsageHistoryEntry>{claude});
    const auto stored = json::parse(harness.defaults->dataValue(QStringLiteral("Vantorel.usageHistory")).value_or(""));
    ASSERT_TRUE(stored && stored->is_array());
    EXPECT_EQ(stored->size(), 1u);
    EXPECT_FALSE(clear->isEnabled());
}

TEST_F(HistoryPanelTest, NotificationListFiltersMatchesTheOutboxAndKeepsRowsForEqualInputs)
{
    NotificationHistoryEntry queuedEntry
        = entry(MonitoredProvider::codex, NotificationHistoryCategory::status, "<b>x</b>", "<b>x</b>", 60);
    const NotificationHistoryEntry claude
        = entry(MonitoredProvider::claude, NotificationHistoryCategory::usage, "Claude 使用量", "本文", 120);
    PendingDiscordNotification item(QStringLiteral("status"), QStringLiteral("本文"), now(), 0, now() + 60,
                                    std::nullopt, std::nullopt, queuedEntry.id);
    PendingDiscordNotification stray = item;
    stray.generation = QUuid::createUuid();
    stray.attemptCount = 5;
    model().publishedState().notificationHistory = {queuedEntry, claude};
    model().publishedState().pendingDiscordResetNotifications = {stray, item};
    const auto panel = makePanel();
    pick(panel.get(), "historySection", 1);

    QList<NotificationHistoryRow*> rows = panel->findChildren<NotificationHistoryRow*>();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(labelText(rows[0], "notificationRow.title"), "<b>x</b>");
    EXPECT_EQ(find<QLabel>(rows[0], "notificationRow.title")->textFormat(), Qt::PlainText);
    EXPECT_TRUE(find<QLabel>(rows[0], "deliveryEvidence")->text().contains(u"失敗・保留回数: 0"));
    EXPECT_FALSE(find<QLabel>(rows[1], "deliveryEvidence")->text().contains(u"次の試行予定"));
    // One divider, between the two rows.
    EXPECT_EQ(find<QWidget>(panel.get(), "notificationRows")->findChildren<Divider*>().size(), 1);
    EXPECT_FALSE(find<DiscordQueueView>(panel.get(), "discordQueue")->group()->isExpanded());

    model().markChanged();
    publish();
    EXPECT_EQ(panel->findChildren<NotificationHistoryRow*>(), rows);

    pick(panel.get(), "notificationFilter", 2);
    ASSERT_EQ(panel->findChildren<NotificationHistoryRow*>().size(), 1);
    find<IconButton>(panel.get(), "clearHistory")->click();
    QAbstractButton* destructive = button(panel->confirmation(), QMessageBox::DestructiveRole);
    EXPECT_EQ(destructive->text(), "Claudeの通知履歴を削除");
    destructive->click();
    publish();
    EXPECT_EQ(model().notificationHistory(), QList<NotificationHistoryEntry>{queuedEntry});
    EXPECT_TRUE(find<QWidget>(find<QWidget>(panel.get(), "notificationSection"), "historyEmptyState")->isVisible());
}

TEST_F(HistoryPanelTest, RowsAreBuiltAsTheListScrolls)
{
    for (int index = 0; index < 30; ++index)
        model().publishedState().notificationHistory.append(
            entry(MonitoredProvider::codex, NotificationHistoryCategory::reset, "リセット", "本文", index * 60.0));
    const auto panel = makePanel();
    pick(panel.get(), "historySection", 1);
    EXPECT_EQ(panel->findChildren<NotificationHistoryRow*>().size(), 12);
    QScrollBar* bar = find<QScrollArea>(panel.get(), "notificationList")->verticalScrollBar();
    bar->setValue(bar->maximum());
    EXPECT_EQ(panel->findChildren<NotificationHistoryRow*>().size(), 24);
}

TEST_F(HistoryPanelTest, ChartMarksRoundJapaneseTimesUnderAnEnglishLocaleAndKeepsTheNewestPoints)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QList<UsageHistoryEntry> history{sample(3 * 86'400, MonitoredProvider::claude)};
    for (int hour = 23; hour >= 1; --hour)
        history.append(sample(hour * 3600 + 4.0004, MonitoredProvider::claude));
    // The newest sample lies a fraction of a millisecond into the last one.
    history.append(sample(0.0004, MonitoredProvider::claude));
    model().setUsageHistory(history);
    const auto panel = makePanel();
    pick(panel.get(), "usageProvider", 1);
    auto* chart = find<UsageHistoryChart>(panel.get(), "usageChart");
    const struct {
        int range;
        const char* pattern;
    } cases[] = {{0, "^(1?[0-9]|2[0-3]):00$"}, {1, "^1?[0-9]月[1-3]?[0-9]日$"}};
    for (const auto& c : cases) {
        pick(panel.get(), "usageRange", c.range);
        const QStringList labels = chart->axisLabels();
        EXPECT_GE(labels.size(), 2) << c.range;
        for (const QString& label : labels)
            EXPECT_TRUE(QRegularExpression(QString::fromUtf8(c.pattern)).match(label).hasMatch()) << label.toStdString();
        const auto* axis = qobject_cast<QValueAxis*>(chart->chart()->axes(Qt::Horizontal).value(0));
        ASSERT_TRUE(axis);
        int marks = 0;
        for (QAbstractSeries* series : chart->chart()->series()) {
            if (const auto* scatter = qobject_cast<QScatterSeries*>(series)) {
                for (const QPointF& point : scatter->points()) {
                    EXPECT_LE(point.x(), axis->max()) << "the newest mark falls outside the axis";
                    ++marks;
                }
            }
        }
        EXPECT_EQ(marks, 2) << c.range;
    }
}

// A window shorter than the page, as on a small screen at a large scale (the popover shows the
// same page): every part keeps its own height, and the page scrolls down to the chart's date axis.
// The window's own height still shows the whole page, the list scrolling within itself.
TEST_F(HistoryPanelTest, AShortWindowScrollsThePageInsteadOfPressingItsParts)
{
    QList<UsageHistoryEntry> history;
    for (int hour = 48; hour >= 0; --hour)
        history.append(sample(hour * 3600.0));
    model().setUsageHistory(history);
    for (int index = 0; index < 30; ++index)
        model().publishedState().notificationHistory.append(
            entry(MonitoredProvider::codex, NotificationHistoryCategory::reset, "リセット", "本文", index * 60.0));
    const auto panel = makePanel();
    panel->setFixedSize(386, 240);
    QApplication::processEvents();
    auto* chart = find<UsageHistoryChart>(panel.get(), "usageChart");
    ASSERT_TRUE(chart->isVisible());
    EXPECT_GT(expectNothingSqueezed(panel.get()), 20);
    EXPECT_GE(chart->height(), UsageHistoryChart::minimumChartHeight);
    pick(panel.get(), "historySection", 1);
    EXPECT_GT(expectNothingSqueezed(panel.get()), 10);
    // The list never shrinks below the empty state that takes its place.
    EXPECT_GE(find<QScrollArea>(panel.get(), "notificationList")->height(), HistoryEmptyState::minimumHeight);
    saveGrab(panel.get(), QStringLiteral("history-notifications-short"));

    pick(panel.get(), "historySection", 0);
    auto* scroll = find<QScrollArea>(panel.get(), "history.scroll");
    ASSERT_TRUE(scroll);
    QScrollBar* bar = scroll->verticalScrollBar();
    const QRect viewport = scroll->viewport()->rect();
    const auto shown = [&](const QWidget* part) {
        return QRect(part->mapTo(scroll->viewport(), QPoint()), part->size());
    };
    EXPECT_FALSE(viewport.contains(shown(chart))) << "the chart starts below the window's edge";
    bar->setValue(bar->maximum());
    EXPECT_TRUE(viewport.contains(shown(chart))) << "the whole chart, its date axis included, scrolls into sight";
    EXPECT_GE(chart->axisLabels().size(), 2);
    saveGrab(panel.get(), QStringLiteral("history-usage-short-scrolled"));

    panel->setFixedSize(386, 560);
    QApplication::processEvents();
    EXPECT_EQ(bar->maximum(), 0);
    pick(panel.get(), "historySection", 1);
    EXPECT_EQ(bar->maximum(), 0) << "a long list scrolls within itself, not the page";
}

// Artefacts to look at: the three periods, a paused Codex window, the empty state and the list
// with delivery records and the open queue, in light and dark.
TEST_F(HistoryPanelTest, Screenshots)
{
    QList<UsageHistoryEntry> history;
    for (int minutes = 30 * 24 * 60; minutes >= 0; minutes -= 20) {
        // Minutes since a start 50,000 minutes back: each window falls and resets as time goes on.
        const int elapsed = 50'000 - minutes;
        UsageHistoryEntry codex = sample(minutes * 60.0, MonitoredProvider::codex, 1, 100 - (elapsed % 300) / 3.0);
        codex.weeklyRemainingPercent = CompactPercent::from(100 - (elapsed % 10'080) / 140.0);
        history.append(codex);
        history.append(sample(minutes * 60.0 + 30, MonitoredProvider::claude, 1, 80 - ((elapsed + 40) % 300) / 4.0));
    }
    history.append(sample(40 * 86'400, MonitoredProvider::codex, 0));
    model().setUsageHistory(history);
    AppSettings settings = model().settings();
    settings.refreshIntervalSeconds = 1200;
    model().setSettings(settings);
    NotificationHistoryEntry status = entry(MonitoredProvider::codex, NotificationHistoryCategory::status,
                                            "Codex 状態変化: Partial outage", "Codex: 一部のサービスで障害が発生しています。"
                                            "Responses API、Codex CLI、ChatGPT の応答が遅くなっています。", 300);
    status.delivery = NotificationDeliveryEvidence{NotificationDeliveryStatus::accepted,
                                                   NotificationDeliveryStatus::retryScheduled, true, std::nullopt};
    NotificationHistoryEntry low = entry(MonitoredProvider::claude, NotificationHistoryCategory::usage,
                                         "Claude 使用量が少なくなっています", "5時間枠の残りが 9% です。", 7200);
    low.delivery = NotificationDeliveryEvidence{NotificationDeliveryStatus::accepted, NotificationDeliveryStatus::cancelled,
                                                false, NotificationCancellationReason::balanceRecovered};
    model().publishedState().notificationHistory
        = {status, low, entry(MonitoredProvider::codex, NotificationHistoryCategory::reset, "Codex通知: 週間枠がリセットされました",
                              "確認時点の次回リセット: 3/8 9:00", 86'400),
           entry(MonitoredProvider::claude, NotificationHistoryCategory::authentication, "Claude 認証を更新しました",
                 "Claude Codeの認証を確認しました。", 90'000)};
    PendingDiscordNotification item(QStringLiteral("status"), QStringLiteral("本文"), now(), 2, now() + 600,
                                    std::nullopt, std::nullopt, status.id);
    item.event = DiscordNotificationEvent(DiscordNotificationEvent::ServiceIncident{MonitoredProvider::codex, {}, now()});
    model().publishedState().pendingDiscordResetNotifications = {item};

    for (const bool dark : {false, true}) {
        setDark(dark);
        const QString suffix = dark ? QStringLiteral("-dark") : QStringLiteral("-light");
        const auto panel = makePanel();
        for (int range = 0; range < 3; ++range) {
            pick(panel.get(), "usageRange", range);
            saveGrab(panel.get(), QStringLiteral("history-usage-range%1").arg(range) + suffix);
        }
        pick(panel.get(), "usageProvider", 1);
        saveGrab(panel.get(), QStringLiteral("history-usage-claude") + suffix);
        pick(panel.get(), "historySection", 1);
        find<DiscordQueueView>(panel.get(), "discordQueue")->group()->setExpanded(true);
        QApplication::processEvents();
        saveGrab(panel.get(), QStringLiteral("history-notifications") + suffix);
        expectNoMissingGlyphs(panel.get());
    }

    UsageSnapshot paused;
    paused.source = UsageSource::codexCLI;
    paused.codexPeriodValidationVersion = 1;
    paused.weeklyRemainingPercent = 64;
    paused.weeklyResetAt = now() + 86'400;
    model().publishedState().usageSnapshot = paused;
    const auto panel = makePanel();
    EXPECT_EQ(labelText(panel.get(), "figure.fiveHour"), "停止中");
    EXPECT_TRUE(find<QWidget>(panel.get(), "pauseNote")->isVisible());
    saveGrab(panel.get(), QStringLiteral("history-usage-paused"));
    model().setUsageHistory(history.mid(0, 6));
    publish();
    EXPECT_EQ(labelText(panel.get(), "figure.count"), "0件");
    saveGrab(panel.get(), QStringLiteral("history-usage-empty"));
}

} // namespace
} // namespace vantorel
