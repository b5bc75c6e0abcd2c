#include "app/window/NotificationHistorySection.h"

#include "app/setup/DiscordQueueView.h"
#include "app/ui/CaptionLabel.h"
#include "app/ui/Divider.h"
#include "app/ui/SegmentedControl.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/window/HistoryEmptyState.h"
#include "app/window/NotificationHistoryRow.h"
#include "app/window/NotificationHistoryRules.h"

#include <QScrollArea>
#include <QVBoxLayout>

namespace vantorel {

namespace {

QStringList filterLabels()
{
    QStringList labels;
    for (const NotificationProviderFilter filter : allNotificationProviderFilters)
        labels.append(segmentLabel(filter));
    return labels;
}

} // namespace

NotificationHistorySection::NotificationHistorySection(AppViewModel& viewModel, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_queue(new DiscordQueueView(this))
    , m_filterPicker(new SegmentedControl(filterLabels(), this))
    , m_layout(new QVBoxLayout(this))
{
    setObjectName(QStringLiteral("notificationSection"));
    auto* explanation = new CaptionLabel(
        QStringLiteral("検知と宛先別の受付記録です。OS登録・Discord保存は、表示・閲覧の確認ではありません。"), this);
    m_filterPicker->setObjectName(QStringLiteral("notificationFilter"));
    m_filterPicker->setAccessibleName(QStringLiteral("サービス"));
    m_filterPicker->setCurrentIndex(int(m_filter));
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(10);
    m_layout->addWidget(explanation);
    m_layout->addWidget(m_queue);
    m_layout->addWidget(m_filterPicker);
    connect(m_filterPicker, &SegmentedControl::activated, this, [this](int index) {
        m_filter = allNotificationProviderFilters[std::size_t(index)];
        refresh();
    });
    refresh();
}

void NotificationHistorySection::refresh()
{
    const QList<PendingDiscordNotification>& outbox = m_viewModel.pendingDiscordResetNotifications();
    const QList<NotificationHistoryEntry>& history = m_viewModel.notificationHistory();
    m_queue->setItems(outbox, history);
    QList<NotificationHistoryEntry> filtered = notificationhistory::filteredNotificationEntries(history, m_filter);
    if (m_built && filtered == m_filtered && outbox == m_outbox)
        return;
    m_built = true;
    m_filtered = std::move(filtered);
    m_outbox = outbox;
    rebuildList();
    emit entriesChanged();
}

void NotificationHistorySection::rebuildList()
{
    delete m_list;
    if (m_filtered.isEmpty()) {
        m_list = new HistoryEmptyState(QStringLiteral("bell.slash"), QStringLiteral("通知履歴はありません"),
                                       QStringLiteral("状態変化、残量低下、リセット、認証更新を記録します。"), this);
        m_layout->addWidget(m_list);
        return;
    }
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("notificationList"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll->setMaximumHeight(listMaximumHeight);
    auto* rows = new QWidget;
    rows->setObjectName(QStringLiteral("notificationRows"));
    auto* layout = new QVBoxLayout(rows);
    // Keeps the dates clear of the scroll bar.
    layout->setContentsMargins(0, 0, 6, 0);
    layout->setSpacing(0);
    for (qsizetype index = 0; index < m_filtered.size(); ++index) {
        const NotificationHistoryEntry& entry = m_filtered[index];
        layout->addWidget(new NotificationHistoryRow(entry, notificationhistory::pendingItem(entry, m_outbox), rows));
        if (index + 1 < m_filtered.size())
            layout->addWidget(new Divider(Qt::Horizontal, dividerIndent, rows));
    }
    layout->addStretch(1);
    scroll->setWidget(rows);
    m_list = scroll;
    m_layout->addWidget(m_list, 1);
}

} // namespace vantorel
