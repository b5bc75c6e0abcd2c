#include "app/window/MainPanel.h"

#include "app/platform/ExternalPages.h"
#include "app/setup/MacOverviewQuickActions.h"
#include "app/ui/ApplicationResources.h"
#include "app/ui/IconButton.h"
#include "app/ui/LineBreaks.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/MinuteTicker.h"
#include "app/ui/PillButton.h"
#include "app/ui/SymbolView.h"
#include "app/ui/SystemColors.h"
#include "app/ui/UiFont.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/window/DashboardLabel.h"
#include "app/window/DashboardPresenter.h"
#include "app/window/HealthCheckRow.h"
#include "app/window/ProviderUsageGroup.h"
#include "app/window/SymbolTextLabel.h"
#include "app/window/TintedPanel.h"
#include "app/window/UsageMeterRow.h"
#include "core/foundation/AppDiagnostics.h"
#include "core/model/PlatformWords.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>

namespace vantorel {

namespace {

// A plan badge: the text on a window-coloured capsule with a light shadow.
class PlanBadge final : public QLabel
{
public:
    explicit PlanBadge(QWidget* parent)
        : QLabel(parent)
    {
        setObjectName(QStringLiteral("planBadge"));
        setTextFormat(Qt::PlainText);
        setFont(UiFont::system(12, QFont::DemiBold));
        // Room for the shadow below the capsule.
        setContentsMargins(9, 4, 9, 5);
        setAlignment(Qt::AlignCenter);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF capsule = QRectF(rect()).adjusted(1, 0, -1, -2);
        const qreal radius = capsule.height() / 2;
        QPainterPath shadow;
        shadow.addRoundedRect(capsule.translated(0, 1), radius, radius);
        painter.fillPath(shadow, QColor(0, 0, 0, 26));
        QPainterPath path;
        path.addRoundedRect(capsule, radius, radius);
        const SystemColors& colors = SystemColors::current();
        painter.fillPath(path, colors.windowBackground);
        // The shadow cannot be seen on a dark window: a faint edge keeps the capsule apart.
        if (colors.windowBackground.lightness() < 128)
            painter.strokePath(path, QPen(colors.separator, 1));
        painter.end();
        QLabel::paintEvent(event);
    }
};

QWidget* rowOf(QWidget* parent, std::initializer_list<QWidget*> widgets, int spacing)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget* widget : widgets) {
        if (widget)
            layout->addWidget(widget);
        else
            layout->addStretch(1);
    }
    return row;
}

QPixmap roundedApplicationIcon(int size, qreal ratio)
{
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(0, 0, size, size), 7, 7);
    painter.setClipPath(clip);
    ApplicationResources::applicationIcon().paint(&painter, QRect(0, 0, size, size));
    return pixmap;
}

} // namespace

MainPanel::MainPanel(const ContentEnvironment& environment, Binding<PopoverPage> page, QWidget* parent)
    : QWidget(parent)
    , m_environment(environment)
    , m_page(std::move(page))
    , m_ticker(new MinuteTicker([model = QPointer<AppViewModel>(environment.viewModel)] {
        return model ? model->now() : Date::now();
    }, this))
{
    setObjectName(QStringLiteral("mainPanel"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("mainPanel.scroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setMaximumHeight(548);
    outer->addWidget(m_scroll);

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("mainPanel.content"));
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);
    buildHeader(column);
    buildBanner(column);

    MacOverviewQuickActions::Actions actions;
    actions.refresh = [this] {
        if (AppViewModel* model = m_environment.viewModel)
            model->startTask([model = QPointer<AppViewModel>(model)]() -> QCoro::Task<> {
                return model ? model->refreshScheduledItems() : AppViewModel::nextTurn();
            });
    };
    actions.copy = [this] {
        if (m_environment.viewModel)
            m_environment.viewModel->copyDiagnosticSummary();
    };
    actions.openCodexUsage = [this] {
        m_environment.openPage(ExternalPages::codexUsage(), QStringLiteral("Codex 使用量"));
    };
    actions.openClaudeStatus = [this] {
        m_environment.openPage(ExternalPages::claudeStatus(), QStringLiteral("Claude 状態"));
    };
    m_quickActions = new MacOverviewQuickActions(std::move(actions), content);
    column->addWidget(m_quickActions);
    // Below the buttons, so the confirmation does not push them away from the pointer.
    m_copiedMessage = dashboardLabel(QStringLiteral("mainPanel.copiedMessage"), UiFont::caption2(),
                                     DashboardTint::secondary, content);
    column->addWidget(m_copiedMessage);

    m_codexCard = new ProviderUsageGroup(QStringLiteral("Codex"), DashboardTint::blue, *m_ticker, content);
    m_claudeCard = new ProviderUsageGroup(QStringLiteral("Claude"), DashboardTint::purple, *m_ticker, content);
    column->addWidget(m_codexCard);
    column->addWidget(m_claudeCard);
    buildApiCard(column);
    buildReadinessCard(column);
    buildCredits(column);
    buildFooter(column);
    column->addStretch(1);
    m_scroll->setWidget(content);

    if (m_environment.viewModel)
        connect(m_environment.viewModel, &AppViewModel::changed, this, &MainPanel::refresh, Qt::QueuedConnection);
    m_ticker->subscribe(m_bankedResetExpiry, [this] { updateBankedResetExpiry(); });
    refresh();
}

MainPanel::~MainPanel() = default;

QWidget* MainPanel::scrollContent() const
{
    return m_scroll->widget();
}

void MainPanel::buildHeader(QVBoxLayout* column)
{
    QWidget* content = column->parentWidget();
    auto* icon = new QLabel(content);
    icon->setObjectName(QStringLiteral("mainPanel.appIcon"));
    icon->setTextFormat(Qt::PlainText);
    icon->setFixedSize(30, 30);
    icon->setPixmap(roundedApplicationIcon(30, devicePixelRatioF()));

    auto* texts = new QWidget(content);
    auto* textColumn = new QVBoxLayout(texts);
    textColumn->setContentsMargins(0, 0, 0, 0);
    textColumn->setSpacing(1);
    m_title = dashboardLabel(QStringLiteral("mainPanel.title"), UiFont::system(22, QFont::Bold), std::nullopt, texts);
    m_subtitle = dashboardLabel(QStringLiteral("mainPanel.subtitle"), UiFont::caption2(), DashboardTint::secondary, texts);
    const AppDiagnostics::VersionAndBuild version = AppDiagnostics::versionAndBuild();
    QLabel* versionLabel = dashboardLabel(QStringLiteral("mainPanel.version"), UiFont::caption2(),
                                          DashboardTint::secondary, texts);
    versionLabel->setText(version.text());
    textColumn->addWidget(m_title);
    textColumn->addWidget(m_subtitle);
    textColumn->addWidget(versionLabel);

    m_badgeColumn = new QWidget(content);
    m_badgeColumn->setObjectName(QStringLiteral("mainPanel.planBadges"));
    m_badgeColumn->setToolTip(QStringLiteral("認証情報から取得した契約プラン"));
    auto* badges = new QVBoxLayout(m_badgeColumn);
    badges->setContentsMargins(0, 0, 0, 0);
    badges->setSpacing(4);
    badges->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    QWidget* header = rowOf(content, {icon, texts, nullptr, m_badgeColumn}, 10);
    column->addWidget(header);
}

void MainPanel::buildBanner(QVBoxLayout* column)
{
    m_banner = new TintedPanel(DashboardTint::secondary, 0.08, 8, column->parentWidget());
    m_banner->setObjectName(QStringLiteral("mainPanel.banner"));
    auto* row = new QHBoxLayout(m_banner);
    row->setContentsMargins(10, 10, 10, 10);
    row->setSpacing(10);
    m_bannerCircle = new TintedPanel(DashboardTint::secondary, 0.13, TintedPanel::capsule, m_banner);
    m_bannerCircle->setFixedSize(24, 24);
    auto* circleLayout = new QHBoxLayout(m_bannerCircle);
    circleLayout->setContentsMargins(0, 0, 0, 0);
    m_bannerSymbol = new SymbolView(QString(), 15, colors::secondary, m_bannerCircle);
    m_bannerSymbol->setObjectName(QStringLiteral("mainPanel.bannerSymbol"));
    circleLayout->addWidget(m_bannerSymbol, 0, Qt::AlignCenter);
    row->addWidget(m_bannerCircle, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    m_bannerTitle = dashboardLines(QStringLiteral("mainPanel.bannerTitle"), LineLimitedLabel::unlimited,
                                   UiFont::system(14, QFont::Bold), std::nullopt, m_banner);
    // Four lines: the longest recovery instruction, broken only between phrases, ends with the
    // button to press.
    m_bannerMessage = dashboardLines(QStringLiteral("mainPanel.bannerMessage"), 4, UiFont::caption(),
                                     DashboardTint::secondary, m_banner);
    texts->addWidget(m_bannerTitle);
    texts->addWidget(m_bannerMessage);
    row->addLayout(texts, 1);
    column->addWidget(m_banner);
}

void MainPanel::buildApiCard(QVBoxLayout* column)
{
    m_apiCard = new TintedPanel(DashboardTint::teal, 0.07, 8, column->parentWidget());
    m_apiCard->setObjectName(QStringLiteral("mainPanel.apiCard"));
    auto* card = new QVBoxLayout(m_apiCard);
    card->setContentsMargins(10, 10, 10, 10);
    card->setSpacing(8);
    auto* symbol = new SymbolView(QStringLiteral("network"), 15, [](const SystemColors& c) { return c.systemTeal; },
                                  m_apiCard);
    QLabel* title = dashboardLabel(QStringLiteral("apiCard.title"), UiFont::system(14, QFont::Bold), std::nullopt,
                                   m_apiCard);
    title->setText(QStringLiteral("OpenAI API"));
    m_apiModel = dashboardLabel(QStringLiteral("apiCard.model"), UiFont::caption2(), DashboardTint::secondary, m_apiCard);
    card->addWidget(rowOf(m_apiCard, {symbol, title, nullptr, m_apiModel}, 8));
    m_requestRow = new UsageMeterRow(QStringLiteral("リクエスト"), *m_ticker, m_apiCard);
    m_requestRow->setObjectName(QStringLiteral("apiCard.requests"));
    m_tokenRow = new UsageMeterRow(QStringLiteral("トークン"), *m_ticker, m_apiCard);
    m_tokenRow->setObjectName(QStringLiteral("apiCard.tokens"));
    card->addWidget(m_requestRow);
    card->addWidget(m_tokenRow);
    m_apiError = dashboardLines(QStringLiteral("apiCard.error"), 2, UiFont::caption2(), DashboardTint::orange, m_apiCard);
    card->addWidget(m_apiError);
    column->addWidget(m_apiCard);
}

void MainPanel::buildReadinessCard(QVBoxLayout* column)
{
    auto* readiness = new TintedPanel(DashboardTint::secondary, 0.06, 8, column->parentWidget());
    readiness->setObjectName(QStringLiteral("mainPanel.readiness"));
    auto* card = new QVBoxLayout(readiness);
    card->setContentsMargins(10, 10, 10, 10);
    card->setSpacing(8);
    auto* symbol = new SymbolView(QStringLiteral("checklist"), 15, colors::secondary, readiness);
    QLabel* title = dashboardLabel(QStringLiteral("readiness.title"), UiFont::system(14, QFont::Bold), std::nullopt,
                                   readiness);
    title->setText(QStringLiteral("起動環境"));
    card->addWidget(rowOf(readiness, {symbol, title, nullptr}, 7));
    m_codexHealth = new HealthCheckRow(QStringLiteral("Codex"), readiness);
    m_codexHealth->setObjectName(QStringLiteral("readiness.codex"));
    m_claudeHealth = new HealthCheckRow(QStringLiteral("Claude"), readiness);
    m_claudeHealth->setObjectName(QStringLiteral("readiness.claude"));
    m_apiKeyHealth = new HealthCheckRow(QStringLiteral("API Key"), readiness);
    m_apiKeyHealth->setObjectName(QStringLiteral("readiness.apiKey"));
    m_notificationHealth = new HealthCheckRow(PlatformWords::desktopNotifications, readiness);
    m_notificationHealth->setObjectName(QStringLiteral("readiness.notifications"));
    for (QWidget* row : {m_codexHealth, m_claudeHealth, m_apiKeyHealth, m_notificationHealth})
        card->addWidget(row);
    column->addWidget(readiness);
}

void MainPanel::buildCredits(QVBoxLayout* column)
{
    m_credits = new QWidget(column->parentWidget());
    m_credits->setObjectName(QStringLiteral("mainPanel.credits"));
    auto* lines = new QVBoxLayout(m_credits);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(8);

    m_bankedResetRow = new QWidget(m_credits);
    auto* banked = new QVBoxLayout(m_bankedResetRow);
    banked->setContentsMargins(0, 0, 0, 0);
    banked->setSpacing(2);
    auto* ticketLabel = new SymbolTextLabel(UiFont::system(14, QFont::Bold), 1, m_bankedResetRow);
    ticketLabel->setContent(QStringLiteral("リセット券"), QStringLiteral("ticket"), std::nullopt);
    m_bankedResetCount = dashboardLabel(QStringLiteral("credits.bankedResetCount"), UiFont::system(13, QFont::DemiBold),
                                        DashboardTint::secondary, m_bankedResetRow);
    QWidget* countRow = rowOf(m_bankedResetRow, {ticketLabel, nullptr, m_bankedResetCount}, 8);
    static_cast<QHBoxLayout*>(countRow->layout())->insertSpacing(1, 8);
    banked->addWidget(countRow);
    m_bankedResetExpiry = dashboardLabel(QStringLiteral("credits.bankedResetExpiry"), UiFont::caption2(),
                                         DashboardTint::secondary, m_bankedResetRow);
    banked->addWidget(m_bankedResetExpiry);
    lines->addWidget(m_bankedResetRow);

    QLabel* creditsTitle = dashboardLabel(QStringLiteral("credits.title"), UiFont::system(14, QFont::Bold), std::nullopt,
                                          m_credits);
    creditsTitle->setText(QStringLiteral("追加クレジット"));
    m_creditsText = dashboardLabel(QStringLiteral("credits.text"), UiFont::system(13, QFont::Medium),
                                   DashboardTint::secondary, m_credits);
    m_creditsRow = rowOf(m_credits, {creditsTitle, nullptr, m_creditsText}, 8);
    lines->addWidget(m_creditsRow);

    m_errorLine = dashboardLines(QStringLiteral("credits.errorLine"), 2, UiFont::caption2(), DashboardTint::orange,
                                 m_credits);
    m_incidentLine = dashboardLines(QStringLiteral("credits.incidentLine"), 1, UiFont::caption2(),
                                    DashboardTint::secondary, m_credits);
    lines->addWidget(m_errorLine);
    lines->addWidget(m_incidentLine);
    column->addWidget(m_credits);
}

void MainPanel::buildFooter(QVBoxLayout* column)
{
    QWidget* content = column->parentWidget();
    auto* restart = new PillButton(QStringLiteral("再起動"), colors::accent, content);
    restart->setObjectName(QStringLiteral("mainPanel.restart"));
    connect(restart, &QAbstractButton::clicked, this, [this] {
        if (m_environment.viewModel)
            m_environment.viewModel->restartApp();
    });
    auto* quit = new PillButton(QStringLiteral("終了"), [](const SystemColors& c) { return c.systemRed; }, content);
    quit->setObjectName(QStringLiteral("mainPanel.quit"));
    connect(quit, &QAbstractButton::clicked, this, [this] { m_environment.quitApplication(); });

    auto* times = new QWidget(content);
    auto* timesColumn = new QVBoxLayout(times);
    timesColumn->setContentsMargins(0, 0, 0, 0);
    timesColumn->setSpacing(1);
    m_autoRefresh = dashboardLabel(QStringLiteral("footer.autoRefresh"), UiFont::system(10, QFont::DemiBold),
                                   DashboardTint::secondary, times);
    m_refreshTimes = dashboardLabel(QStringLiteral("footer.refreshTimes"), UiFont::caption2(), DashboardTint::secondary,
                                    times);
    for (QLabel* label : {m_autoRefresh, m_refreshTimes}) {
        label->setAlignment(Qt::AlignRight);
        timesColumn->addWidget(label);
    }
    auto* settings = new IconButton(QStringLiteral("gearshape"), QStringLiteral("設定"), content);
    settings->setObjectName(QStringLiteral("mainPanel.settings"));
    settings->setToolTip(QStringLiteral("設定"));
    connect(settings, &QAbstractButton::clicked, this, [this] {
        if (m_page.set)
            m_page.set(PopoverPage::settings);
    });
    QWidget* footer = rowOf(content, {restart, quit, nullptr, times, settings}, 8);
    footer->setObjectName(QStringLiteral("mainPanel.footer"));
    footer->layout()->setContentsMargins(0, 2, 0, 0);
    column->addWidget(footer);
}

void MainPanel::refresh()
{
    if (!m_environment.viewModel)
        return;
    m_state = DashboardState::capture(*m_environment.viewModel);
    const DashboardState& state = m_state;
    const AppSettings& settings = state.settings;

    m_title->setText(DashboardPresenter::title(state));
    m_subtitle->setText(DashboardPresenter::headerSubtitle(state));
    updatePlanBadges(state.planBadgeTexts);

    const DashboardInsight insight = DashboardPresenter::primaryInsight(state);
    m_banner->setTint(insight.tint);
    m_bannerCircle->setTint(insight.tint);
    m_bannerSymbol->setSymbol(insight.systemName);
    setDashboardTint(m_bannerSymbol, insight.tint);
    m_bannerTitle->setText(insight.title);
    m_bannerMessage->setText(insight.message);
    // Should a text ever outgrow the lines, the whole of it is one hover away.
    m_bannerMessage->setToolTip(insight.message.isEmpty() ? QString() : toolTipText(insight.message));

    m_quickActions->setState(settings.codexEnabled, settings.claudeEnabled, state.isRefreshingAny);
    m_copiedMessage->setText(state.lastCopiedSummaryMessage.value_or(QString()));
    m_copiedMessage->setVisible(state.lastCopiedSummaryMessage.has_value());

    m_codexCard->setVisible(settings.codexEnabled);
    m_codexCard->setInput({QStringLiteral("Codex"), state.codexSnapshot,
                           state.codexFiveHourWindowIsTemporarilyUnavailable, QStringLiteral("Codex CLI"),
                           state.codexStatus, state.lastErrorMessage, state.codexUsageDisplayErrorMessage});
    m_claudeCard->setVisible(settings.claudeEnabled);
    m_claudeCard->setInput({QStringLiteral("Claude"), state.claudeSnapshot, false, QStringLiteral("貼り付け/手入力"),
                            state.claudeStatus, state.claudeStatusErrorMessage, state.claudeUsageDisplayErrorMessage});

    m_apiCard->setVisible(DashboardPresenter::showsApiRateCard(state));
    m_apiModel->setText(DashboardPresenter::apiModelText(state));
    const auto& rate = state.apiRateSnapshot;
    m_requestRow->setValues(rate ? rate->requestRemainingPercent() : std::nullopt, std::nullopt,
                            rate ? rate->requestResetSeconds : std::nullopt);
    m_tokenRow->setValues(rate ? rate->tokenRemainingPercent() : std::nullopt, std::nullopt,
                          rate ? rate->tokenResetSeconds : std::nullopt);
    m_apiError->setText(state.apiRateErrorMessage.value_or(QString()));
    m_apiError->setVisible(state.apiRateErrorMessage.has_value());

    const auto showHealth = [](HealthCheckRow* row, const DashboardHealth& health) {
        row->setValue(health.value, health.tint);
    };
    showHealth(m_codexHealth, DashboardPresenter::codexHealth(state));
    showHealth(m_claudeHealth, DashboardPresenter::claudeHealth(state));
    showHealth(m_apiKeyHealth, DashboardPresenter::apiKeyHealth(state));
    showHealth(m_notificationHealth, DashboardPresenter::notificationHealth(state));

    m_credits->setVisible(state.hasEnabledProvider);
    m_bankedResetRow->setVisible(settings.codexEnabled);
    m_bankedResetCount->setText(DashboardPresenter::bankedResetCountText(state));
    setDashboardTint(m_bankedResetCount, DashboardPresenter::hasBankedResetAvailable(state) ? DashboardTint::green
                                                                                            : DashboardTint::secondary);
    updateBankedResetExpiry();
    const std::optional<QString> credits = DashboardPresenter::activeCreditsText(state);
    m_creditsRow->setVisible(credits.has_value());
    m_creditsText->setText(credits.value_or(QString()));
    const std::optional<DashboardStatusLine> statusLine = DashboardPresenter::statusLine(state);
    m_errorLine->setVisible(statusLine && statusLine->isError);
    m_incidentLine->setVisible(statusLine && !statusLine->isError);
    (statusLine && statusLine->isError ? m_errorLine : m_incidentLine)->setText(statusLine ? statusLine->text : QString());

    m_autoRefresh->setText(DashboardPresenter::autoRefreshText(state));
    m_refreshTimes->setText(DashboardPresenter::refreshTimesText(state));
}

void MainPanel::updatePlanBadges(const QStringList& texts)
{
    while (m_badges.size() < texts.size()) {
        auto* badge = new PlanBadge(m_badgeColumn);
        m_badgeColumn->layout()->addWidget(badge);
        m_badges.append(badge);
    }
    while (m_badges.size() > texts.size())
        delete m_badges.takeLast();
    for (qsizetype i = 0; i < texts.size(); ++i)
        m_badges[i]->setText(texts[i]);
}

void MainPanel::updateBankedResetExpiry()
{
    const std::optional<QString> expiry = DashboardPresenter::bankedResetExpiryText(m_state, m_ticker->now());
    m_bankedResetExpiry->setText(expiry.value_or(QString()));
    // Hidden when empty: a hidden label would stop following the minutes, so it stays and shrinks.
    m_bankedResetExpiry->setMaximumHeight(expiry ? QWIDGETSIZE_MAX : 0);
}

} // namespace vantorel
