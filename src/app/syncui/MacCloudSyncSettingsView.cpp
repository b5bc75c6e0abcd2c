#include "app/syncui/MacCloudSyncSettingsView.h"

#include "app/syncui/MacCloudSyncCoordinator.h"
#include "app/ui/CaptionLabel.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/SymbolView.h"
#include "app/ui/SystemColors.h"
#include "app/ui/TextColor.h"
#include "app/ui/ToggleSwitch.h"
#include "app/ui/UiFont.h"
#include "core/foundation/DateTexts.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace vantorel {

namespace {

QLabel* smallLine(const QString& name, QWidget* parent)
{
    auto* label = new LineLimitedLabel(LineLimitedLabel::unlimited, QString(), parent);
    label->setObjectName(name);
    label->setFont(UiFont::caption2());
    setTextColor(label, colors::secondary);
    return label;
}

void setShown(QWidget* widget, bool shown)
{
    if (widget->isVisibleTo(widget->parentWidget()) != shown)
        widget->setVisible(shown);
}

} // namespace

BusyIndicator::BusyIndicator(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(14, 14);
}

void BusyIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(SystemColors::current().secondaryLabel, 2, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    painter.drawArc(QRectF(rect()).adjusted(2, 2, -2, -2), -m_angle * 16, 270 * 16);
}

void BusyIndicator::showEvent(QShowEvent*)
{
    if (!m_timer)
        m_timer = startTimer(80);
}

void BusyIndicator::hideEvent(QHideEvent*)
{
    if (m_timer)
        killTimer(m_timer);
    m_timer = 0;
}

void BusyIndicator::timerEvent(QTimerEvent*)
{
    m_angle = (m_angle + 30) % 360;
    update();
}

MacCloudSyncSettingsView::MacCloudSyncSettingsView(MacCloudSyncCoordinator& coordinator, QWidget* parent)
    : QWidget(parent)
    , m_coordinator(coordinator)
    , m_switch(new ToggleSwitch(QStringLiteral("iCloud同期"), this))
    , m_busy(new BusyIndicator(this))
    , m_statusSymbol(new SymbolView(QStringLiteral("icloud.slash"), 12, colors::secondary, this))
    , m_status(new CaptionLabel(QString(), this))
    , m_error(new CaptionLabel(QString(), this))
    , m_lastUpload(smallLine(QStringLiteral("lastUpload"), this))
    , m_nextUpload(smallLine(QStringLiteral("nextUpload"), this))
    , m_reauthorize(new SymbolButton(QStringLiteral("同期フォルダを確認してON"),
                                     QStringLiteral("person.crop.circle.badge.checkmark"), this))
    , m_upload(new SymbolButton(QStringLiteral("今すぐ送信"), QStringLiteral("icloud.and.arrow.up"), this))
    , m_delete(new SymbolButton(QStringLiteral("iCloudデータを削除"), QStringLiteral("trash"), this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(9);
    layout->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    layout->addWidget(new SectionTitle(QStringLiteral("iCloud"), this));

    m_switch->setObjectName(QStringLiteral("cloudSwitch"));
    m_switch->setToolTip(QStringLiteral("使用状況と履歴を、このPCの同期フォルダへ書き出します。"));
    connect(m_switch, &QAbstractButton::clicked, this, [this](bool on) {
        m_coordinator.setEnabled(on);
        refresh();
    });
    layout->addWidget(m_switch);

    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(6);
    m_busy->setObjectName(QStringLiteral("busyIndicator"));
    statusRow->addWidget(m_busy, 0, Qt::AlignTop);
    m_statusSymbol->setObjectName(QStringLiteral("statusSymbol"));
    statusRow->addWidget(m_statusSymbol, 0, Qt::AlignTop);
    m_status->setObjectName(QStringLiteral("statusText"));
    statusRow->addWidget(m_status, 1);
    layout->addLayout(statusRow);

    m_error->setObjectName(QStringLiteral("errorText"));
    setTextColor(m_error, [](const SystemColors& c) { return c.systemOrange; });
    layout->addWidget(m_error);
    layout->addWidget(m_lastUpload);
    layout->addWidget(m_nextUpload);

    m_reauthorize->setObjectName(QStringLiteral("reauthorizeButton"));
    connect(m_reauthorize, &QAbstractButton::clicked, this, [this] {
        m_coordinator.setEnabled(true);
        refresh();
    });
    m_upload->setObjectName(QStringLiteral("uploadButton"));
    connect(m_upload, &QAbstractButton::clicked, this, [this] {
        m_coordinator.uploadNow();
        refresh();
    });
    m_delete->setObjectName(QStringLiteral("deleteButton"));
    m_delete->setTint([](const SystemColors& c) { return c.systemRed; });
    connect(m_delete, &QAbstractButton::clicked, this, &MacCloudSyncSettingsView::confirmDeletion);
    for (QWidget* button : {m_reauthorize, m_upload, m_delete})
        layout->addWidget(button, 0, Qt::AlignLeft);

    connect(&m_coordinator, &MacCloudSyncCoordinator::changed, this, &MacCloudSyncSettingsView::refresh);
    refresh();
}

void MacCloudSyncSettingsView::refresh()
{
    const bool busy = m_coordinator.isBusy();
    const auto& error = m_coordinator.errorMessage();
    m_switch->setChecked(m_coordinator.enabled());
    m_switch->setEnabled(!m_coordinator.isDeleting());
    setShown(m_busy, busy);
    m_busy->setAccessibleName(m_coordinator.statusText());
    m_statusSymbol->setSymbol(error                    ? QStringLiteral("exclamationmark.icloud")
                              : m_coordinator.enabled() ? QStringLiteral("icloud")
                                                        : QStringLiteral("icloud.slash"));
    m_status->setText(m_coordinator.statusText());
    m_error->setText(error.value_or(QString()));
    setShown(m_error, error.has_value());

    const auto& last = m_coordinator.lastUploadAt();
    m_lastUpload->setText(QStringLiteral("最終送信: ")
                          + (last                               ? DateTexts::abbreviatedDateTimeText(*last)
                             : m_coordinator.isCheckingAccount() ? QStringLiteral("確認中")
                                                                 : QStringLiteral("未送信")));
    const auto& next = m_coordinator.nextUploadAt();
    if (next)
        m_nextUpload->setText(QStringLiteral("次回送信: ") + DateTexts::abbreviatedDateStandardTimeText(*next));
    setShown(m_nextUpload, next.has_value());

    setShown(m_reauthorize, m_coordinator.requiresReauthorization());
    m_reauthorize->setEnabled(!busy);
    m_upload->setEnabled(m_coordinator.canUpload());
    m_delete->setEnabled(m_coordinator.accountID().has_value() && !busy);
}

void MacCloudSyncSettingsView::confirmDeletion()
{
    m_deletionConfirmationID = m_coordinator.session();
    if (m_dialog)
        return;
    // Window-modal and opened, not run; キャンセル is the default, so Return deletes nothing.
    auto* dialog = new ConfirmationSheet(
        QStringLiteral("iCloudの同期データを削除しますか？"),
        QStringLiteral("このPCのiCloud同期データ（同期フォルダ内）を削除し、送信をOFFにします。このPC内の履歴は削除しません。"),
        QStringLiteral("iCloudデータを削除"), this);
    dialog->setObjectName(QStringLiteral("cloudDeletionConfirmation"));
    dialog->destructiveButton()->setObjectName(QStringLiteral("confirmDeletionButton"));
    dialog->cancelButton()->setObjectName(QStringLiteral("cancelDeletionButton"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &ConfirmationSheet::confirmed, this, [this] {
        if (!m_deletionConfirmationID)
            return;
        m_coordinator.deleteCloudData(true, m_deletionConfirmationID);
        refresh();
    });
    m_dialog = dialog;
    dialog->setWindowModality(Qt::WindowModal);
    dialog->open();
}

} // namespace vantorel
