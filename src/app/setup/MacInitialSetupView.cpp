#include "app/setup/MacInitialSetupView.h"

#include "app/setup/MacInitialSetupPage.h"
#include "app/setup/MacInitialSetupSummary.h"
#include "app/setup/MenuBarTrayNote.h"
#include "app/setup/RefreshPreferencesView.h"
#include "app/setup/SetupPageFrame.h"
#include "app/ui/CaptionLabel.h"
#include "app/ui/FocusedWheel.h"
#include "app/ui/HorizontalDivider.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/NoticeLabel.h"
#include "app/ui/Stepper.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/SymbolView.h"
#include "app/ui/TextColor.h"
#include "app/ui/ToggleSwitch.h"
#include "app/ui/UiFont.h"
#include "app/syncui/MacSyncCoordinator.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/setup/MenuBarProviderOptions.h"
#include "core/model/PlatformWords.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vantorel {

namespace {

QString name(const char* suffix)
{
    return QStringLiteral("initial-setup.") + QString::fromLatin1(suffix);
}

QLabel* caption(const QString& text, QWidget* parent, const QFont& font = UiFont::caption())
{
    auto* label = new LineLimitedLabel(LineLimitedLabel::unlimited, text, parent);
    label->setFont(font);
    setTextColor(label, colors::secondary);
    return label;
}

QWidget* column(QWidget* parent, int spacing, QVBoxLayout** layout)
{
    auto* box = new QWidget(parent);
    *layout = new QVBoxLayout(box);
    (*layout)->setContentsMargins(0, 0, 0, 0);
    (*layout)->setSpacing(spacing);
    return box;
}

QWidget* titled(const QString& title, const QString& symbol, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(new SymbolView(symbol, 13, colors::label, row));
    auto* label = new QLabel(title, row);
    label->setFont(UiFont::system(13, QFont::DemiBold));
    layout->addWidget(label);
    layout->addStretch(1);
    return row;
}

} // namespace

MacInitialSetupView::MacInitialSetupView(AppViewModel& model, MacSyncCoordinator* sync,
                                         MacCloudSyncCoordinator* cloud, MacInitialSetupDraft draft,
                                         std::function<void()> dismiss, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_sync(sync)
    , m_actions(model, sync, cloud)
    , m_draft(std::move(draft))
    , m_settings{[this] { return m_draft.settings; },
                 [this](AppSettings settings) {
                     m_draft.settings = std::move(settings);
                     edited();
                 }}
    , m_dismiss(std::move(dismiss))
{
    setObjectName(name("container"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_frame = new SetupPageFrame(QStringLiteral("初回設定"), QStringLiteral("initial-setup"), {}, this);
    layout->addWidget(m_frame);
    m_frame->deferButton()->setToolTip(QStringLiteral("現在の設定を変更せずに閉じます"));

    connect(m_frame->deferButton(), &QPushButton::clicked, this, [this] {
        m_actions.deferPresentation();
        m_dismiss();
    });
    connect(m_frame->backButton(), &QPushButton::clicked, this, [this] {
        m_actions.back();
        render();
    });
    connect(m_frame->forwardButton(), &QPushButton::clicked, this, [this] {
        if (MacInitialSetupFrame::forStep(m_model.initialSetupProgress().currentStep).forwardApplies) {
            m_actions.apply(m_draft);
            m_dismiss();
            return;
        }
        m_actions.next();
        render();
    });
    connect(&m_model, &AppViewModel::changed, this, &MacInitialSetupView::render);
    if (m_sync)
        connect(m_sync, &MacSyncCoordinator::changed, this, &MacInitialSetupView::render);

    m_actions.begin();
    render();
}

void MacInitialSetupView::render()
{
    const std::int64_t step = m_model.initialSetupProgress().currentStep;
    const MacInitialSetupFrame frame = MacInitialSetupFrame::forStep(step);
    const MacInitialSetupPage& page = MacInitialSetupPage::all().at(frame.index);
    m_frame->setStep(int(frame.index), int(MacInitialSetupPage::stepCount));
    m_frame->setHeading(page.symbol, page.title, page.detail);
    m_frame->setForward(frame.forwardTitle, frame.forwardSymbol, frame.forwardObjectName);
    m_frame->backButton()->setEnabled(frame.backEnabled);

    if (frame.index != m_builtStep) {
        m_updaters.clear();
        // Only the frame's buttons and the queued model change move the step, never a control
        // of the step itself, so the old step can go at once.
        delete m_step;
        m_builtStep = frame.index;
        m_step = buildStep(frame.index);
        if (auto* stepLayout = qobject_cast<QVBoxLayout*>(m_step->layout()))
            stepLayout->setSpacing(frame.contentSpacing);
        m_frame->contentLayout()->addWidget(m_step);
    }
    for (const auto& update : m_updaters)
        update();
    m_step->show();
    // Lay out the new texts now rather than on a later turn, so the page never shows them clipped.
    layout()->activate();
}

void MacInitialSetupView::edited()
{
    // At once, so a quick second key press acts on what is shown.
    for (const auto& update : m_updaters)
        update();
    emit draftChanged();
}

QWidget* MacInitialSetupView::buildStep(std::int64_t step)
{
    switch (step) {
    case 0:
        return serviceStep();
    case 1:
        return authenticationStep();
    case 2:
        return refreshStep();
    case 3:
        return notificationStep();
    case 4:
        return syncStep();
    case 5:
        return menuBarStep();
    default:
        return reviewStep();
    }
}

Binding<bool> MacInitialSetupView::settingsFlag(bool AppSettings::*field)
{
    return memberBinding(m_settings, field);
}

void MacInitialSetupView::whenShown(QWidget* widget, std::function<bool()> condition)
{
    m_updaters.push_back([widget, condition = std::move(condition)] { widget->setVisible(condition()); });
}

ToggleSwitch* MacInitialSetupView::plainToggle(QWidget* parent, const QString& objectName, const QString& title,
                                               Binding<bool> isOn)
{
    auto* toggle = new ToggleSwitch(title, parent);
    toggle->setObjectName(objectName);
    connect(toggle, &QAbstractButton::clicked, this, [set = isOn.set](bool on) { set(on); });
    m_updaters.push_back([toggle, get = isOn.get] {
        const QSignalBlocker blocker(toggle);
        toggle->setChecked(get());
    });
    return toggle;
}

QWidget* MacInitialSetupView::setupToggle(QWidget* parent, const QString& objectName, const QString& title,
                                          const QString& symbol, const QString& detail, Binding<bool> isOn,
                                          QLabel** detailLabel)
{
    QVBoxLayout* layout = nullptr;
    QWidget* box = column(parent, 5, &layout);
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    row->addWidget(new SymbolView(symbol, 13, colors::label, box));
    ToggleSwitch* toggle = plainToggle(box, objectName, title, std::move(isOn));
    toggle->setFont(UiFont::system(13, QFont::DemiBold));
    row->addWidget(toggle, 1);
    layout->addLayout(row);
    QLabel* text = caption(detail, box);
    text->setContentsMargins(24, 0, 0, 0);
    layout->addWidget(text);
    if (detailLabel)
        *detailLabel = text;
    return box;
}

QWidget* MacInitialSetupView::serviceStep()
{
    QVBoxLayout* layout = nullptr;
    QWidget* step = column(nullptr, 14, &layout);
    layout->addWidget(setupToggle(step, name("codexEnabled"), QStringLiteral("Codexを使用"), QStringLiteral("terminal"),
                                  QStringLiteral("Codex CLIから、意味を確認できた5時間枠・週間枠・リセット券を取得します。"),
                                  settingsFlag(&AppSettings::codexEnabled)));
    layout->addWidget(setupToggle(step, name("claudeEnabled"), QStringLiteral("Claudeを使用"), QStringLiteral("sparkles"),
                                  QStringLiteral("Claude Codeの保存済み認証から利用枠を取得します。使わない間はOFFにできます。"),
                                  settingsFlag(&AppSettings::claudeEnabled)));
    auto* notice = new NoticeLabel(
        QStringLiteral("サービスが両方OFFです。設定は保存できますが、使用量は取得・表示されません。"),
        QStringLiteral("info.circle"), step);
    notice->setObjectName(name("noServiceNotice"));
    layout->addWidget(notice);
    whenShown(notice, [this] { return !m_draft.settings.codexEnabled && !m_draft.settings.claudeEnabled; });
    return step;
}

QWidget* MacInitialSetupView::authenticationStep()
{
    QVBoxLayout* layout = nullptr;
    QWidget* step = column(nullptr, 14, &layout);

    QVBoxLayout* codexColumn = nullptr;
    QWidget* codex = column(step, 8, &codexColumn);
    codex->setObjectName(name("codexSection"));
    codexColumn->addWidget(titled(QStringLiteral("Codex"), QStringLiteral("terminal"), codex));
    codexColumn->addWidget(caption(QStringLiteral("Codex CLIで一度ログインすると、アプリが保存済み認証を利用します。"), codex));
    codexColumn->addWidget(plainToggle(codex, name("codexCLIAutoRefresh"), QStringLiteral("使用量を自動取得"),
                                       settingsFlag(&AppSettings::codexCLIAutoRefreshEnabled)));
    auto* openCodex = new SymbolButton(QStringLiteral("Codex CLIを開く"), QStringLiteral("terminal"), codex);
    openCodex->setObjectName(name("openCodexCLI"));
    connect(openCodex, &QPushButton::clicked, this, [this] { m_model.openCodexCLI(); });
    codexColumn->addWidget(openCodex, 0, Qt::AlignLeft);
    layout->addWidget(codex);
    whenShown(codex, [this] { return m_draft.settings.codexEnabled; });

    QVBoxLayout* claudeColumn = nullptr;
    QWidget* claude = column(step, 8, &claudeColumn);
    claude->setObjectName(name("claudeSection"));
    claudeColumn->addWidget(titled(QStringLiteral("Claude"), QStringLiteral("sparkles"), claude));
    claudeColumn->addWidget(caption(
        QStringLiteral("Claude Codeで一度ログインしてください。ブラウザの本人確認が必要な場合は、ご本人の操作を待ちます。"), claude));
    claudeColumn->addWidget(plainToggle(claude, name("claudeUsageAutoRefresh"), QStringLiteral("使用量を自動取得"),
                                        settingsFlag(&AppSettings::claudeUsageAutoRefreshEnabled)));
    claudeColumn->addWidget(plainToggle(claude, name("claudeStatus"), QStringLiteral("公式サービス状態も確認"),
                                        settingsFlag(&AppSettings::claudeStatusEnabled)));
    ToggleSwitch* recovery = plainToggle(claude, name("claudeAutoRecovery"), QStringLiteral("認証エラー時に自動復旧を試す"),
                                         settingsFlag(&AppSettings::claudeAuthenticationAutoRecoveryEnabled));
    m_updaters.push_back([this, recovery] { recovery->setEnabled(m_draft.settings.claudeUsageAutoRefreshEnabled); });
    claudeColumn->addWidget(recovery);
    claudeColumn->addWidget(caption(
        QStringLiteral("自動復旧は保存済み認証の再読込を優先し、必要な場合だけ公式ログインを1回開始します。"), claude,
        UiFont::caption2()));
    auto* openClaude = new SymbolButton(QStringLiteral("Claude Codeを開く"), QStringLiteral("terminal"), claude);
    openClaude->setObjectName(name("openClaudeCode"));
    connect(openClaude, &QPushButton::clicked, this, [this] { m_model.openClaudeAuthenticationCommand(false); });
    claudeColumn->addWidget(openClaude, 0, Qt::AlignLeft);
    layout->addWidget(claude);
    whenShown(claude, [this] { return m_draft.settings.claudeEnabled; });

    auto* notice = new NoticeLabel(QStringLiteral("認証を確認するサービスがありません。前の画面でサービスを選んでください。"),
                                   QStringLiteral("arrow.left"), step);
    notice->setObjectName(name("noAuthenticationNotice"));
    layout->addWidget(notice);
    whenShown(notice, [this] { return !m_draft.settings.codexEnabled && !m_draft.settings.claudeEnabled; });
    return step;
}

QWidget* MacInitialSetupView::refreshStep()
{
    QVBoxLayout* layout = nullptr;
    QWidget* step = column(nullptr, 14, &layout);
    auto* preferences = new RefreshPreferencesView(m_settings, step);
    // Queued: the editor's own control may be the one whose signal wrote the draft.
    connect(this, &MacInitialSetupView::draftChanged, preferences, &RefreshPreferencesView::refresh,
            Qt::QueuedConnection);
    layout->addWidget(preferences);
    layout->addWidget(new HorizontalDivider(step));
    layout->addWidget(plainToggle(step, name("launchAtLogin"), PlatformWords::launchAtLogin,
                                  settingsFlag(&AppSettings::launchAtLogin)));
    layout->addWidget(caption(QStringLiteral("自動起動をONにすると、ログイン後に取得・通知・同期を再開しやすくなります。"), step));
    return step;
}

QWidget* MacInitialSetupView::notificationStep()
{
    QVBoxLayout* layout = nullptr;
    QWidget* step = column(nullptr, 14, &layout);
    layout->addWidget(setupToggle(
        step, name("notifications"), PlatformWords::desktopNotifications, QStringLiteral("bell"),
        QStringLiteral("残量低下、実測リセット、早期回復、リセット券の変化をこのPCで知らせます。初回確定時に通知許可を確認します。"),
        settingsFlag(&AppSettings::notificationsEnabled)));

    QLabel* discordDetail = nullptr;
    QWidget* discord = setupToggle(step, name("discord"), QStringLiteral("Discord通知"),
                                   QStringLiteral("bubble.left.and.bubble.right"), QString(),
                                   settingsFlag(&AppSettings::discordResetNotificationsEnabled), &discordDetail);
    m_updaters.push_back([this, discord, discordDetail] {
        const bool saved = m_model.discordWebhookIsSaved();
        discordDetail->setText(
            saved ? QStringLiteral("保存済みWebhookへ通知します。送信対象と全員通知は設定画面で細かく変更できます。")
                  : QStringLiteral("先に設定画面でWebhookを保存すると有効にできます。テスト送信では@everyoneを使用しません。"));
        // Without a webhook a switch that is on can still be turned off, never on.
        discord->setEnabled(saved || m_draft.settings.discordResetNotificationsEnabled);
    });
    layout->addWidget(discord);

    QVBoxLayout* expiryColumn = nullptr;
    QWidget* expiry = column(step, 8, &expiryColumn);
    expiry->setObjectName(name("expiryGroup"));
    expiryColumn->addWidget(setupToggle(expiry, name("expiry"), QStringLiteral("リセット券の有効期限通知"),
                                        QStringLiteral("ticket"),
                                        QStringLiteral("期限が近いリセット券を、指定した日数前に通知します。"),
                                        settingsFlag(&AppSettings::bankedResetExpiryNotificationsEnabled)));
    auto* daysRow = new QHBoxLayout;
    auto* daysLabel = new QLabel(expiry);
    daysLabel->setObjectName(name("warningDaysLabel"));
    daysLabel->setFont(UiFont::callout());
    auto* days = new Stepper(expiry);
    days->setObjectName(name("warningDays"));
    days->setRange(int(AppSettings::minimumBankedResetExpiryWarningDays),
                   int(AppSettings::maximumBankedResetExpiryWarningDays));
    days->setAccessibleName(QStringLiteral("有効期限の日数"));
    takeWheelOnlyWhenFocused(days);
    daysRow->addWidget(daysLabel);
    daysRow->addStretch(1);
    daysRow->addWidget(days);
    expiryColumn->addLayout(daysRow);
    connect(days, &QSpinBox::valueChanged, this, [this](int value) {
        AppSettings settings = m_draft.settings;
        settings.setBankedResetExpiryWarningDays(value);
        m_settings.set(std::move(settings));
    });
    m_updaters.push_back([this, days, daysLabel] {
        const std::int64_t value = m_draft.settings.bankedResetExpiryWarningDays();
        const QSignalBlocker blocker(days);
        days->setValue(int(value));
        days->setEnabled(m_draft.settings.bankedResetExpiryNotificationsEnabled);
        daysLabel->setText(QStringLiteral("期限の %1 日前").arg(value));
    });
    layout->addWidget(expiry);
    whenShown(expiry, [this] { return m_draft.settings.codexEnabled; });

    layout->addWidget(new NoticeLabel(
        QStringLiteral("通知の種類ごとのON・OFFやDiscordの全員通知は、初回設定の完了後に「設定」で変更できます。"),
        QStringLiteral("slider.horizontal.3"), step));
    return step;
}

QWidget* MacInitialSetupView::syncStep()
{
    QVBoxLayout* layout = nullptr;
    QWidget* step = column(nullptr, 14, &layout);
    const Binding<bool> wifi{[this] { return m_draft.wifiSyncEnabled; },
                             [this](bool on) {
                                 m_draft.wifiSyncEnabled = on;
                                 edited();
                             }};
    const Binding<bool> cloud{[this] { return m_draft.cloudSyncEnabled; },
                              [this](bool on) {
                                  m_draft.cloudSyncEnabled = on;
                                  edited();
                              }};
    QLabel* wifiDetail = nullptr;
    layout->addWidget(setupToggle(step, name("wifiSync"), QStringLiteral("Wi-Fi連携"), QStringLiteral("wifi"), QString(),
                                  wifi, &wifiDetail));
    wifiDetail->setObjectName(name("wifiSyncDetail"));
    // Without the discovery daemon no iPhone could register, so the step says what 設定 would.
    m_updaters.push_back([this, wifiDetail] {
        wifiDetail->setText(m_sync && m_sync->discoveryDaemonMissing()
                                ? QStringLiteral("同じ家庭内LANでiPhoneと直接同期します。%1。")
                                      .arg(MacSyncServing::statusDiscoveryDaemonMissing())
                                : QStringLiteral("同じ家庭内LANでiPhoneと直接同期します。ONにした後、設定画面のQRコードでiPhoneを登録します。"));
    });
    if (m_sync)
        m_sync->checkDiscoveryDaemon();
    layout->addWidget(setupToggle(
        step, name("cloudSync"), QStringLiteral("iCloud同期"), QStringLiteral("icloud"),
        QStringLiteral("ONにすると、表示データをこのPCの同期フォルダへ保存します。外出先のiPhoneはその同期データから取得します。"),
        cloud));
    auto* notice = new NoticeLabel(QString(), QString(), step);
    notice->setObjectName(name("syncNotice"));
    layout->addWidget(notice);
    m_updaters.push_back([this, notice] {
        const bool both = m_draft.wifiSyncEnabled && m_draft.cloudSyncEnabled;
        const bool neither = !m_draft.wifiSyncEnabled && !m_draft.cloudSyncEnabled;
        notice->setVisible(both || neither);
        if (both) {
            notice->setText(QStringLiteral("通常はWi-Fiを優先し、接続できない場合だけこのPCの同期データへ自動で切り替えます。"));
            notice->setSymbol(QStringLiteral("arrow.left.arrow.right"));
        } else if (neither) {
            notice->setText(QStringLiteral("iPhone連携はOFFです。このPCだけで利用する場合は、このままで問題ありません。"));
            notice->setSymbol(QStringLiteral("macbook"));
        }
    });
    layout->addWidget(caption(QStringLiteral("認証エラー、登録不一致、不正なデータはiCloudへ切り替えて隠しません。"), step));
    return step;
}

QWidget* MacInitialSetupView::menuBarStep()
{
    QVBoxLayout* layout = nullptr;
    QWidget* step = column(nullptr, 12, &layout);
    layout->addWidget(plainToggle(step, name("compactMode"), QStringLiteral("省スペース表示"),
                                  settingsFlag(&AppSettings::menuBarCompactMode)));
    const Binding<bool> percent{
        [this] { return m_draft.settings.menuBarGaugeLabelStyle == MenuBarGaugeLabelStyle::remainingPercent; },
        [this](bool on) {
            AppSettings settings = m_draft.settings;
            settings.menuBarGaugeLabelStyle = on ? MenuBarGaugeLabelStyle::remainingPercent : MenuBarGaugeLabelStyle::period;
            m_settings.set(std::move(settings));
        }};
    ToggleSwitch* percentToggle = plainToggle(step, name("remainingPercent"), QStringLiteral("円の横に残り%を表示"), percent);
    m_updaters.push_back([this, percentToggle] { percentToggle->setEnabled(!m_draft.settings.menuBarCompactMode); });
    layout->addWidget(percentToggle);
    for (const MonitoredProvider provider : {MonitoredProvider::codex, MonitoredProvider::claude}) {
        auto* options = new MenuBarProviderOptions(provider, m_settings, step);
        connect(this, &MacInitialSetupView::draftChanged, options, &MenuBarProviderOptions::refresh,
                Qt::QueuedConnection);
        layout->addWidget(options);
        whenShown(options, [this, provider] {
            return provider == MonitoredProvider::codex ? m_draft.settings.codexEnabled : m_draft.settings.claudeEnabled;
        });
    }
    layout->addWidget(new NoticeLabel(
        QStringLiteral("提供元が5時間枠を一時停止している間は、選択していても自動で非表示になります。"),
        QStringLiteral("eye.slash"), step));
    QLabel* trayNote = caption(MenuBarTrayNote::text(m_draft.settings), step);
    trayNote->setObjectName(name("trayNote"));
    m_updaters.push_back([this, trayNote] { trayNote->setText(MenuBarTrayNote::text(m_draft.settings)); });
    layout->addWidget(trayNote);
    return step;
}

QWidget* MacInitialSetupView::reviewStep()
{
    QVBoxLayout* layout = nullptr;
    QWidget* step = column(nullptr, 11, &layout);
    const struct {
        const char* name;
        QString title;
        QString symbol;
        QString (*value)(const MacInitialSetupDraft&);
    } rows[] = {
        {"review.provider", QStringLiteral("サービス"), QStringLiteral("switch.2"), &MacInitialSetupSummary::provider},
        {"review.authentication", QStringLiteral("認証補助"), QStringLiteral("person.badge.key"),
         &MacInitialSetupSummary::authentication},
        {"review.refresh", QStringLiteral("取得間隔"), QStringLiteral("timer"), &MacInitialSetupSummary::refresh},
        {"review.background", QStringLiteral("ロック中"), QStringLiteral("lock"), &MacInitialSetupSummary::background},
        {"review.notification", QStringLiteral("通知"), QStringLiteral("bell"), &MacInitialSetupSummary::notification},
        {"review.sync", QStringLiteral("iPhone"), QStringLiteral("iphone"), &MacInitialSetupSummary::sync},
        {"review.menuBar", PlatformWords::tray, QStringLiteral("menubar.rectangle"),
         &MacInitialSetupSummary::menuBar},
    };
    for (const auto& row : rows) {
        auto* line = new QWidget(step);
        auto* lineLayout = new QHBoxLayout(line);
        lineLayout->setContentsMargins(0, 0, 0, 0);
        lineLayout->setSpacing(9);
        auto* symbol = new SymbolView(row.symbol, 12, colors::accent, line);
        symbol->setFixedWidth(19);
        lineLayout->addWidget(symbol, 0, Qt::AlignTop);
        auto* title = new QLabel(row.title, line);
        title->setFont(UiFont::system(12, QFont::DemiBold));
        title->setFixedWidth(78);
        lineLayout->addWidget(title, 0, Qt::AlignTop);
        QLabel* value = caption(QString(), line, UiFont::system(12));
        value->setObjectName(name(row.name));
        lineLayout->addWidget(value, 1);
        m_updaters.push_back([this, value, line, title, compute = row.value] {
            value->setText(compute(m_draft));
            line->setAccessibleName(QStringLiteral("%1、%2").arg(title->text(), value->text()));
        });
        layout->addWidget(line);
    }
    layout->addWidget(new NoticeLabel(
        QStringLiteral("「この設定で開始」を押すと、上の項目だけを反映します。Webhook、CLIパス、通知の詳細分類など、既存の詳細設定は変更しません。"),
        QStringLiteral("checkmark.shield"), step));
    return step;
}

} // namespace vantorel
