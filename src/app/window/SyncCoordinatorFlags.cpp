#include "app/window/SyncCoordinatorFlags.h"

#include "app/syncui/MacCloudSyncCoordinator.h"
#include "app/syncui/MacSyncCoordinator.h"

namespace vantorel {

bool wifiSyncEnabled(const MacSyncCoordinator* coordinator)
{
    return coordinator && coordinator->enabled();
}

bool cloudSyncEnabled(const MacCloudSyncCoordinator* coordinator)
{
    return coordinator && coordinator->enabled();
}

} // namespace vantorel
