#pragma once

#include "app/window/NotificationProviderFilter.h"
#include "core/model/NotificationHistoryEntry.h"
#include "core/rules/PendingDiscordNotification.h"

#include <QList>
#include <QWidget>

class QScrollArea;
class QVBoxLayout;

namespace vantorel {

class AppViewModel;
class DiscordQueueView;
class SegmentedControl;

// The notification section of the history page: what the records mean, the Discord outbox,
// the provider filter and the list of recorded notifications, newest first.
class NotificationHistorySection : public QWidget
{
    Q_OBJECT

public:
    explicit NotificationHistorySection(AppViewModel& viewModel, QWidget* parent = nullptr);

    NotificationProviderFilter filter() const { return m_filter; }
    const QList<NotificationHistoryEntry>& filteredEntries() const { return m_filtered; }

    // Reads the view model again; the rows are rebuilt only when the filtered list or the outbox
    // changed.
    void refresh();

    static constexpr int listMaximumHeight = 414;
    static constexpr int dividerIndent = 38;
    // Rows built at once; the history holds at most 120.
    static constexpr qsizetype rowBatch = 12;

signals:
    // The filtered list may have changed.
    void entriesChanged();

private:
    void rebuildList();
    void appendRows();

    AppViewModel& m_viewModel;
    NotificationProviderFilter m_filter = NotificationProviderFilter::all;
    DiscordQueueView* m_queue;
    SegmentedControl* m_filterPicker;
    QVBoxLayout* m_layout;
    QWidget* m_list = nullptr;
    QWidget* m_rows = nullptr;
    qsizetype m_builtRows = 0;
    QList<NotificationHistoryEntry> m_filtered;
    QList<PendingDiscordNotification> m_outbox;
    bool m_built = false;
};

} // namespace vantorel
