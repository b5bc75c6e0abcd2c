#pragma once

#include "app/setup/MacInitialSetupDraft.h"
#include "app/ui/Binding.h"
#include "app/window/ContentEnvironment.h"
#include "app/window/PopoverPage.h"

#include <functional>

class QWidget;

namespace vantorel {

// One factory per page, filled by the composition root. A root view calls a factory each time
// its page changes to that page and deletes the panel when the page changes again, so panels
// start from fresh view state on every visit. An unset factory shows an empty panel.
struct ContentPages {
    using Action = std::function<void()>;
    // Panels that switch pages get a binding to the root's page.
    using Panel = std::function<QWidget*(const ContentEnvironment&, Binding<PopoverPage> page)>;
    using Guide = std::function<QWidget*(const ContentEnvironment&, Action dismiss, Action proceedToSetup)>;
    using Wizard = std::function<QWidget*(const ContentEnvironment&, MacInitialSetupDraft draft, Action dismiss)>;

    Panel main;
    Panel settings;
    Panel manual;
    Panel history;
    Guide setup;
    Wizard initialSetup;
};

} // namespace vantorel
