#pragma once

#include "app/ui/Binding.h"

#include <QWidget>

namespace vantorel {

class NoticeLabel;
class ToggleSwitch;

// The switch of the automatic Claude re-authentication, with the note shown while the check
// waits for the screen to be unlocked.
class ClaudeAutomaticRecoveryControl : public QWidget
{
    Q_OBJECT

public:
    explicit ClaudeAutomaticRecoveryControl(Binding<bool> enabled, QWidget* parent = nullptr);

    // Re-reads the switch; `available` false disables it, `deferred` shows the lock note.
    void refresh(bool available, bool deferred);

private:
    Binding<bool> m_enabled;
    ToggleSwitch* m_switch;
    NoticeLabel* m_deferred;
};

} // namespace vantorel
