#pragma once

#include "core/model/AppSettings.h"

#include <optional>

namespace vantorel {

// What the setup wizard edits instead of the live settings: a full settings record and the
// wanted state of the two sync channels. Taken when the wizard page is built, never refreshed.
struct MacInitialSetupDraft {
    AppSettings settings;
    bool wifiSyncEnabled = false;
    bool cloudSyncEnabled = false;

    bool operator==(const MacInitialSetupDraft&) const = default;

    // `current` with the fields the wizard edits taken from the draft. Everything else, including
    // fields added to the record later, keeps its value in `current`, which is read at apply time
    // so edits made elsewhere while the wizard was open survive.
    AppSettings applying(const AppSettings& current) const;

    // Which sync channels the apply switches, and to what: only those whose current flag differs
    // from the draft's, so an unchanged channel keeps its session and its status text.
    struct SyncSwitches {
        std::optional<bool> wifi;
        std::optional<bool> cloud;

        bool operator==(const SyncSwitches&) const = default;
    };
    SyncSwitches syncSwitches(bool wifiEnabled, bool cloudEnabled) const;
};

} // namespace vantorel
