#pragma once

#include "app/ui/ConfirmationSheet.h"

#include <QUuid>
#include <QPointer>
#include <QWidget>

#include <optional>

class QLabel;

namespace vantorel {

class CaptionLabel;
class MacCloudSyncCoordinator;
class SymbolButton;
class SymbolView;
class ToggleSwitch;

// A 14 x 14 spinning arc; it animates only while shown.
class BusyIndicator final : public QWidget
{
    Q_OBJECT

public:
    explicit BusyIndicator(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    int m_timer = 0;
    int m_angle = 0;
};

// The "iCloud" settings section: the cloud sync switch, its status, last and next upload, the
// account re-confirmation, an upload now, and deleting the cloud copy after a confirmation.
// Every decision is the coordinator's; the rows are re-read on each of its changes and right
// after each control's call.
class MacCloudSyncSettingsView final : public QWidget
{
    Q_OBJECT

public:
    explicit MacCloudSyncSettingsView(MacCloudSyncCoordinator& coordinator, QWidget* parent = nullptr);

    void refresh();
    // The open deletion confirmation, null when none.
    ConfirmationSheet* deletionDialog() const { return m_dialog; }

private:
    void confirmDeletion();

    MacCloudSyncCoordinator& m_coordinator;
    // The session when the delete button was pressed; a deletion confirmed later hands it back.
    std::optional<QUuid> m_deletionConfirmationID;
    ToggleSwitch* m_switch;
    BusyIndicator* m_busy;
    SymbolView* m_statusSymbol;
    CaptionLabel* m_status;
    CaptionLabel* m_error;
    QLabel* m_lastUpload;
    QLabel* m_nextUpload;
    SymbolButton* m_reauthorize;
    SymbolButton* m_upload;
    SymbolButton* m_delete;
    QPointer<ConfirmationSheet> m_dialog;
};

} // namespace vantorel
