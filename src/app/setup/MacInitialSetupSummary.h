#pragma once

#include <QString>

namespace vantorel {

struct MacInitialSetupDraft;

// The values of the setup review's rows, all read from the draft, never from the live settings.
struct MacInitialSetupSummary {
    static QString provider(const MacInitialSetupDraft& draft);
    static QString authentication(const MacInitialSetupDraft& draft);
    // Whole minutes, rounded down; anything under a minute, zero and negatives read as 1分.
    static QString refresh(const MacInitialSetupDraft& draft);
    static QString background(const MacInitialSetupDraft& draft);
    static QString notification(const MacInitialSetupDraft& draft);
    static QString sync(const MacInitialSetupDraft& draft);
    static QString menuBar(const MacInitialSetupDraft& draft);
};

} // namespace vantorel
