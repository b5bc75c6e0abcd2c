#pragma once

#include "app/ui/Binding.h"
#include "core/model/AppSettings.h"

#include <QWidget>

namespace vantorel {

class SegmentedControl;
class ToggleSwitch;

// One provider's menu-bar choices: its "5h" and "1W" rings and whether it is shown by icon or
// by name. Bound to any settings record (the live settings or the wizard's draft); the host
// enables or disables the block. Only the user's changes write; `refresh()` re-reads.
class MenuBarProviderOptions : public QWidget
{
    Q_OBJECT

public:
    MenuBarProviderOptions(MonitoredProvider provider, Binding<AppSettings> settings, QWidget* parent = nullptr);

    void refresh();

private:
    Binding<MenuBarProviderIdentityStyle> m_identity;
    Binding<bool> m_fiveHour;
    Binding<bool> m_weekly;
    ToggleSwitch* m_fiveHourSwitch;
    ToggleSwitch* m_weeklySwitch;
    SegmentedControl* m_identityPicker;
};

} // namespace vantorel
