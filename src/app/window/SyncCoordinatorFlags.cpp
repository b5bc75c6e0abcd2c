#include "app/window/SyncCoordinatorFlags.h"

namespace vantorel {

// The coordinators are not built yet, so no pointer to one can exist; the flags read false.
bool wifiSyncEnabled(const MacSyncCoordinator*)
{
    return false;
}

bool cloudSyncEnabled(const MacCloudSyncCoordinator*)
{
    return false;
}

} // namespace vantorel
