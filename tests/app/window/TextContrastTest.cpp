#include "app/platform/ClaudeUsageFailure.h"
#include "app/setup/DiscordTestPreviewView.h"
#include "app/setup/MacInitialSetupView.h"
#include "app/setup/MacOnboardingView.h"
#include "app/shell/StatusItemFallbackPanel.h"
#include "app/shell/StatusItemPopover.h"
#include "app/ui/ConfirmationSheet.h"
#include "app/ui/DisclosureGroup.h"
#include "app/ui/MenuBarGaugePanelPicture.h"
#include "app/ui/SegmentedControl.h"
#include "app/ui/SystemColors.h"
#include "app/ui/ToggleSwitch.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/window/ContentView.h"
#include "app/window/DiscordWebhookSection.h"
#include "app/window/HistoryPanel.h"
#include "app/window/MainPanel.h"
#include "app/window/ManualInputPanel.h"
#include "app/window/SettingsPanel.h"
#include "app/window/UsageHistoryChart.h"
#include "core/foundation/DateTexts.h"
#include "core/model/CodexPeriodValidation.h"
#include "support/DrainEvents.h"
#include "support/FakePasteboard.h"
#include "support/FakeSecretStore.h"
#include "support/FakeUrlOpener.h"
#include "support/ManualSleeper.h"
#include "support/ViewModelHarness.h"
#include "support/ViewTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QChart>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollArea>

#include <cmath>
#include <map>

namespace vantorel {
namespace {

using namespace Qt::Literals::StringLiterals;

// WCAG 2: text needs 4.5 : 1 against what is behind it, and so does a placeholder that is its
// field's only label; a control's outline 3 : 1.
constexpr double textContrast = 4.5;
constexpr double outlineContrast = 3.0;

double relativeLuminance(QRgb rgb)
{
    const auto linear = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(rgb)) + 0.7152 * linear(qGreen(rgb)) + 0.0722 * linear(qBlue(rgb));
}

double contrastRatio(QRgb a, QRgb b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast of text as painted inside `area` of `root`'s grab, which holds every card and
// capsule drawn behind it: the most frequent colour there is the background, and the pixel that
// stands out from it most is the text's own colour (the core of a stroke, not its antialiased rim).
double paintedContrast(QWidget* root, const QRect& area)
{
    const QImage image = root->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb background = 0;
    int most = 0;
    for (const auto& [rgb, count] : counts) {
        if (count > most) {
            most = count;
            background = rgb;
        }
    }
    double highest = 1;
    for (const auto& [rgb, count] : counts)
        highest = std::max(highest, contrastRatio(rgb, background));
    return highest;
}

double paintedContrast(QWidget* root, const QWidget* widget, QRect contents)
{
    return paintedContrast(root, QRect(widget->mapTo(root, contents.topLeft()), contents.size()));
}

double paintedContrast(QWidget* root, const QWidget* widget)
{
    QRect contents = widget->contentsRect();
    // A switch's title is what lies before its track; a button's outline and rounded ends are no
    // text: only the middle of its face counts.
    if (qobject_cast<const ToggleSwitch*>(widget))
        contents.setRight(widget->width() - ToggleSwitch::trackWidth - 2);
    else if (qobject_cast<const QAbstractButton*>(widget))
        contents.adjust(contents.height() / 2, 3, -contents.height() / 2, -3);
    return paintedContrast(root, widget, contents);
}

const char* schemeName()
{
    return SystemColors::current().name == QLatin1String("dark") ? "dark" : "light";
}

std::string describe(const QWidget* widget, const QString& text)
{
    const QString name = widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                                        : widget->objectName();
    return name.toStdString() + " \"" + text.toStdString() + "\"";
}

// What a widget shows as text: a label's, an enabled button's (a disabled control is dimmed on
// purpose, and contrast rules leave it out), the title a widget paints itself under its
// accessible name.
QString shownText(const QWidget* widget)
{
    if (!widget->isEnabled())
        return {};
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    return {};
}

// The widget a text is grabbed from: the content of the scroll area it lies in, which paints
// whole and not only what is scrolled into view; outside every scroll area, `top`.
QWidget* paintedRoot(QWidget* widget, QWidget* top)
{
    for (QWidget* ancestor = widget; ancestor && ancestor != top; ancestor = ancestor->parentWidget()) {
        QWidget* viewport = ancestor->parentWidget();
        const auto* scroll = viewport ? qobject_cast<const QScrollArea*>(viewport->parentWidget()) : nullptr;
        if (scroll && scroll->widget() == ancestor)
            return ancestor;
    }
    return top;
}

// Checks every text shown below `top`, labels and painted titles alike, in the current scheme
// and returns them; failures name the place, the scheme, the widget and the text.
QStringList expectTextsLegible(QWidget* top, const char* where)
{
    QStringList measured;
    for (QWidget* widget : top->findChildren<QWidget*>()) {
        const QString text = shownText(widget);
        if (text.isEmpty() || !widget->isVisibleTo(top))
            continue;
        EXPECT_GE(paintedContrast(paintedRoot(widget, top), widget), textContrast)
            << where << ", " << schemeName() << ": " << describe(widget, text);
        measured.append(text);
    }
    return measured;
}

// The chart draws its legend titles and axis labels itself: each legend item's title at its
// right end, the time labels below the plot and the percentages left of it.
QStringList expectChartLegible(QWidget* root, UsageHistoryChart* chart)
{
    QStringList measured;
    for (QWidget* item : root->findChildren<QWidget*>(QRegularExpression(u"^legend\\.(fiveHour|weekly)$"_s))) {
        const int textWidth = QFontMetrics(item->font()).horizontalAdvance(item->accessibleName());
        EXPECT_GE(paintedContrast(root, item, QRect(item->width() - textWidth - 1, 0, textWidth + 1, item->height())),
                  textContrast)
            << "history, " << schemeName() << ": " << describe(item, item->accessibleName());
        measured.append(item->accessibleName());
    }
    const QRect plot = chart->mapFromScene(chart->chart()->mapToScene(chart->chart()->plotArea())).boundingRect();
    const QRect timeLabels(0, plot.bottom() + 2, chart->width(), chart->height() - plot.bottom() - 2);
    const QRect percentLabels(0, 0, plot.left() - 2, chart->height());
    for (const auto& [area, what] : {std::pair{timeLabels, "time axis"}, std::pair{percentLabels, "percent axis"}}) {
        EXPECT_GE(paintedContrast(root, chart, area), textContrast)
            << "history, " << schemeName() << ": usageChart " << what;
        measured.append(QString::fromLatin1(what));
    }
    return measured;
}

// Checks every empty text field shown below `top` in the current scheme: its placeholder reads
// as text on the field, and its border stands 3 : 1 apart from the field and from what lies
// left of it. Returns the placeholders measured.
QStringList expectFieldsLegible(QWidget* top, const char* where)
{
    QStringList measured;
    for (QWidget* field : top->findChildren<QWidget*>()) {
        auto* line = qobject_cast<QLineEdit*>(field);
        // A stepper's field has no frame, and no room either.
        if ((line && !line->hasFrame()) || (!line && !qobject_cast<QPlainTextEdit*>(field)) || !field->isVisibleTo(top)
            || !field->isEnabled())
            continue;
        QWidget* root = paintedRoot(field, top);
        const QImage image = root->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QPoint edge = field->mapTo(root, QPoint(0, field->height() / 2));
        const QRgb border = image.pixel(edge);
        for (const auto& [beside, what] :
             {std::pair{edge - QPoint(2, 0), "outside"}, std::pair{edge + QPoint(2, 0), "inside"}}) {
            EXPECT_GE(contrastRatio(border, image.pixel(beside)), outlineContrast)
                << where << ", " << schemeName() << ": border of " << describe(field, what);
        }
        if (!line || line->placeholderText().isEmpty() || !line->text().isEmpty())
            continue;
        // The text's own rows, clear of the field's rounded border.
        const QRect inside(QPoint(6, 4), field->size() - QSize(12, 8));
        EXPECT_GE(paintedContrast(root, field, inside), textContrast)
            << where << ", " << schemeName() << ": " << describe(field, line->placeholderText());
        measured.append(line->placeholderText());
    }
    return measured;
}

UsageSnapshot reading(UsageSource source, Date at)
{
    UsageSnapshot snapshot;
    snapshot.fiveHourRemainingPercent = 40;
    snapshot.weeklyRemainingPercent = 70;
    snapshot.source = source;
    snapshot.updatedAt = at;
    snapshot.codexPeriodValidationVersion = CodexPeriodValidation::currentVersion;
    return snapshot;
}

class TextContrastTest : public ViewTest
{
protected:
    // Both services on, a reading of each and a ticket.
    AppViewModel& buildModel()
    {
        AppViewModel& model = harness.makeViewModel();
        AppSettings settings = model.settings();
        settings.claudeEnabled = true;
        model.setSettings(settings);
        model.publishedState().usageSnapshot = reading(UsageSource::codexCLI, harness.clock.now() - 60);
        model.publishedState().usageSnapshot->bankedReset = BankedResetSummary{.availableCount = 1};
        model.publishedState().claudeUsageSnapshot = reading(UsageSource::claudeOAuth, harness.clock.now() - 600);
        return model;
    }

    // The dashboard on its own.
    AppViewModel& buildPanel()
    {
        AppViewModel& model = buildModel();
        ContentEnvironment environment;
        environment.viewModel = &model;
        environment.urlOpener = &opener;
        panel = std::make_unique<MainPanel>(environment, Binding<PopoverPage>{[this] { return page; },
                                                                             [this](PopoverPage p) { page = p; }});
        // Tall enough that the whole dashboard is painted, not only what scrolls into view.
        panel->resize(386, 1000);
        show(panel.get());
        return model;
    }

    // The model of buildModel with a week of usage samples and a few notifications, so that the
    // history page draws its chart and dated rows.
    AppViewModel& buildModelWithHistory()
    {
        AppViewModel& model = buildModel();
        const Date now = harness.clock.now();
        QList<UsageHistoryEntry> samples;
        for (int hour = 7 * 24; hour >= 1; hour -= 3)
            samples.append({QUuid::createUuid(), MonitoredProvider::codex, now - hour * 3600.0, 40 + hour % 50,
                            90 - hour * 0.2, CodexPeriodValidation::currentVersion});
        model.setUsageHistory(samples);
        model.publishedState().notificationHistory = {
            {QUuid::createUuid(), MonitoredProvider::codex, NotificationHistoryCategory::status,
             u"Codexの状態が変わりました"_s, u"一部の機能で障害が発生しています。"_s, now - 3600, std::nullopt},
            {QUuid::createUuid(), MonitoredProvider::claude, NotificationHistoryCategory::usage,
             u"Claudeの残りが少なくなりました"_s, u"5時間の残りは10%です。"_s, now - 7200, std::nullopt},
        };
        return model;
    }

    // The root view of the main window and of the popover, with the application's own pages.
    ContentView* makeContent(AppViewModel& model)
    {
        ContentEnvironment environment;
        environment.viewModel = &model;
        environment.urlOpener = &opener;
        environment.pasteboard = &pasteboard;
        environment.sleeper = sleeper;
        ContentPages pages;
        pages.main = [](const ContentEnvironment& e, Binding<PopoverPage> p) { return new MainPanel(e, std::move(p)); };
        pages.manual = [](const ContentEnvironment& e, Binding<PopoverPage> p) {
            return new ManualInputPanel(*e.viewModel, std::move(p), e.pasteboard);
        };
        pages.history = [](const ContentEnvironment& e, Binding<PopoverPage>) { return new HistoryPanel(*e.viewModel); };
        pages.settings = [](const ContentEnvironment& e, Binding<PopoverPage> p) {
            return new SettingsPanel(e, std::move(p));
        };
        pages.setup = [](const ContentEnvironment& e, ContentPages::Action dismiss, ContentPages::Action proceed) {
            return new MacOnboardingView(*e.viewModel, std::move(dismiss), std::move(proceed));
        };
        pages.initialSetup = [](const ContentEnvironment& e, MacInitialSetupDraft draft, ContentPages::Action dismiss) {
            return new MacInitialSetupView(*e.viewModel, e.syncCoordinator, e.cloudCoordinator, std::move(draft),
                                           std::move(dismiss));
        };
        return new ContentView(environment, pages);
    }

    // Shows what comes after the present view of `panel`: the notification log after the usage
    // history, the next step of the guide and the wizard. False when there is nothing after it.
    static bool advance(QWidget* panel, int step)
    {
        QAbstractButton* next = nullptr;
        if (auto* picker = panel->findChild<SegmentedControl*>(u"historySection"_s))
            next = step == 0 ? picker->findChild<QAbstractButton*>(u"segment.1"_s) : nullptr;
        for (const QString& name : {u"onboarding.next"_s, u"initial-setup.next"_s}) {
            if (auto* button = panel->findChild<QAbstractButton*>(name); button && button->isVisible())
                next = button;
        }
        if (!next || !next->isEnabled())
            return false;
        next->click();
        drainEvents();
        return true;
    }

    // Opens each page of `content` shown inside `top`, every group of it expanded, each section
    // of the history and each step of the guide and the wizard, and checks every text there in
    // both schemes: the sidebar with that page's entry selected, the page's labels and controls,
    // the chart's legend and axes.
    QStringList expectEveryPageLegible(ContentView* content, QWidget* top, const QString& artefact)
    {
        // The guide has nine pages, the wizard seven steps.
        constexpr int maximumSteps = 10;
        QStringList measured;
        for (const PopoverPage shown : {PopoverPage::main, PopoverPage::manual, PopoverPage::history,
                                        PopoverPage::settings, PopoverPage::setup, PopoverPage::initialSetup}) {
            content->setPage(shown);
            drainEvents();
            QWidget* panel = content->currentPanel();
            int step = 0;
            do {
                // Collapsed groups hold texts too.
                for (DisclosureGroup* group : panel->findChildren<DisclosureGroup*>())
                    group->setExpanded(true);
                const std::string where = objectNameOf(shown).toStdString() + " " + std::to_string(step);
                for (const bool dark : {false, true}) {
                    setDark(dark);
                    drainEvents();
                    saveGrab(top, artefact + u'-' + objectNameOf(shown) + QString::number(step)
                                      + (dark ? u"-dark"_s : u"-light"_s));
                    measured += expectTextsLegible(top, where.c_str());
                    if (auto* chart = panel->findChild<UsageHistoryChart*>(); chart && chart->isVisible())
                        measured += expectChartLegible(top, chart);
                }
            } while (++step < maximumSteps && advance(panel, step - 1));
        }
        return measured;
    }

    // Checks every label and button of the dashboard that shows text, as painted in both schemes,
    // and returns their texts; failures name the widget, the scheme and the text.
    QStringList expectEveryTextLegible()
    {
        QStringList measured;
        for (const bool dark : {false, true}) {
            setDark(dark);
            drainEvents();
            QWidget* content = panel->scrollContent();
            saveGrab(content, dark ? u"text-contrast-dark"_s : u"text-contrast-light"_s);
            measured += expectTextsLegible(content, "dashboard");
        }
        return measured;
    }

    ViewModelHarness harness;
    FakeUrlOpener opener;
    FakePasteboard pasteboard;
    std::shared_ptr<ManualSleeper> sleeper = std::make_shared<ManualSleeper>(harness.clock);
    PopoverPage page = PopoverPage::main;
    std::unique_ptr<MainPanel> panel;
};

// The texts the window's pages show, named where one was found too faint: the sidebar's entries,
// selected and not; the chart's legend, axes and newest time; the notification log's dates; the
// segments of every picker, selected and not.
void expectNamedTextsMeasured(const QStringList& measured, const QString& latestNotification)
{
    for (const QString& text : {u"概要"_s, u"入力"_s, u"履歴"_s, u"設定"_s, u"Codex 状態"_s, u"5時間"_s, u"週間"_s,
                                u"time axis"_s, u"percent axis"_s, latestNotification, u"使用率"_s, u"通知"_s, u"7日"_s,
                                u"Claude"_s})
        EXPECT_TRUE(measured.contains(text)) << text.toStdString() << " was not measured";
}

// Warnings in orange on the cards, their capsules and the window, the grey captions on the
// tinted cards, and every other text of the dashboard read at 4.5 : 1 in light and dark.
TEST_F(TextContrastTest, DashboardWarningsAndCaptionsAreLegibleInBothSchemes)
{
    AppViewModel& model = buildPanel();
    AppState& state = model.publishedState();
    // Claude's card: the failure capsule and "更新できません・最終値"; Codex's: "稼働: 要確認" on a
    // green capsule; the status error under リセット券.
    state.claudeUsageErrorMessage = message(ClaudeUsageFailure::keychainUnavailable);
    state.lastErrorMessage = QStringLiteral("Statusを取得できませんでした。");
    const QStringList measured = expectEveryTextLegible();
    for (const QString& text : {u"取得失敗"_s, u"更新できません・最終値"_s, u"稼働: 要確認"_s,
                                u"Statusを取得できませんでした。"_s, u"Codex CLI 自動取得"_s, u"終了"_s})
        EXPECT_EQ(measured.count(text), 2) << text.toStdString();

    // "稼働: 要確認" on the red capsule of an outage and the orange one of a degraded service.
    AppState& changed = model.publishedState();
    changed.claudeUsageErrorMessage.reset();
    changed.statusSummary.overallStatus = OverallCodexState::outage;
    changed.claudeStatusSummary.overallStatus = OverallCodexState::degraded;
    changed.claudeStatusErrorMessage = QStringLiteral("Statusを取得できませんでした。");
    drainEvents();
    EXPECT_EQ(expectEveryTextLegible().count(u"稼働: 要確認"_s), 4);
}

// A text field's placeholder reads at 4.5 : 1 on the field, also while the field is disabled.
TEST_F(TextContrastTest, PlaceholdersAreLegibleEnabledOrNot)
{
    AppViewModel& model = harness.makeViewModel();
    DiscordWebhookSection section(model);
    section.resize(360, section.sizeHint().height());
    show(&section);
    auto* field = find<QLineEdit>(&section, u"discord.webhookURL"_s);
    // The text's own rows, clear of the field's rounded border.
    const QRect inside(field->mapTo(&section, QPoint(6, 4)), field->size() - QSize(12, 8));
    for (const bool enabled : {true, false}) {
        if (!enabled) {
            harness.secrets->failNext(FakeSecretStore::Operation::read, SecretStore::Status::notAvailable);
            QCoro::waitFor(model.refreshKeychainSavedState());
            drainEvents();
        }
        ASSERT_EQ(field->isEnabled(), enabled);
        for (const bool dark : {false, true}) {
            setDark(dark);
            drainEvents();
            EXPECT_GE(paintedContrast(&section, inside), textContrast)
                << (enabled ? "enabled, " : "disabled, ") << (dark ? "dark" : "light");
        }
    }
}

// Every page of the main window, in both schemes: the dashboard, manual input, the history with
// its chart and dated notification rows, the settings with every group open, and the sidebar
// beside each of them with that page's entry selected.
TEST_F(TextContrastTest, EveryPageOfTheWindowIsLegibleInBothSchemes)
{
    AppViewModel& model = buildModelWithHistory();
    std::unique_ptr<ContentView> content(makeContent(model));
    content->resize(ContentView::rootWidth, StatusItemPopover::popoverSize.height());
    show(content.get());
    const QStringList measured = expectEveryPageLegible(content.get(), content.get(), u"window"_s);
    expectNamedTextsMeasured(measured, DateTexts::historyDateText(model.notificationHistory().first().createdAt));
}

// The popover hosts the same root view on its own bordered background.
TEST_F(TextContrastTest, EveryPageOfThePopoverIsLegibleInBothSchemes)
{
    AppViewModel& model = buildModelWithHistory();
    ContentView* content = nullptr;
    StatusItemPopover popover([&] { return content = makeContent(model); });
    popover.open(QRect());
    drainEvents();
    ASSERT_TRUE(content);
    const QStringList measured = expectEveryPageLegible(content, &popover, u"popover"_s);
    expectNamedTextsMeasured(measured, DateTexts::historyDateText(model.notificationHistory().first().createdAt));
}

// The fields of 入力 and of the settings say what belongs in them only by their placeholders: each
// reads as text, and each field's border stands out, in both schemes.
TEST_F(TextContrastTest, EveryFieldShowsItsPlaceholderAndBorderInBothSchemes)
{
    AppViewModel& model = buildModel();
    std::unique_ptr<ContentView> content(makeContent(model));
    content->resize(ContentView::rootWidth, StatusItemPopover::popoverSize.height());
    show(content.get());
    QStringList measured;
    for (const PopoverPage shown : {PopoverPage::manual, PopoverPage::settings}) {
        content->setPage(shown);
        drainEvents();
        for (DisclosureGroup* group : content->currentPanel()->findChildren<DisclosureGroup*>())
            group->setExpanded(true);
        if (QWidget* focused = QApplication::focusWidget())
            focused->clearFocus();
        for (const bool dark : {false, true}) {
            setDark(dark);
            drainEvents();
            measured += expectFieldsLegible(content.get(), objectNameOf(shown).toLatin1().constData());
        }
    }
    for (const QString& placeholder :
         {u"5時間枠の残り% 例: 72"_s, u"週間枠の残り% 例: 51"_s, u"クレジット残高 例: $12.40"_s,
          u"Discord Webhook URL"_s, u"codex 実行ファイルパス"_s, u"OpenAI API Key"_s})
        EXPECT_EQ(measured.count(placeholder), 2) << placeholder.toStdString();
}

// Without a tray host a panel on the window colour shows the gauge picture: the status word under
// each provider's name reads as text there, in a compact cell and on a detailed capsule.
TEST_F(TextContrastTest, ThePanelStandingInForTheTrayIsLegibleInBothSchemes)
{
    MenuBarGaugeInput input{.codexEnabled = true,
                            .claudeEnabled = true,
                            .codexValues = {{MenuBarUsageWindow::fiveHour, 42}, {MenuBarUsageWindow::weekly, 70}},
                            .claudeValues = {{MenuBarUsageWindow::fiveHour, 80}},
                            .codexIdentityStyle = MenuBarProviderIdentityStyle::text,
                            .claudeIdentityStyle = MenuBarProviderIdentityStyle::text};
    for (const bool dark : {false, true}) {
        setDark(dark);
        for (const bool compact : {true, false}) {
            input.compact = compact;
            StatusItemFallbackPanel panel;
            panel.present(MenuBarGaugePanelPicture::draw(input, dark ? MenuBarPalette::dark() : MenuBarPalette::light(),
                                                         1, {}, QImage()),
                          u"Vantorel"_s, MenuBarGaugePanelPicture::width(input), QRect());
            QApplication::processEvents();
            drainEvents();
            saveGrab(&panel, u"tray-stand-in-"_s + (compact ? u"compact-"_s : u"detailed-"_s) + schemeName());
            // The picture lies 1 pixel in from the panel's edges. Codex's "残り" is the lower of its
            // two lines, right of its ring in a cell and at the capsule's left end, below the name.
            const QRect word = compact ? QRect(1 + 28, 1 + 14, 36, 12) : QRect(1 + 4, 1 + 14, 30, 12);
            EXPECT_GE(paintedContrast(&panel, word), textContrast)
                << schemeName() << (compact ? ", compact" : ", detailed") << ": 残り";
        }
    }
}

// The sheets the pages open: the question before a deletion (its white title on the red button
// as much as its texts) and the Discord test message.
TEST_F(TextContrastTest, TheSheetsAreLegibleInBothSchemes)
{
    QWidget parent;
    show(&parent);
    for (const bool dark : {false, true}) {
        setDark(dark);
        ConfirmationSheet sheet(QStringLiteral("使用率履歴を削除しますか？"), QStringLiteral("削除した履歴は元に戻せません。"),
                                QStringLiteral("Codexの履歴を削除"), &parent);
        sheet.open();
        drainEvents();
        const QStringList measured = expectTextsLegible(&sheet, "confirmation sheet");
        EXPECT_TRUE(measured.contains(QStringLiteral("Codexの履歴を削除"))) << schemeName();

        DiscordTestPreviewView preview(DiscordTestDraft{QUuid::createUuid(), QStringLiteral("【Vantorel テスト】Discord通知のテストです。")},
                                       [] {}, [] {}, &parent);
        preview.open();
        drainEvents();
        EXPECT_TRUE(expectTextsLegible(&preview, "Discord test sheet").contains(QStringLiteral("この内容を送信")))
            << schemeName();
    }
}

} // namespace
} // namespace vantorel
