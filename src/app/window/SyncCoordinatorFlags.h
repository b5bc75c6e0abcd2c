#pragma once

namespace vantorel {

class MacSyncCoordinator;
class MacCloudSyncCoordinator;

// The coordinators' `enabled` flags as the setup wizard's draft takes them; false without one.
bool wifiSyncEnabled(const MacSyncCoordinator* coordinator);
bool cloudSyncEnabled(const MacCloudSyncCoordinator* coordinator);

} // namespace vantorel
