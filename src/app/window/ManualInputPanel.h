#pragma once

#include "app/ui/Binding.h"
#include "app/window/PopoverPage.h"
#include "app/window/UsageInputTarget.h"

#include <QWidget>

class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vantorel {

class AppViewModel;
class Pasteboard;
class SegmentedControl;
class ToggleSwitch;
struct UsageSnapshot;

// The manual input page: a reading for Codex or Claude, either parsed from pasted text or typed
// in, handed to the view model like a fetched one. Everything typed is view state that starts
// fresh with each visit; the outcome of the last action shows at the bottom.
class ManualInputPanel : public QWidget
{
    Q_OBJECT

public:
    // A null pasteboard reads as an empty clipboard.
    ManualInputPanel(AppViewModel& model, Binding<PopoverPage> page, Pasteboard* pasteboard,
                     QWidget* parent = nullptr);

    UsageInputTarget inputTarget() const { return m_target; }

private:
    void readClipboard();
    void parsePastedText();
    void saveManualReading();
    void save(const UsageSnapshot& snapshot);
    void setMessage(const QString& text);

    AppViewModel& m_model;
    Pasteboard* m_pasteboard;
    UsageInputTarget m_target = UsageInputTarget::codex;
    SegmentedControl* m_targetPicker;
    QPlainTextEdit* m_pasted;
    QPushButton* m_clear;
    QLineEdit* m_fiveHour;
    QLineEdit* m_weekly;
    QLineEdit* m_credits;
    ToggleSwitch* m_resetEnabled;
    QWidget* m_resetRow;
    QDateTimeEdit* m_resetDate;
    QLabel* m_message;
};

} // namespace vantorel
