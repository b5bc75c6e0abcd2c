#pragma once

#include "app/ui/ConfirmationSheet.h"
#include "core/foundation/Date.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;

namespace vantorel {

class CaptionLabel;
class LineLimitedLabel;
class MacSyncClipboard;
class MacSyncCoordinator;
class MacSyncQRCodeView;
class Pasteboard;
class Sleeper;
class SymbolButton;
class SymbolView;
class ToggleSwitch;

// The pairing invitation on offer: its QR code with a live countdown, the connection string to
// copy, the close button, and the approval of an iPhone that asks to pair. Shown by the
// "iPhone連携" section only while the coordinator holds a connection string.
class MacSyncPairingView final : public QWidget
{
    Q_OBJECT

public:
    MacSyncPairingView(MacSyncCoordinator& coordinator, const QString& connectionString, Pasteboard& pasteboard,
                       std::shared_ptr<Sleeper> sleeper, QWidget* parent = nullptr);
    // Removes a copy that is still on the clipboard unchanged.
    ~MacSyncPairingView() override;

    // A new invitation: the old copy and its message go, the code is drawn anew.
    void setConnectionString(const QString& connectionString);
    const QString& connectionString() const { return m_connectionString; }
    void copyCode(bool shared);
    // Re-reads the coordinator (the pending request).
    void refresh();
    // One second of the countdown; the view's timer calls it with the coordinator's clock.
    void tick(Date date);
    void clearOwnedContents();

private:
    MacSyncCoordinator& m_coordinator;
    QString m_connectionString;
    std::unique_ptr<MacSyncClipboard> m_clipboard;
    MacSyncQRCodeView* m_code;
    QLabel* m_countdown;
    CaptionLabel* m_copyMessage;
    QWidget* m_request;
    QLabel* m_requestName;
};

// The "iPhone連携" settings section: the local sync switch, its status and error, the
// registered iPhone, revocation with a confirmation, and pairing. Holds no sync state: every row
// is re-read from the coordinator on each of its changes and right after each control's call.
class MacSyncSettingsView final : public QWidget
{
    Q_OBJECT

public:
    // The pairing view's clipboard writes to `pasteboard` and clears at expiry through `sleeper`.
    MacSyncSettingsView(MacSyncCoordinator& coordinator, Pasteboard& pasteboard, std::shared_ptr<Sleeper> sleeper,
                        QWidget* parent = nullptr);
    ~MacSyncSettingsView() override;

    void refresh();
    MacSyncPairingView* pairingView() const { return m_pairing; }
    // The open revocation confirmation, null when none.
    ConfirmationSheet* revocationDialog() const { return m_dialog; }

private:
    void confirmRevocation();

    MacSyncCoordinator& m_coordinator;
    Pasteboard& m_pasteboard;
    std::shared_ptr<Sleeper> m_sleeper;
    ToggleSwitch* m_switch;
    SymbolView* m_statusSymbol;
    CaptionLabel* m_status;
    CaptionLabel* m_error;
    // Why the switch cannot turn on while no secret service runs.
    CaptionLabel* m_storeMissing;
    QWidget* m_device;
    LineLimitedLabel* m_deviceName;
    QLabel* m_pairedAt;
    CaptionLabel* m_noDevice;
    SymbolButton* m_retryRevocation;
    SymbolButton* m_revoke;
    SymbolButton* m_register;
    QPointer<MacSyncPairingView> m_pairing;
    QPointer<ConfirmationSheet> m_dialog;
};

} // namespace vantorel
