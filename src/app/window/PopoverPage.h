#pragma once

#include <QString>

namespace vantorel {

// The page a root view shows.
enum class PopoverPage { main, settings, manual, history, setup, initialSetup };

// Used in object names ("sidebar.<name>") only.
inline QString objectNameOf(PopoverPage page)
{
    switch (page) {
    case PopoverPage::main:
        return QStringLiteral("main");
    case PopoverPage::settings:
        return QStringLiteral("settings");
    case PopoverPage::manual:
        return QStringLiteral("manual");
    case PopoverPage::history:
        return QStringLiteral("history");
    case PopoverPage::setup:
        return QStringLiteral("setup");
    case PopoverPage::initialSetup:
        return QStringLiteral("initialSetup");
    }
    return {};
}

} // namespace vantorel
