#include "app/window/SettingsPanel.h"

#include "app/setup/DiscordQueueView.h"
#include "app/setup/DiscordTestPreviewView.h"
#include "app/setup/RefreshPreferencesView.h"
#include "app/syncui/MacCloudSyncSettingsView.h"
#include "app/syncui/MacSyncSettingsView.h"
#include "app/ui/CaptionLabel.h"
#include "app/ui/DisclosureGroup.h"
#include "app/ui/IconProvider.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/NoticeLabel.h"
#include "app/ui/Stepper.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/SymbolView.h"
#include "app/ui/SystemColors.h"
#include "app/ui/TextColor.h"
#include "app/ui/ToggleSwitch.h"
#include "app/ui/UiFont.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/window/AdvancedSettingsSection.h"
#include "app/window/ClaudeAutomaticRecoveryControl.h"
#include "app/window/ClaudeRecoveryView.h"
#include "app/window/DiscordWebhookSection.h"
#include "app/setup/MenuBarProviderOptions.h"
#include "app/window/PanelHeader.h"
#include "app/ui/ProviderBrandIcon.h"
#include "app/window/SettingsBindings.h"
#include "core/foundation/AppDiagnostics.h"
#include "app/ui/FocusedWheel.h"
#include "core/foundation/DateTexts.h"
#include "core/foundation/TimerSleeper.h"
#include "core/model/PlatformWords.h"
#include "sync/onboarding/OnboardingProgressStore.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace vantorel {

namespace {

constexpr int columnSpacing = 13;
constexpr int columnMargin = 16;

// Buttons in equal columns of at least 116 px with 8 px between them; hidden buttons leave no
// gap, the others flow on.
class ActionGrid final : public QWidget
{
public:
    using QWidget::QWidget;

    static constexpr int minimumColumnWidth = 116;
    static constexpr int spacing = 8;

    static int columnCount(int width) { return std::max(1, (width + spacing) / (minimumColumnWidth + spacing)); }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        const int shown = int(visibleButtons().size());
        const int rows = (shown + columnCount(width) - 1) / columnCount(width);
        return rows == 0 ? 0 : rows * rowHeight() + (rows - 1) * spacing;
    }
    QSize sizeHint() const override { return {minimumColumnWidth, heightForWidth(2 * minimumColumnWidth + spacing)}; }
    QSize minimumSizeHint() const override { return {minimumColumnWidth, 0}; }

    void relayout()
    {
        const QList<QPushButton*> shown = visibleButtons();
        const int columns = columnCount(width());
        const int cell = (width() - (columns - 1) * spacing) / columns;
        for (int index = 0; index < shown.size(); ++index) {
            const int row = index / columns;
            const int column = index % columns;
            shown.at(index)->setGeometry(column * (cell + spacing), row * (rowHeight() + spacing), cell, rowHeight());
        }
        updateGeometry();
    }

protected:
    void resizeEvent(QResizeEvent*) override { relayout(); }

private:
    QList<QPushButton*> visibleButtons() const
    {
        QList<QPushButton*> shown;
        for (QPushButton* button : findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!button->isHidden())
                shown.append(button);
        }
        return shown;
    }
    int rowHeight() const
    {
        int height = 0;
        for (const QPushButton* button : findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly))
            height = std::max(height, button->sizeHint().height());
        return height;
    }
};

SymbolButton* symbolButton(const QString& name, const QString& title, const QString& symbol, QWidget* parent,
                           ColorPick tint = {})
{
    auto* button = new SymbolButton(title, symbol, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    if (tint)
        button->setTint(std::move(tint));
    return button;
}

QLabel* plainLabel(const QString& text, const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    return label;
}

QHBoxLayout* providerHeader(MonitoredProvider provider, int iconSize, int spacing, const QFont& font, QWidget* parent)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(spacing);
    row->addWidget(new ProviderBrandIcon(displayName(provider), iconSize, parent));
    row->addWidget(plainLabel(displayName(provider), font, parent));
    return row;
}

} // namespace

SettingsPanel::SettingsPanel(const ContentEnvironment& environment, Binding<PopoverPage> page, QWidget* parent)
    : QWidget(parent)
    , m_model(*environment.viewModel)
    , m_environment(environment)
    , m_page(std::move(page))
{
    setObjectName(QStringLiteral("settingsPanel"));
    if (!m_environment.sleeper)
        m_environment.sleeper = std::make_shared<TimerSleeper>();
    AppViewModel* model = &m_model;
    m_settings = {[model] { return model->settings(); }, [model](AppSettings settings) { model->setSettings(settings); }};

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("settings.scroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    outer->addWidget(m_scroll);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("settings.content"));
    m_column = new QVBoxLayout(content);
    m_column->setContentsMargins(columnMargin, columnMargin, columnMargin, columnMargin);
    m_column->setSpacing(columnSpacing);
    m_scroll->setWidget(content);

    addEntry(new PanelHeader(QStringLiteral("設定"), m_page, content), QStringLiteral("settings.header"));
    m_secretStoreNotice = new NoticeLabel(SettingsPresenter::secretStoreMissingText(),
                                          QStringLiteral("exclamationmark.triangle"), content);
    m_secretStoreNotice->setObjectName(QStringLiteral("settings.secretStoreMissing"));
    m_column->addWidget(m_secretStoreNotice);
    addEntry(buildFlowRow(SettingsPresenter::Flow::guide), QStringLiteral("settings.guide"));
    addEntry(buildFlowRow(SettingsPresenter::Flow::setup), QStringLiteral("settings.setup"));
    // 4, 5: the iPhone and cloud sync sections, left empty by a host without the coordinators.
    if (environment.syncCoordinator && environment.pasteboard && environment.sleeper)
        addEntry(new MacSyncSettingsView(*environment.syncCoordinator, *environment.pasteboard, environment.sleeper,
                                         content),
                 QStringLiteral("settings.sync"));
    else
        addEntry(new QWidget(content), QStringLiteral("settings.sync"))->hide();
    if (environment.cloudCoordinator)
        addEntry(new MacCloudSyncSettingsView(*environment.cloudCoordinator, content), QStringLiteral("settings.cloudSync"));
    else
        addEntry(new QWidget(content), QStringLiteral("settings.cloudSync"))->hide();
    addEntry(buildServices(), QStringLiteral("settings.services"));
    addEntry(buildAutomaticFetch(), QStringLiteral("settings.automaticFetch"));
    addEntry(buildAppSection(), QStringLiteral("settings.app"));
    m_launchAtLoginText = new CaptionLabel(QString(), content);
    m_launchAtLoginMessage = addEntry(m_launchAtLoginText, QStringLiteral("settings.launchAtLoginMessage"));
    auto* preferences = new RefreshPreferencesView(m_settings, content);
    m_refreshers.push_back([preferences] { preferences->refresh(); });
    addEntry(preferences, QStringLiteral("settings.refreshPreferences"));
    addEntry(buildMenuBarSection(), QStringLiteral("settings.menuBar"));
    m_actions = addEntry(buildActions(), QStringLiteral("settings.actions"));

    auto* claudeLine = new QWidget(content);
    auto* claudeColumn = new QVBoxLayout(claudeLine);
    claudeColumn->setContentsMargins(0, 0, 0, 0);
    m_claudeRecovery = new ClaudeRecoveryView(claudeLine);
    m_claudeMessage = new LineLimitedLabel(LineLimitedLabel::unlimited, QString(), claudeLine);
    m_claudeMessage->setObjectName(QStringLiteral("settings.claudeMessage"));
    m_claudeMessage->setFont(UiFont::callout());
    setTextColor(m_claudeMessage, colors::secondary);
    claudeColumn->addWidget(m_claudeRecovery);
    claudeColumn->addWidget(m_claudeMessage);
    addEntry(claudeLine, QStringLiteral("settings.claudeLine"));
    connect(m_claudeRecovery, &ClaudeRecoveryView::recoverRequested, this,
            [model] { model->startTask([model] { return model->recoverClaudeUsage(); }); });
    connect(m_claudeRecovery, &ClaudeRecoveryView::loginRequested, this,
            [model] { model->startTask([model] { return model->reconnectClaudeAuthentication(true, false); }); });

    m_error = new LineLimitedLabel(2, QString(), content);
    m_error->setFont(UiFont::caption());
    setTextColor(m_error, [](const SystemColors& colors) { return colors.systemOrange; });
    addEntry(m_error, QStringLiteral("settings.error"));

    addEntry(new DiscordWebhookSection(m_model, content), QStringLiteral("settings.discord"));
    m_discordMessage = new CaptionLabel(QString(), content);
    addEntry(m_discordMessage, QStringLiteral("settings.discordMessage"));
    m_discordAttention = new NoticeLabel(QStringLiteral("再送停止中: Webhookの有効性を確認して再保存してください。"),
                                         QStringLiteral("exclamationmark.triangle"), content);
    addEntry(m_discordAttention, QStringLiteral("settings.discordAttention"));
    m_discordRetry = new CaptionLabel(QString(), content);
    addEntry(m_discordRetry, QStringLiteral("settings.discordRetry"));
    auto* queue = new DiscordQueueView(content);
    m_refreshers.push_back([this, queue] {
        queue->setItems(m_model.pendingDiscordResetNotifications(), m_model.notificationHistory());
    });
    addEntry(queue, QStringLiteral("settings.discordQueue"));

    auto* targets = new DisclosureGroup(QStringLiteral("現在の通知対象"), content);
    targets->setContent(buildTargets());
    addEntry(targets, QStringLiteral("settings.targets"));
    m_advanced = new DisclosureGroup(QStringLiteral("詳細"), content);
    auto* advanced = new AdvancedSettingsSection(m_model);
    advanced->loadServiceNameDrafts();
    m_advanced->setContent(advanced);
    addEntry(m_advanced, QStringLiteral("settings.advanced"));
    m_column->addStretch();

    connect(&m_model, &AppViewModel::changed, this, &SettingsPanel::refresh);
    refresh();
    // A pending test draft opens its sheet once the host has placed the panel in its window, so
    // the sheet is modal to that window.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_sheetAllowed = true;
            updateSheet();
        },
        Qt::QueuedConnection);
}

SettingsPanel::~SettingsPanel()
{
    // The sheet belongs to the window, not to the panel; it goes with the page.
    if (m_sheet)
        m_sheet->dismissQuietly();
    delete m_sheet;
}

QWidget* SettingsPanel::addEntry(QWidget* entry, const QString& name)
{
    entry->setObjectName(name);
    m_column->addWidget(entry);
    m_entries.append(entry);
    return entry;
}

QWidget* SettingsPanel::section(const QString& name, const QString& title, int spacing, QVBoxLayout** column)
{
    auto* box = new QWidget(m_scroll->widget());
    box->setObjectName(name);
    *column = new QVBoxLayout(box);
    (*column)->setContentsMargins(0, 0, 0, 0);
    (*column)->setSpacing(spacing);
    if (!title.isEmpty())
        (*column)->addWidget(new SectionTitle(title, box));
    return box;
}

ToggleSwitch* SettingsPanel::toggle(QWidget* parent, const QString& name, const QString& title, Binding<bool> binding)
{
    auto* control = new ToggleSwitch(title, parent);
    control->setObjectName(name);
    connect(control, &QAbstractButton::clicked, this, [binding](bool on) { binding.set(on); });
    m_refreshers.push_back([control, get = binding.get] {
        const QSignalBlocker blocker(control);
        control->setChecked(get());
    });
    return control;
}

QWidget* SettingsPanel::buildFlowRow(SettingsPresenter::Flow flow)
{
    const bool guide = flow == SettingsPresenter::Flow::guide;
    const QString prefix = guide ? QStringLiteral("settings.guide.") : QStringLiteral("settings.setup.");
    QVBoxLayout* column = nullptr;
    QWidget* row = section(QString(), QString(), 8, &column);
    const SettingsPresenter::FlowRow texts = SettingsPresenter::flowRow(flow, OnboardingProgress());

    auto* titleLine = new QHBoxLayout;
    titleLine->setSpacing(6);
    titleLine->addWidget(new SymbolView(texts.symbol, IconProvider::symbolSize(13), colors::label, row));
    titleLine->addWidget(new SectionTitle(texts.title, row));
    titleLine->addStretch();
    QLabel* status = plainLabel(QString(), UiFont::system(12, QFont::Medium), row);
    status->setObjectName(prefix + QStringLiteral("status"));
    setTextColor(status, colors::secondary);
    titleLine->addWidget(status);
    column->addLayout(titleLine);
    column->addWidget(new CaptionLabel(texts.description, row));

    auto* buttons = new QHBoxLayout;
    QPushButton* open = symbolButton(prefix + QStringLiteral("open"), texts.openTitle, texts.openSymbol, row);
    QPushButton* restart = symbolButton(prefix + QStringLiteral("restart"), QStringLiteral("最初から"),
                                        QStringLiteral("arrow.counterclockwise"), row);
    buttons->addWidget(open);
    buttons->addWidget(restart);
    buttons->addStretch();
    column->addLayout(buttons);
    connect(open, &QPushButton::clicked, this, [this, flow] { openFlow(flow, false); });
    connect(restart, &QPushButton::clicked, this, [this, flow] { openFlow(flow, true); });

    m_refreshers.push_back([this, flow, guide, status, open, restart] {
        const OnboardingProgress& progress = guide ? m_model.onboardingProgress() : m_model.initialSetupProgress();
        const SettingsPresenter::FlowRow current = SettingsPresenter::flowRow(flow, progress);
        status->setText(guide ? m_model.onboardingStatusText() : m_model.initialSetupStatusText());
        open->setText(current.openTitle);
        restart->setVisible(current.showsRestart);
    });
    return row;
}

void SettingsPanel::openFlow(SettingsPresenter::Flow flow, bool restart)
{
    const bool guide = flow == SettingsPresenter::Flow::guide;
    OnboardingProgressStore& store = guide ? m_model.onboardingStore() : m_model.initialSetupStore();
    const auto publish = [this, guide](const OnboardingProgress& progress) {
        guide ? m_model.setOnboardingProgress(progress) : m_model.setInitialSetupProgress(progress);
    };
    if (restart) {
        publish(store.restart());
    } else {
        for (const OnboardingProgress& progress :
             SettingsPresenter::open(store, guide ? m_model.onboardingProgress() : m_model.initialSetupProgress()))
            publish(progress);
    }
    // Switching the page deletes this panel later; nothing below may touch it.
    m_page.set(guide ? PopoverPage::setup : PopoverPage::initialSetup);
}

QWidget* SettingsPanel::buildServices()
{
    QVBoxLayout* column = nullptr;
    QWidget* box = section(QString(), QStringLiteral("表示するサービス"), 9, &column);
    for (const MonitoredProvider provider : allMonitoredProviders) {
        const bool codex = provider == MonitoredProvider::codex;
        QHBoxLayout* row = providerHeader(provider, 18, 7, UiFont::sectionTitle(), box);
        row->addStretch();
        ToggleSwitch* enabled = toggle(box, QStringLiteral("settings.") + rawValue(provider) + QStringLiteral("Enabled"),
                                       QString(),
                                       memberBinding(m_settings, codex ? &AppSettings::codexEnabled : &AppSettings::claudeEnabled));
        enabled->setAccessibleName(displayName(provider));
        row->addWidget(enabled);
        column->addLayout(row);
    }
    return box;
}

QWidget* SettingsPanel::buildAutomaticFetch()
{
    QVBoxLayout* column = nullptr;
    QWidget* box = section(QString(), QStringLiteral("自動取得"), 9, &column);
    ToggleSwitch* codexCLI = toggle(box, QStringLiteral("settings.codexCLIAutoRefresh"), QStringLiteral("Codex CLI"),
                                    memberBinding(m_settings, &AppSettings::codexCLIAutoRefreshEnabled));
    ToggleSwitch* claudeStatus = toggle(box, QStringLiteral("settings.claudeStatusEnabled"), QStringLiteral("Claude Status"),
                                        memberBinding(m_settings, &AppSettings::claudeStatusEnabled));
    ToggleSwitch* claudeUsage = toggle(box, QStringLiteral("settings.claudeUsageAutoRefresh"), QStringLiteral("Claude 使用量"),
                                       memberBinding(m_settings, &AppSettings::claudeUsageAutoRefreshEnabled));
    auto* recovery = new ClaudeAutomaticRecoveryControl(
        memberBinding(m_settings, &AppSettings::claudeAuthenticationAutoRecoveryEnabled), box);
    for (QWidget* widget : std::initializer_list<QWidget*>{codexCLI, claudeStatus, claudeUsage, recovery})
        column->addWidget(widget);
    m_refreshers.push_back([this, codexCLI, claudeStatus, claudeUsage, recovery] {
        const AppSettings& settings = m_model.settings();
        codexCLI->setEnabled(settings.codexEnabled);
        claudeStatus->setEnabled(settings.claudeEnabled);
        claudeUsage->setEnabled(settings.claudeEnabled);
        recovery->refresh(settings.claudeEnabled && settings.claudeUsageAutoRefreshEnabled,
                          m_model.claudeAutomaticRecoveryDeferred());
    });
    return box;
}

QWidget* SettingsPanel::buildAppSection()
{
    QVBoxLayout* column = nullptr;
    QWidget* box = section(QString(), QStringLiteral("アプリ"), 9, &column);
    column->addWidget(toggle(box, QStringLiteral("settings.launchAtLogin"), PlatformWords::launchAtLogin,
                             memberBinding(m_settings, &AppSettings::launchAtLogin)));
    column->addWidget(toggle(box, QStringLiteral("settings.notifications"), PlatformWords::desktopNotifications,
                             memberBinding(m_settings, &AppSettings::notificationsEnabled)));
    column->addWidget(buildCategoryGroup(NotificationChannel::local));
    ToggleSwitch* discord = toggle(box, QStringLiteral("settings.discordNotifications"), QStringLiteral("Discord通知"),
                                   memberBinding(m_settings, &AppSettings::discordResetNotificationsEnabled));
    ToggleSwitch* everyone = toggle(box, QStringLiteral("settings.discordMentionEveryone"),
                                    QStringLiteral("全員通知（@everyone）"),
                                    SettingsBindings::discordMentionEveryone(m_settings));
    auto* everyoneNote = new CaptionLabel(QString(), box);
    everyoneNote->setObjectName(QStringLiteral("settings.everyoneNote"));
    column->addWidget(discord);
    column->addWidget(everyone);
    column->addWidget(everyoneNote);
    column->addWidget(buildCategoryGroup(NotificationChannel::discord));

    ToggleSwitch* expiry = toggle(box, QStringLiteral("settings.bankedResetExpiry"), QStringLiteral("リセット券の有効期限通知"),
                                  memberBinding(m_settings, &AppSettings::bankedResetExpiryNotificationsEnabled));
    column->addWidget(expiry);
    auto* daysRow = new QHBoxLayout;
    QLabel* daysLabel = plainLabel(QString(), UiFont::callout(), box);
    daysLabel->setObjectName(QStringLiteral("settings.warningDaysLabel"));
    auto* days = new Stepper(box);
    days->setObjectName(QStringLiteral("settings.warningDays"));
    days->setRange(int(AppSettings::minimumBankedResetExpiryWarningDays),
                   int(AppSettings::maximumBankedResetExpiryWarningDays));
    days->setAccessibleName(QStringLiteral("有効期限の日数"));
    takeWheelOnlyWhenFocused(days);
    daysRow->addWidget(daysLabel);
    daysRow->addStretch();
    daysRow->addWidget(days);
    column->addLayout(daysRow);
    const Binding<std::int64_t> daysBinding = SettingsBindings::bankedResetExpiryWarningDays(m_settings);
    connect(days, &QSpinBox::valueChanged, this, [daysBinding](int value) { daysBinding.set(value); });

    const AppDiagnostics::VersionAndBuild version = AppDiagnostics::versionAndBuild();
    auto* versionRow = new QHBoxLayout;
    versionRow->setSpacing(5);
    versionRow->addWidget(new SymbolView(QStringLiteral("info.circle"), IconProvider::symbolSize(12), colors::label, box));
    versionRow->addWidget(plainLabel(QStringLiteral("バージョン"), UiFont::system(12, QFont::Medium), box));
    versionRow->addStretch();
    QLabel* versionText = plainLabel(version.text(), UiFont::system(12, QFont::Medium), box);
    versionText->setObjectName(QStringLiteral("settings.version"));
    setTextColor(versionText, colors::secondary);
    versionRow->addWidget(versionText);
    column->addLayout(versionRow);

    QPushButton* openSettings = symbolButton(QStringLiteral("settings.openNotificationSettings"),
                                             QStringLiteral("通知設定を開く"), QStringLiteral("arrow.up.right"), box);
    openSettings->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    connect(openSettings, &QPushButton::clicked, this, [this] { m_model.openNotificationSettings(); });
    column->addWidget(openSettings);

    m_refreshers.push_back([this, discord, everyone, everyoneNote, expiry, days, daysLabel, openSettings] {
        const AppSettings& settings = m_model.settings();
        discord->setEnabled(m_model.discordWebhookIsSaved());
        everyone->setEnabled(settings.discordResetNotificationsEnabled);
        everyoneNote->setText(SettingsPresenter::everyoneNote(settings));
        everyoneNote->setVisible(!everyoneNote->text().isEmpty());
        expiry->setEnabled(settings.codexEnabled);
        {
            const QSignalBlocker blocker(days);
            days->setValue(int(settings.bankedResetExpiryWarningDays()));
        }
        days->setEnabled(settings.codexEnabled && settings.bankedResetExpiryNotificationsEnabled);
        daysLabel->setEnabled(days->isEnabled());
        daysLabel->setText(QStringLiteral("有効期限の%1日前").arg(settings.bankedResetExpiryWarningDays()));
        openSettings->setVisible(m_model.notificationAuthorizationState() == AppNotificationAuthorizationState::denied);
    });
    return box;
}

QWidget* SettingsPanel::buildCategoryGroup(NotificationChannel channel)
{
    const bool local = channel == NotificationChannel::local;
    auto* group = new DisclosureGroup(QStringLiteral("通知する項目"), m_scroll->widget());
    group->setObjectName(QStringLiteral("settings.categories.") + rawValue(channel));
    group->setAccessibleName(local ? QStringLiteral("デスクトップ通知の項目") : QStringLiteral("Discord通知の項目"));
    group->header()->setAccessibleName(group->accessibleName());

    auto* grid = new QWidget;
    auto* gridColumn = new QVBoxLayout(grid);
    gridColumn->setContentsMargins(0, 7, 0, 0);
    gridColumn->setSpacing(12);
    for (const MonitoredProvider provider : allMonitoredProviders) {
        auto* block = new QWidget(grid);
        block->setObjectName(group->objectName() + QLatin1Char('.') + rawValue(provider));
        auto* blockColumn = new QVBoxLayout(block);
        blockColumn->setContentsMargins(0, 0, 0, 0);
        blockColumn->setSpacing(7);
        blockColumn->addLayout(providerHeader(provider, 17, 7, UiFont::system(12, QFont::DemiBold), block));
        ToggleSwitch* expiry = nullptr;
        for (const NotificationCategory category : availableNotificationCategories(provider)) {
            ToggleSwitch* control =
                toggle(block, block->objectName() + QLatin1Char('.') + rawValue(category), label(category),
                       SettingsBindings::notificationCategory(m_settings, category, provider, channel));
            control->setFont(UiFont::system(12));
            control->setAccessibleName(QStringLiteral("%1の%2").arg(displayName(provider), label(category)));
            blockColumn->addWidget(control);
            if (category == NotificationCategory::couponExpiry)
                expiry = control;
        }
        gridColumn->addWidget(block);
        m_refreshers.push_back([this, block, expiry, provider] {
            const AppSettings& settings = m_model.settings();
            block->setEnabled(provider == MonitoredProvider::codex ? settings.codexEnabled : settings.claudeEnabled);
            if (expiry)
                expiry->setEnabled(settings.bankedResetExpiryNotificationsEnabled);
        });
    }
    group->setContent(grid);
    m_refreshers.push_back([this, group, local] {
        const AppSettings& settings = m_model.settings();
        group->setEnabled(local ? settings.notificationsEnabled : settings.discordResetNotificationsEnabled);
    });
    return group;
}

QWidget* SettingsPanel::buildMenuBarSection()
{
    QVBoxLayout* column = nullptr;
    QWidget* box = section(QString(), PlatformWords::tray, 7, &column);
    column->addWidget(toggle(box, QStringLiteral("settings.menuBarCompact"), QStringLiteral("省スペース表示"),
                             memberBinding(m_settings, &AppSettings::menuBarCompactMode)));
    ToggleSwitch* percentage = toggle(box, QStringLiteral("settings.menuBarPercentage"), QStringLiteral("円の横に残り%を表示"),
                                      SettingsBindings::menuBarPercentage(m_settings));
    column->addWidget(percentage);
    column->addWidget(new CaptionLabel(QStringLiteral("サービスごとの表示"), box));
    auto* codex = new MenuBarProviderOptions(MonitoredProvider::codex, m_settings, box);
    auto* claude = new MenuBarProviderOptions(MonitoredProvider::claude, m_settings, box);
    column->addWidget(codex);
    column->addWidget(claude);
    auto* paused = new NoticeLabel(QStringLiteral("Codex 5hは一時停止中のため自動非表示です"), QStringLiteral("eye.slash"), box);
    paused->setObjectName(QStringLiteral("settings.codexFiveHourPaused"));
    column->addWidget(paused);
    auto* description = new CaptionLabel(QString(), box);
    description->setObjectName(QStringLiteral("settings.menuBarDescription"));
    column->addWidget(description);
    auto* trayNote = new CaptionLabel(QString(), box);
    trayNote->setObjectName(QStringLiteral("settings.menuBarTrayNote"));
    column->addWidget(trayNote);
    m_refreshers.push_back([this, percentage, codex, claude, paused, description, trayNote] {
        const AppSettings& settings = m_model.settings();
        percentage->setEnabled(!settings.menuBarCompactMode);
        codex->refresh();
        claude->refresh();
        codex->setEnabled(settings.codexEnabled);
        claude->setEnabled(settings.claudeEnabled);
        paused->setVisible(settings.codexEnabled && settings.showCodexFiveHourInMenuBar
                           && m_model.codexFiveHourWindowIsTemporarilyUnavailable());
        description->setText(SettingsPresenter::menuBarDescription(settings));
        trayNote->setText(SettingsPresenter::menuBarTrayNote(settings));
    });
    return box;
}

QWidget* SettingsPanel::buildActions()
{
    auto* grid = new ActionGrid(m_scroll->widget());
    const SettingsPresenter::ActionState none;
    for (const auto& button : SettingsPresenter::actionButtons(none)) {
        ColorPick tint;
        if (button.action == SettingsPresenter::Action::restart)
            tint = colors::accent;
        else if (button.action == SettingsPresenter::Action::quit)
            tint = [](const SystemColors& colors) { return colors.systemRed; };
        static const char* const names[] = {"refreshCodex", "refreshClaude", "claudeAuthentication", "restart", "quit"};
        QPushButton* control = symbolButton(QStringLiteral("settings.action.") + QLatin1String(names[int(button.action)]),
                                            button.title, button.symbol, grid, tint);
        control->setProperty("action", int(button.action));
        connect(control, &QPushButton::clicked, this, [this, action = button.action] { runAction(action); });
    }
    return grid;
}

void SettingsPanel::runAction(SettingsPresenter::Action action)
{
    AppViewModel* model = &m_model;
    switch (action) {
    case SettingsPresenter::Action::refreshCodex:
        model->startTask([model] { return model->refreshCodexCLIUsage(); });
        break;
    case SettingsPresenter::Action::refreshClaude:
        model->startTask([model] { return model->refreshClaudeUsage(false); });
        break;
    case SettingsPresenter::Action::claudeAuthentication:
        model->startTask([model] { return model->recoverClaudeUsage(); });
        break;
    case SettingsPresenter::Action::restart:
        model->restartApp();
        break;
    case SettingsPresenter::Action::quit:
        m_environment.quitApplication();
        break;
    }
}

void SettingsPanel::updateActions()
{
    SettingsPresenter::ActionState state;
    state.codexEnabled = m_model.settings().codexEnabled;
    state.claudeEnabled = m_model.settings().claudeEnabled;
    state.isRefreshingCodexCLI = m_model.isRefreshingCodexCLI();
    state.isRefreshingClaudeUsage = m_model.isRefreshingClaudeUsage();
    state.isWaitingForClaudeLogin = m_model.isWaitingForClaudeLogin();
    state.claudeUsageFailure = m_model.claudeUsageFailure();
    const QList<SettingsPresenter::ActionButton> present = SettingsPresenter::actionButtons(state);
    for (QPushButton* control : m_actions->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        const auto action = SettingsPresenter::Action(control->property("action").toInt());
        const auto found = std::find_if(present.begin(), present.end(),
                                        [action](const auto& button) { return button.action == action; });
        control->setVisible(found != present.end());
        control->setEnabled(found != present.end() && found->enabled);
    }
    static_cast<ActionGrid*>(m_actions)->relayout();
}

QWidget* SettingsPanel::buildTargets()
{
    auto* list = new QWidget;
    auto* column = new QVBoxLayout(list);
    column->setContentsMargins(0, 4, 0, 0);
    column->setSpacing(8);
    for (const MonitoredProvider provider : allMonitoredProviders) {
        for (const NotificationCategory category : availableNotificationCategories(provider)) {
            auto* entry = new QWidget(list);
            entry->setObjectName(QStringLiteral("settings.target.") + rawValue(provider) + QLatin1Char('.')
                                 + rawValue(category));
            auto* entryColumn = new QVBoxLayout(entry);
            entryColumn->setContentsMargins(0, 0, 0, 0);
            entryColumn->setSpacing(3);
            entryColumn->addWidget(plainLabel(SettingsPresenter::targetTitle(provider, category), UiFont::callout(), entry));
            auto* reasons = new CaptionLabel(QString(), entry);
            reasons->setObjectName(entry->objectName() + QStringLiteral(".reasons"));
            entryColumn->addWidget(reasons);
            column->addWidget(entry);
            m_refreshers.push_back([this, reasons, provider, category] {
                reasons->setText(SettingsPresenter::targetReasons(m_model.settings(), provider, category));
            });
        }
    }
    return list;
}

void SettingsPanel::updateClaudeLine()
{
    const auto line = SettingsPresenter::claudeLine(m_model.settings().claudeEnabled, m_model.claudeUsageFailure(),
                                                    m_model.claudeUsageErrorMessage());
    m_claudeRecovery->setVisible(line == SettingsPresenter::ClaudeLine::recovery);
    m_claudeMessage->setVisible(line == SettingsPresenter::ClaudeLine::message);
    m_claudeRecovery->parentWidget()->setVisible(line != SettingsPresenter::ClaudeLine::none);
    if (line == SettingsPresenter::ClaudeLine::recovery) {
        const ClaudeUsageFailure failure = *m_model.claudeUsageFailure();
        m_claudeRecovery->setFailure(failure, m_model.claudeUsageErrorMessage().value_or(message(failure)),
                                     m_model.isRefreshingClaudeUsage() || m_model.isWaitingForClaudeLogin(),
                                     failure == ClaudeUsageFailure::credentialExpired);
    } else if (line == SettingsPresenter::ClaudeLine::message) {
        m_claudeMessage->setText(*m_model.claudeUsageErrorMessage());
    }
}

void SettingsPanel::updateSheet()
{
    if (!m_sheetAllowed)
        return;
    const std::optional<DiscordTestDraft>& preview = m_model.discordTestPreview();
    if (m_sheet && (!preview || m_sheet->draft() != *preview)) {
        // The view model moved on (confirmed, replaced or cleared): the shown draft is stale.
        m_sheet->dismissQuietly();
        m_sheet->deleteLater();
        m_sheet = nullptr;
    }
    if (!preview || m_sheet)
        return;
    const DiscordTestDraft draft = *preview;
    if (draft == m_answeredDraft)
        return;
    const QPointer<SettingsPanel> self(this);
    const QPointer<AppViewModel> model(&m_model);
    // Only a draft still on show is withdrawn: a confirm that is already on its way checks for
    // exactly this draft and would send nothing if it were cleared under it.
    auto cancel = [self, model, draft] {
        if (self)
            self->m_answeredDraft = draft;
        if (model && model->discordTestPreview() == draft)
            model->setDiscordTestPreview(std::nullopt);
    };
    // The view model clears the preview itself once the send starts, a turn or more later; the
    // answered draft keeps the sheet from coming back in between.
    auto confirm = [self, model, draft] {
        if (self)
            self->m_answeredDraft = draft;
        if (model)
            model->startTask([model = model.data(), draft] { return model->confirmDiscordTestNotification(draft); });
    };
    m_sheet = new DiscordTestPreviewView(draft, cancel, confirm, window());
    m_sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_sheet->open();
}

void SettingsPanel::refresh()
{
    for (const auto& refresher : m_refreshers)
        refresher();
    updateActions();

    const std::optional<QString>& launchMessage = m_model.launchAtLoginMessage();
    m_launchAtLoginText->setText(launchMessage.value_or(QString()));
    m_launchAtLoginMessage->setVisible(launchMessage.has_value());

    updateClaudeLine();
    const std::optional<QString> error =
        SettingsPresenter::errorLine(m_model.activeErrorMessages(), m_model.claudeUsageErrorMessage());
    m_error->setText(error.value_or(QString()));
    m_error->setVisible(error.has_value());

    const std::optional<QString>& discordMessage = m_model.discordWebhookMessage();
    m_discordMessage->setText(discordMessage.value_or(QString()));
    m_discordMessage->setVisible(discordMessage.has_value());
    m_discordAttention->setVisible(m_model.discordWebhookNeedsAttention());
    m_secretStoreNotice->setVisible(m_model.secretStoreUnavailable());
    updateDiscordRetry();

    updateSheet();
}

void SettingsPanel::updateDiscordRetry()
{
    const std::optional<Date>& retry = m_model.discordServerRetryNotBefore();
    const Date now = m_model.now();
    const bool retryShown = retry && *retry > now;
    m_discordRetry->setText(retryShown ? QStringLiteral("Discord再試行可能: ") + DateTexts::abbreviatedDateTimeText(*retry)
                                       : QString());
    m_discordRetry->setVisible(retryShown);
    if (!retryShown) {
        m_discordRetryEnd = {};
        m_discordRetryEndsAt.reset();
    } else if (m_discordRetryEndsAt != retry) {
        m_discordRetryEndsAt = retry;
        m_discordRetryEnd = TaskHandle::start([this, seconds = *retry - now](CancelToken token) {
            return endDiscordRetry(QPointer(this), m_environment.sleeper, seconds, token);
        });
    }
}

QCoro::Task<> SettingsPanel::endDiscordRetry(QPointer<SettingsPanel> self, std::shared_ptr<Sleeper> sleeper,
                                             double seconds, CancelToken token)
{
    co_await sleeper->sleep(seconds, token);
    if (!self || token.isCancelled())
        co_return;
    // A wake-up a little early arms again for the rest.
    self->m_discordRetryEndsAt.reset();
    self->updateDiscordRetry();
}

} // namespace vantorel
