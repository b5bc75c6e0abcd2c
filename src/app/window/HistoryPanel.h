#pragma once

#include "app/window/HistorySection.h"

#include <QPointer>
#include <QWidget>

class QLabel;

namespace vantorel {

class AppViewModel;
class ConfirmationSheet;
class IconButton;
class NotificationHistorySection;
class SegmentedControl;
class UsageHistorySection;

// The history page: a header with the storage note and the delete button, the section picker
// and the usage or notification section. Its view state (section, provider, period, filter)
// lives as long as the panel; the root view builds a new panel on every visit.
class HistoryPanel : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryPanel(AppViewModel& viewModel, QWidget* parent = nullptr);

    HistorySection section() const { return m_section; }
    void setSection(HistorySection section);

    // The open delete confirmation, if any.
    ConfirmationSheet* confirmation() const;

private:
    void refresh();
    void updateHeader();
    void confirmClear();

    AppViewModel& m_viewModel;
    HistorySection m_section = HistorySection::usage;
    QLabel* m_storageNote;
    IconButton* m_clearButton;
    SegmentedControl* m_sectionPicker;
    UsageHistorySection* m_usage;
    NotificationHistorySection* m_notifications;
    QPointer<ConfirmationSheet> m_confirmation;
};

} // namespace vantorel
