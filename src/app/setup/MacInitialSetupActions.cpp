#include "app/setup/MacInitialSetupActions.h"

#include "app/setup/MacInitialSetupDraft.h"
#include "app/setup/MacInitialSetupPage.h"
#include "app/syncui/MacCloudSyncCoordinator.h"
#include "app/syncui/MacSyncCoordinator.h"
#include "app/viewmodel/AppViewModel.h"
#include "sync/onboarding/OnboardingProgressStore.h"

namespace vantorel {

MacInitialSetupActions::MacInitialSetupActions(AppViewModel& model, MacSyncCoordinator* sync,
                                               MacCloudSyncCoordinator* cloud)
    : m_model(model)
    , m_sync(sync)
    , m_cloud(cloud)
{
}

void MacInitialSetupActions::begin()
{
    m_model.setInitialSetupProgress(m_model.initialSetupStore().begin());
}

void MacInitialSetupActions::next()
{
    const auto index = MacInitialSetupFrame::forStep(m_model.initialSetupProgress().currentStep).index;
    m_model.setInitialSetupProgress(m_model.initialSetupStore().move(index + 1));
}

void MacInitialSetupActions::back()
{
    const auto index = MacInitialSetupFrame::forStep(m_model.initialSetupProgress().currentStep).index;
    m_model.setInitialSetupProgress(m_model.initialSetupStore().move(index - 1));
}

void MacInitialSetupActions::deferPresentation()
{
    m_model.setInitialSetupProgress(m_model.initialSetupStore().deferPresentation());
}

void MacInitialSetupActions::apply(const MacInitialSetupDraft& draft)
{
    m_model.setSettings(draft.applying(m_model.settings()));
    const auto switches = draft.syncSwitches(m_sync && m_sync->enabled(), m_cloud && m_cloud->enabled());
    if (m_sync && switches.wifi)
        m_sync->setEnabled(*switches.wifi);
    if (m_cloud && switches.cloud)
        m_cloud->setEnabled(*switches.cloud);
    m_model.setInitialSetupProgress(m_model.initialSetupStore().complete());
}

} // namespace vantorel
