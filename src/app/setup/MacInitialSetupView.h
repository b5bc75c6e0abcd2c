#pragma once

#include "app/setup/MacInitialSetupActions.h"
#include "app/setup/MacInitialSetupDraft.h"
#include "app/ui/Binding.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QLabel;

namespace vantorel {

class SetupPageFrame;
class ToggleSwitch;

// The first-run setup wizard: seven steps in the shared setup frame, editing a private draft
// that reaches the application only through "この設定で開始". The current step lives in the view
// model's progress. A step's controls are built once per visit and updated in place as the draft
// or the view model changes. `dismiss` is called last in the defer and apply handlers; nothing of
// this object is touched after it.
class MacInitialSetupView : public QWidget
{
    Q_OBJECT

public:
    MacInitialSetupView(AppViewModel& model, MacSyncCoordinator* sync, MacCloudSyncCoordinator* cloud,
                        MacInitialSetupDraft draft, std::function<void()> dismiss, QWidget* parent = nullptr);

    const MacInitialSetupDraft& draft() const { return m_draft; }

signals:
    // The draft was edited; views that re-read the draft's settings follow it.
    void draftChanged();

private:
    void render();
    void edited();
    QWidget* buildStep(std::int64_t step);
    QWidget* serviceStep();
    QWidget* authenticationStep();
    QWidget* refreshStep();
    QWidget* notificationStep();
    QWidget* syncStep();
    QWidget* menuBarStep();
    QWidget* reviewStep();

    QWidget* setupToggle(QWidget* parent, const QString& name, const QString& title, const QString& symbol,
                         const QString& detail, Binding<bool> isOn, QLabel** detailLabel = nullptr);
    ToggleSwitch* plainToggle(QWidget* parent, const QString& name, const QString& title, Binding<bool> isOn);
    Binding<bool> settingsFlag(bool AppSettings::*field);
    void whenShown(QWidget* widget, std::function<bool()> condition);

    AppViewModel& m_model;
    MacSyncCoordinator* m_sync;
    MacInitialSetupActions m_actions;
    MacInitialSetupDraft m_draft;
    Binding<AppSettings> m_settings;
    std::function<void()> m_dismiss;
    SetupPageFrame* m_frame;
    QWidget* m_step = nullptr;
    std::int64_t m_builtStep = -1;
    std::vector<std::function<void()>> m_updaters;
};

} // namespace vantorel
