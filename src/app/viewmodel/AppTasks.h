#pragma once

#include "core/foundation/TaskHandle.h"
#include "core/model/MonitoredProvider.h"

#include <map>

namespace vantorel {

// The view model's long-lived tasks. Replacing or dropping a handle cancels its task.
struct AppTasks
{
    // The automatic refresh loop.
    TaskHandle refreshTask;
    // An entry exists while that provider's automatic refresh runs.
    std::map<MonitoredProvider, TaskHandle> scheduledProviderTasks;
    TaskHandle discordOutboxWorkerTask;
    TaskHandle claudeLoginObservationTask;
    TaskHandle claudeAutomaticRecoveryTask;
    TaskHandle claudeUsageRequestTask;
    TaskHandle claudeAuthenticationPrecheckTask;
};

} // namespace vantorel
