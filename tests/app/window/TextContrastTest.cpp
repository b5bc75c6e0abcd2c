#include "app/platform/ClaudeUsageFailure.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/window/DiscordWebhookSection.h"
#include "app/window/MainPanel.h"
#include "core/model/CodexPeriodValidation.h"
#include "support/DrainEvents.h"
#include "support/FakeSecretStore.h"
#include "support/FakeUrlOpener.h"
#include "support/ViewModelHarness.h"
#include "support/ViewTest.h"

#include <QAbstractButton>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>

#include <cmath>
#include <map>

namespace vantorel {
namespace {

using namespace Qt::Literals::StringLiterals;

// WCAG 2: text needs 4.5 : 1 against what is behind it, a placeholder 3 : 1.
constexpr double textContrast = 4.5;
constexpr double placeholderContrast = 3.0;

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

double paintedContrast(QWidget* root, const QWidget* widget)
{
    QRect contents = widget->contentsRect();
    // A button's outline and rounded ends are no text: only the middle of its face counts.
    if (qobject_cast<const QAbstractButton*>(widget))
        contents.adjust(contents.height() / 2, 3, -contents.height() / 2, -3);
    return paintedContrast(root, QRect(widget->mapTo(root, contents.topLeft()), contents.size()));
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
    // The dashboard with both services on, a reading of each and a ticket.
    AppViewModel& buildPanel()
    {
        AppViewModel& model = harness.makeViewModel();
        AppSettings settings = model.settings();
        settings.claudeEnabled = true;
        model.setSettings(settings);
        model.publishedState().usageSnapshot = reading(UsageSource::codexCLI, harness.clock.now() - 60);
        model.publishedState().usageSnapshot->bankedReset = BankedResetSummary{.availableCount = 1};
        model.publishedState().claudeUsageSnapshot = reading(UsageSource::claudeOAuth, harness.clock.now() - 600);
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
            for (const QWidget* widget : content->findChildren<QWidget*>()) {
                // A disabled button's title is dimmed on purpose; contrast rules leave it out.
                const auto* label = qobject_cast<const QLabel*>(widget);
                const auto* button = qobject_cast<const QAbstractButton*>(widget);
                const QString text = label ? label->text() : button && button->isEnabled() ? button->text() : QString();
                if (text.isEmpty() || !widget->isVisibleTo(content))
                    continue;
                EXPECT_GE(paintedContrast(content, widget), textContrast)
                    << (dark ? "dark: " : "light: ") << widget->objectName().toStdString() << " \""
                    << text.toStdString() << "\"";
                measured.append(text);
            }
        }
        return measured;
    }

    ViewModelHarness harness;
    FakeUrlOpener opener;
    PopoverPage page = PopoverPage::main;
    std::unique_ptr<MainPanel> panel;
};

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

// A text field's placeholder reads at 3 : 1 on the field, also while the field is disabled.
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
            EXPECT_GE(paintedContrast(&section, inside), placeholderContrast)
                << (enabled ? "enabled, " : "disabled, ") << (dark ? "dark" : "light");
        }
    }
}

} // namespace
} // namespace vantorel
