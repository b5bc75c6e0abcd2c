#pragma once

namespace vantorel {

class AppViewModel;
class MacCloudSyncCoordinator;
class MacSyncCoordinator;
struct MacInitialSetupDraft;

// What the setup wizard's buttons do to the application: every progress change goes through the
// view model's store and is published at once, so the page re-renders from the published value.
// A missing coordinator (not built yet) is left alone. None of these dismisses the wizard.
class MacInitialSetupActions
{
public:
    MacInitialSetupActions(AppViewModel& model, MacSyncCoordinator* sync, MacCloudSyncCoordinator* cloud);

    // Re-reads and normalises the stored progress, leaving its state alone.
    void begin();
    void next();
    void back();
    // The state becomes deferred at the current step; settings and sync stay as they are.
    void deferPresentation();
    // Merges the draft onto the settings current now, switches only the sync channels whose flag
    // differs from the draft, then marks the wizard completed. Failures show in the coordinators'
    // own state, so this always runs to the end.
    void apply(const MacInitialSetupDraft& draft);

private:
    AppViewModel& m_model;
    MacSyncCoordinator* m_sync;
    MacCloudSyncCoordinator* m_cloud;
};

} // namespace vantorel
