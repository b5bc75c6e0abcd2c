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
#include <QScrollBar>
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
    m_rows = nullptr;
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
    // A short window scrolls the page rather than pressing the list below the empty state's size.
    scroll->setMinimumHeight(HistoryEmptyState::minimumHeight);
    m_rows = new QWidget;
    m_rows->setObjectName(QStringLiteral("notificationRows"));
    auto* layout = new QVBoxLayout(m_rows);
    // Keeps the dates clear of the scroll bar.
    layout->setContentsMargins(0, 0, 6, 0);
    layout->setSpacing(0);
    layout->addStretch(1);
    m_builtRows = 0;
    appendRows();
    // Further rows are built as the list is scrolled towards its end.
    QScrollBar* bar = scroll->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
        if (value >= bar->maximum() - bar->pageStep())
            appendRows();
    });
    scroll->setWidget(m_rows);
    m_list = scroll;
    m_layout->addWidget(m_list, 1);
}

void NotificationHistorySection::appendRows()
{
    auto* layout = static_cast<QVBoxLayout*>(m_rows->layout());
    const qsizetype end = std::min(m_filtered.size(), m_builtRows + rowBatch);
    for (qsizetype index = m_builtRows; index < end; ++index) {
        const NotificationHistoryEntry& entry = m_filtered[index];
        // Before the closing stretch; a divider separates rows and none follows the last one.
        if (index > 0)
            layout->insertWidget(layout->count() - 1, new Divider(Qt::Horizontal, dividerIndent, m_rows));
        layout->insertWidget(layout->count() - 1, new NotificationHistoryRow(
                                                      entry, notificationhistory::pendingItem(entry, m_outbox), m_rows));
    }
    m_builtRows = end;
}

} // namespace vantorel
