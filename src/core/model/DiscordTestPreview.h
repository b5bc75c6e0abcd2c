#pragma once

#include <QString>

namespace vantorel {

// The synthetic Discord test message; it reports no real usage and mentions nobody.
struct DiscordTestPreview
{
    // The fixed test lines followed by the version line ("Version 1.0 / Build 42").
    static QString content(const QString& versionText);
};

} // namespace vantorel
