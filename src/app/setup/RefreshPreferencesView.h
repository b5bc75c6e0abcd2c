#pragma once

#include "app/ui/Binding.h"
#include "core/model/AppSettings.h"

#include <QList>
#include <QWidget>

#include <cstdint>

namespace vantorel {

class SegmentedControl;
class ToggleSwitch;

// Edits the fetch intervals and background monitoring of whatever settings record the binding
// reaches: the live settings on the settings page, the draft in the setup wizard. It never
// validates or clamps; the scheduler does. Only the user's changes write; `refresh()` re-reads.
class RefreshPreferencesView : public QWidget
{
    Q_OBJECT

public:
    explicit RefreshPreferencesView(Binding<AppSettings> settings, QWidget* parent = nullptr);

    // One segment of an interval picker.
    struct Segment
    {
        QString title;
        std::int64_t seconds = 0;

        bool operator==(const Segment&) const = default;
    };
    // The four standard intervals, and a fifth for a stored value that is none of them, so the
    // picker always shows the current value as selected.
    static QList<Segment> intervalSegments(std::int64_t seconds);

    // Re-reads the record; writes nothing.
    void refresh();

private:
    struct Picker
    {
        std::int64_t AppSettings::*field = nullptr;
        QString title;
        QWidget* box = nullptr;
        SegmentedControl* control = nullptr;
        QList<Segment> segments;
    };
    Picker makePicker(const QString& title, const QString& name, std::int64_t AppSettings::*field);
    void updatePicker(Picker& picker, const AppSettings& settings);

    Binding<AppSettings> m_settings;
    SegmentedControl* m_mode;
    Picker m_common;
    Picker m_codex;
    Picker m_claude;
    ToggleSwitch* m_background;
};

} // namespace vantorel
