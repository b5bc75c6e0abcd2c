#include "app/syncui/MacSyncSettingsView.h"

#include "app/platform/Pasteboard.h"
#include "app/syncui/MacSyncClipboard.h"
#include "app/syncui/MacSyncCoordinator.h"
#include "app/syncui/MacSyncQRCode.h"
#include "app/ui/CaptionLabel.h"
#include "app/ui/HorizontalDivider.h"
#include "app/ui/IconProvider.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/SymbolView.h"
#include "app/ui/SystemColors.h"
#include "app/ui/TextColor.h"
#include "app/ui/ToggleSwitch.h"
#include "app/ui/UiFont.h"
#include "core/foundation/DateTexts.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QTimer>
#include <QVBoxLayout>

#include "app/ui/IconButton.h"

namespace vantorel {

namespace {

const ColorPick orange = [](const SystemColors& c) { return c.systemOrange; };
const ColorPick red = [](const SystemColors& c) { return c.systemRed; };

// A symbol before a label, top-aligned so a wrapped label keeps the symbol on its first line.
QWidget* labelRow(SymbolView* symbol, QWidget* label, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    layout->addWidget(symbol, 0, Qt::AlignTop);
    layout->addWidget(label, 1);
    return row;
}

QVBoxLayout* column(QWidget* widget, int spacing)
{
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    layout->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    return layout;
}

QLabel* deviceLabel(QWidget* parent)
{
    auto* label = new LineLimitedLabel(LineLimitedLabel::unlimited, QString(), parent);
    label->setFont(UiFont::system(12, QFont::Medium));
    return label;
}

void setLocalRowShown(QWidget* widget, bool shown)
{
    if (widget->isVisibleTo(widget->parentWidget()) != shown)
        widget->setVisible(shown);
}

} // namespace

MacSyncPairingView::MacSyncPairingView(MacSyncCoordinator& coordinator, const QString& connectionString,
                                       Pasteboard& pasteboard, std::shared_ptr<Sleeper> sleeper, QWidget* parent)
    : QWidget(parent)
    , m_coordinator(coordinator)
    , m_connectionString(connectionString)
    , m_clipboard(std::make_unique<MacSyncClipboard>(pasteboard, [&coordinator] { return coordinator.now(); },
                                                     std::move(sleeper)))
    , m_code(new MacSyncQRCodeView(connectionString, this))
    , m_countdown(new CaptionLabel(QString(), this))
    , m_copyMessage(new CaptionLabel(QString(), this))
    , m_request(new QWidget(this))
    , m_requestName(deviceLabel(m_request))
{
    auto* layout = column(this, 9);
    layout->addWidget(m_code, 0, Qt::AlignHCenter);

    m_countdown->setObjectName(QStringLiteral("countdown"));
    m_countdown->setFont(UiFont::monospacedDigits(UiFont::caption()));
    m_countdown->setWordWrap(false);
    layout->addWidget(labelRow(new SymbolView(QStringLiteral("clock"), 12, colors::secondary), m_countdown, this));

    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    auto* copy = new SymbolButton(QStringLiteral("接続文字列をコピー"), QStringLiteral("doc.on.doc"), this);
    copy->setObjectName(QStringLiteral("copyMenuButton"));
    copy->setToolTip(QStringLiteral("iPhone用のコピーは、クリップボードを共有するアプリや端末にも渡る場合があります"));
    auto* menu = new QMenu(copy);
    const qreal ratio = devicePixelRatioF();
    const QColor tint = SystemColors::current().label;
    menu->addAction(QIcon(IconProvider::pixmap(QStringLiteral("desktopcomputer"), 16, tint, ratio)),
                    QStringLiteral("このPC内にコピー"), this, [this] { copyCode(false); });
    menu->addAction(QIcon(IconProvider::pixmap(QStringLiteral("iphone"), 16, tint, ratio)),
                    QStringLiteral("iPhone用にコピー"), this, [this] { copyCode(true); });
    copy->setMenu(menu);
    actions->addWidget(copy);
    auto* close = new IconButton(QStringLiteral("xmark"), QStringLiteral("接続コードを閉じる"), this);
    close->setObjectName(QStringLiteral("closePairingButton"));
    close->setToolTip(QStringLiteral("接続コードを閉じる"));
    connect(close, &QAbstractButton::clicked, this, [this] {
        if (MacSyncServing* server = m_coordinator.server())
            server->cancelPairing();
        m_coordinator.clearPairingDisplay();
    });
    actions->addWidget(close);
    actions->addStretch();
    layout->addLayout(actions);

    m_copyMessage->setObjectName(QStringLiteral("copyMessage"));
    m_copyMessage->hide();
    layout->addWidget(m_copyMessage);

    auto* request = column(m_request, 9);
    request->addWidget(new HorizontalDivider(m_request));
    request->addWidget(new SectionTitle(QStringLiteral("接続の確認"), m_request));
    m_requestName->setObjectName(QStringLiteral("requestName"));
    request->addWidget(labelRow(new SymbolView(QStringLiteral("iphone"), 14), m_requestName, m_request));
    auto* answers = new QHBoxLayout;
    auto* approve = new SymbolButton(QStringLiteral("承認"), QStringLiteral("checkmark"), m_request);
    approve->setObjectName(QStringLiteral("approveButton"));
    approve->setDefault(true);
    connect(approve, &QAbstractButton::clicked, this, [this] {
        m_coordinator.approvePendingDevice();
        refresh();
    });
    auto* reject = new SymbolButton(QStringLiteral("承認しない"), QStringLiteral("xmark"), m_request);
    reject->setObjectName(QStringLiteral("rejectButton"));
    connect(reject, &QAbstractButton::clicked, this, [this] {
        m_coordinator.rejectPendingDevice();
        refresh();
    });
    answers->addWidget(approve);
    answers->addWidget(reject);
    answers->addStretch();
    request->addLayout(answers);
    layout->addWidget(m_request);

    // Lives and dies with this view, so nothing ticks while no invitation is on screen.
    auto* timer = new QTimer(this);
    timer->setInterval(1000);
    connect(timer, &QTimer::timeout, this, [this] { tick(m_coordinator.now()); });
    timer->start();
    tick(m_coordinator.now());
    refresh();
}

MacSyncPairingView::~MacSyncPairingView()
{
    m_clipboard->clearOwnedContents();
}

void MacSyncPairingView::setConnectionString(const QString& connectionString)
{
    if (connectionString == m_connectionString)
        return;
    m_connectionString = connectionString;
    m_clipboard->clearOwnedContents();
    m_copyMessage->clear();
    m_copyMessage->hide();
    m_code->setConnectionString(connectionString);
    tick(m_coordinator.now());
}

void MacSyncPairingView::copyCode(bool shared)
{
    const auto& invitation = m_coordinator.invitation();
    if (!invitation)
        return;
    const bool copied = m_clipboard->copy(m_connectionString, invitation->expiresAt, shared);
    m_copyMessage->setText(copied ? QStringLiteral("コピーしました") : QStringLiteral("コピーできませんでした"));
    m_copyMessage->show();
}

void MacSyncPairingView::refresh()
{
    const auto& request = m_coordinator.pendingRequest();
    if (request && m_requestName->text() != request->deviceName)
        m_requestName->setText(request->deviceName);
    setLocalRowShown(m_request, request.has_value());
}

void MacSyncPairingView::tick(Date date)
{
    const int remaining = m_coordinator.remainingPairingSeconds(date);
    m_countdown->setText(QStringLiteral("有効期限まで %1:%2")
                             .arg(remaining / 60)
                             .arg(remaining % 60, 2, 10, QLatin1Char('0')));
}

void MacSyncPairingView::clearOwnedContents()
{
    m_clipboard->clearOwnedContents();
}

MacSyncSettingsView::MacSyncSettingsView(MacSyncCoordinator& coordinator, Pasteboard& pasteboard,
                                         std::shared_ptr<Sleeper> sleeper, QWidget* parent)
    : QWidget(parent)
    , m_coordinator(coordinator)
    , m_pasteboard(pasteboard)
    , m_sleeper(std::move(sleeper))
    , m_switch(new ToggleSwitch(QStringLiteral("Wi-Fi連携"), this))
    , m_statusSymbol(new SymbolView(QStringLiteral("wifi.slash"), 12, colors::secondary))
    , m_status(new CaptionLabel(QString(), this))
    , m_error(new CaptionLabel(QString(), this))
    , m_storeMissing(new CaptionLabel(QStringLiteral("キーリングが動いていないため、Wi-Fi連携をONにできません。"), this))
    , m_device(new QWidget(this))
    , m_deviceName(new LineLimitedLabel(2, QString(), m_device))
    , m_pairedAt(new QLabel(m_device))
    , m_noDevice(new CaptionLabel(QStringLiteral("登録済みのiPhoneはありません"), this))
    , m_retryRevocation(new SymbolButton(QStringLiteral("登録解除を再試行"), QStringLiteral("arrow.clockwise"), this))
    , m_revoke(new SymbolButton(QStringLiteral("登録を解除"), QStringLiteral("iphone.slash"), this))
    , m_register(new SymbolButton(QStringLiteral("iPhoneを登録"), QStringLiteral("qrcode"), this))
{
    auto* layout = column(this, 9);
    layout->addWidget(new SectionTitle(QStringLiteral("iPhone連携"), this));

    m_switch->setObjectName(QStringLiteral("wifiSwitch"));
    connect(m_switch, &QAbstractButton::clicked, this, [this](bool on) {
        m_coordinator.setEnabled(on);
        refresh();
    });
    layout->addWidget(m_switch);

    m_statusSymbol->setObjectName(QStringLiteral("statusSymbol"));
    m_status->setObjectName(QStringLiteral("statusText"));
    layout->addWidget(labelRow(m_statusSymbol, m_status, this));
    m_error->setObjectName(QStringLiteral("errorText"));
    setTextColor(m_error, orange);
    layout->addWidget(m_error);
    m_storeMissing->setObjectName(QStringLiteral("storeMissingText"));
    layout->addWidget(m_storeMissing);

    auto* device = column(m_device, 4);
    m_deviceName->setObjectName(QStringLiteral("deviceName"));
    m_deviceName->setFont(UiFont::system(12, QFont::Medium));
    device->addWidget(labelRow(new SymbolView(QStringLiteral("iphone"), 14), m_deviceName, m_device));
    m_pairedAt->setObjectName(QStringLiteral("pairedAt"));
    m_pairedAt->setTextFormat(Qt::PlainText);
    m_pairedAt->setFont(UiFont::caption2());
    setTextColor(m_pairedAt, colors::secondary);
    device->addWidget(m_pairedAt);
    layout->addWidget(m_device);
    m_noDevice->setObjectName(QStringLiteral("noDevice"));
    layout->addWidget(m_noDevice);

    m_retryRevocation->setObjectName(QStringLiteral("retryRevocationButton"));
    m_retryRevocation->setTint(red);
    connect(m_retryRevocation, &QAbstractButton::clicked, this, [this] {
        m_coordinator.revokeDevice();
        refresh();
    });
    m_revoke->setObjectName(QStringLiteral("revokeButton"));
    m_revoke->setTint(red);
    connect(m_revoke, &QAbstractButton::clicked, this, &MacSyncSettingsView::confirmRevocation);
    m_register->setObjectName(QStringLiteral("registerButton"));
    connect(m_register, &QAbstractButton::clicked, this, [this] {
        m_coordinator.beginPairing();
        refresh();
    });
    for (QWidget* button : {m_retryRevocation, m_revoke, m_register})
        layout->addWidget(button, 0, Qt::AlignLeft);

    connect(&m_coordinator, &MacSyncCoordinator::changed, this, &MacSyncSettingsView::refresh);
    refresh();
}

MacSyncSettingsView::~MacSyncSettingsView()
{
    if (m_pairing)
        m_pairing->clearOwnedContents();
}

void MacSyncSettingsView::refresh()
{
    const bool enabled = m_coordinator.enabled();
    const auto& device = m_coordinator.registeredDevice();
    const bool attention = m_coordinator.registrationNeedsAttention();
    const bool revocationPending = m_coordinator.revocationPending();

    m_switch->setChecked(enabled);
    m_switch->setEnabled(!revocationPending);
    m_statusSymbol->setSymbol(enabled ? QStringLiteral("wifi") : QStringLiteral("wifi.slash"));
    m_status->setText(m_coordinator.statusText());
    m_error->setText(m_coordinator.errorMessage().value_or(QString()));
    setLocalRowShown(m_error, m_coordinator.errorMessage().has_value());
    setLocalRowShown(m_storeMissing, m_coordinator.secretStoreMissing());

    if (device) {
        m_deviceName->setText(device->deviceName);
        m_pairedAt->setText(QStringLiteral("登録日: ") + DateTexts::abbreviatedDateTimeText(device->pairedAt));
    }
    setLocalRowShown(m_device, device.has_value());
    setLocalRowShown(m_noDevice, !device && !attention);

    setLocalRowShown(m_retryRevocation, revocationPending);
    setLocalRowShown(m_revoke, !revocationPending && (device || attention));

    const auto& connectionString = m_coordinator.connectionString();
    const bool listenerDown = m_coordinator.listenerDown();
    const bool pairing = enabled && connectionString.has_value() && !listenerDown;
    m_register->setText(device ? QStringLiteral("iPhoneを再登録") : QStringLiteral("iPhoneを登録"));
    setLocalRowShown(m_register, enabled && !pairing && !listenerDown);
    if (pairing && m_pairing) {
        m_pairing->setConnectionString(*connectionString);
        m_pairing->refresh();
    } else if (pairing) {
        m_pairing = new MacSyncPairingView(m_coordinator, *connectionString, m_pasteboard, m_sleeper, this);
        static_cast<QVBoxLayout*>(layout())->addWidget(m_pairing);
    } else if (m_pairing) {
        // This may run inside one of the pairing view's own handlers: it goes on a later turn,
        // its copy goes now.
        m_pairing->clearOwnedContents();
        m_pairing->hide();
        m_pairing->deleteLater();
        m_pairing = nullptr;
    }
}

void MacSyncSettingsView::confirmRevocation()
{
    if (m_dialog)
        return;
    // Window-modal and opened, not run: the event loop goes on. キャンセル is the default, so
    // Return unregisters nothing.
    auto* dialog = new ConfirmationSheet(QStringLiteral("iPhoneの登録を解除しますか？"), QString(),
                                         QStringLiteral("登録を解除"), this);
    dialog->setObjectName(QStringLiteral("revocationConfirmation"));
    dialog->destructiveButton()->setObjectName(QStringLiteral("confirmRevocationButton"));
    dialog->cancelButton()->setObjectName(QStringLiteral("cancelRevocationButton"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &ConfirmationSheet::confirmed, this, [this] {
        m_coordinator.revokeDevice();
        refresh();
    });
    m_dialog = dialog;
    dialog->setWindowModality(Qt::WindowModal);
    dialog->open();
}

} // namespace vantorel
