#pragma once

#include "core/model/AppSettings.h"

namespace vantorel {

// What the setup wizard edits instead of the live settings: a full settings record and the
// wanted state of the two sync channels. Taken when the wizard page is built, never refreshed.
struct MacInitialSetupDraft {
    AppSettings settings;
    bool wifiSyncEnabled = false;
    bool cloudSyncEnabled = false;

    bool operator==(const MacInitialSetupDraft&) const = default;
};

} // namespace vantorel
