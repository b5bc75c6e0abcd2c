#include "app/window/HistoryPanel.h"

#include "app/ui/ConfirmationSheet.h"
#include "app/ui/IconButton.h"
#include "app/ui/PageScrollArea.h"
#include "app/ui/SegmentedControl.h"
#include "app/ui/TextColor.h"
#include "app/ui/UiFont.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/window/NotificationHistoryRules.h"
#include "app/window/NotificationHistorySection.h"
#include "app/window/UsageHistorySection.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QScrollArea>
#include <QVBoxLayout>

namespace vantorel {

namespace {

QStringList sectionLabels()
{
    QStringList labels;
    for (const HistorySection section : allHistorySections)
        labels.append(segmentLabel(section));
    return labels;
}

// The scrolled page: the scroll area gives it the viewport's height, or its least height at its
// width where the viewport is shorter, so a short window scrolls the page with every part at its
// least size and a tall one lays it out as if it did not scroll.
class HistoryPageContent final : public QWidget
{
public:
    using QWidget::QWidget;

    int heightForWidth(int width) const override
    {
        return layout() ? layout()->totalMinimumHeightForWidth(width) : QWidget::heightForWidth(width);
    }
};

} // namespace

HistoryPanel::HistoryPanel(AppViewModel& viewModel, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_storageNote(new QLabel(this))
    , m_clearButton(new IconButton(QStringLiteral("trash"), QString(), this))
    , m_sectionPicker(new SegmentedControl(sectionLabels(), this))
    , m_usage(new UsageHistorySection(viewModel, this))
    , m_notifications(new NotificationHistorySection(viewModel, this))
{
    setObjectName(QStringLiteral("historyPanel"));
    // A window shorter than the page scrolls it rather than pressing the chart and the texts.
    auto* content = new HistoryPageContent;
    content->setObjectName(QStringLiteral("history.content"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(makePageScrollArea(content, QStringLiteral("history.scroll"), this));

    auto* title = new QLabel(QStringLiteral("履歴"), this);
    title->setFont(UiFont::system(20, QFont::Bold));
    m_storageNote->setObjectName(QStringLiteral("storageNote"));
    m_storageNote->setTextFormat(Qt::PlainText);
    m_storageNote->setFont(UiFont::caption2());
    setTextColor(m_storageNote, colors::secondary);
    m_clearButton->setObjectName(QStringLiteral("clearHistory"));
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(title);
    titles->addWidget(m_storageNote);
    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    header->addLayout(titles);
    header->addStretch(1);
    header->addWidget(m_clearButton, 0, Qt::AlignVCenter);

    m_sectionPicker->setObjectName(QStringLiteral("historySection"));
    m_sectionPicker->setAccessibleName(QStringLiteral("履歴の種類"));
    m_sectionPicker->setCurrentIndex(int(m_section));

    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);
    layout->addLayout(header);
    layout->addWidget(m_sectionPicker);
    layout->addWidget(m_usage, 1);
    layout->addWidget(m_notifications, 1);
    m_notifications->hide();

    connect(m_sectionPicker, &SegmentedControl::activated, this,
            [this](int index) { setSection(allHistorySections[std::size_t(index)]); });
    connect(m_clearButton, &QAbstractButton::clicked, this, &HistoryPanel::confirmClear);
    connect(m_usage, &UsageHistorySection::entriesChanged, this, &HistoryPanel::updateHeader);
    connect(m_notifications, &NotificationHistorySection::entriesChanged, this, &HistoryPanel::updateHeader);
    connect(&m_viewModel, &AppViewModel::changed, this, &HistoryPanel::refresh, Qt::QueuedConnection);
    updateHeader();
}

void HistoryPanel::setSection(HistorySection section)
{
    if (section == m_section)
        return;
    m_section = section;
    m_sectionPicker->setCurrentIndex(int(section));
    m_usage->setVisible(section == HistorySection::usage);
    m_notifications->setVisible(section == HistorySection::notifications);
    refresh();
}

ConfirmationSheet* HistoryPanel::confirmation() const
{
    return m_confirmation;
}

void HistoryPanel::refresh()
{
    // The hidden section catches up when it is shown again.
    if (m_section == HistorySection::usage)
        m_usage->refresh();
    else
        m_notifications->refresh();
    updateHeader();
}

void HistoryPanel::updateHeader()
{
    const bool usage = m_section == HistorySection::usage;
    m_storageNote->setText(usage ? QStringLiteral("端末内に最大30日保存") : QStringLiteral("端末内に最大120件保存"));
    m_clearButton->setAccessibleName(usage ? QStringLiteral("使用率履歴を削除") : QStringLiteral("通知履歴を削除"));
    m_clearButton->setToolTip(usage ? QStringLiteral("選択中の使用率履歴を削除")
                                    : QStringLiteral("表示中の通知履歴を削除"));
    m_clearButton->setEnabled(usage ? !m_usage->filteredEntries().isEmpty()
                                    : !m_notifications->filteredEntries().isEmpty());
}

void HistoryPanel::confirmClear()
{
    if (m_confirmation)
        return;
    const bool usage = m_section == HistorySection::usage;
    // What the action deletes is fixed when the sheet opens, like its button's title.
    const MonitoredProvider usageProvider = m_usage->provider();
    const NotificationProviderFilter filter = m_notifications->filter();
    auto* box = new ConfirmationSheet(
        usage ? QStringLiteral("使用率履歴を削除しますか？") : QStringLiteral("通知履歴を削除しますか？"),
        QStringLiteral("削除した履歴は元に戻せません。"),
        usage ? displayName(usageProvider) + QStringLiteral("の履歴を削除")
              : notificationhistory::notificationClearButtonTitle(filter),
        this);
    box->setObjectName(QStringLiteral("historyClearConfirmation"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    connect(box, &ConfirmationSheet::confirmed, this, [this, usage, usageProvider, filter] {
        if (usage) {
            QList<UsageHistoryEntry> kept;
            for (const UsageHistoryEntry& entry : m_viewModel.usageHistory()) {
                if (entry.provider != usageProvider)
                    kept.append(entry);
            }
            m_viewModel.setUsageHistory(kept);
            m_viewModel.persistUsageHistory();
        } else {
            m_viewModel.clearNotificationHistory(provider(filter));
        }
        m_viewModel.saveChangesNow();
        refresh();
    });
    m_confirmation = box;
    box->open();
}

} // namespace vantorel
