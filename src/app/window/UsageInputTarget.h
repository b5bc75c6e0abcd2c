#pragma once

#include <QString>

namespace vantorel {

// The service a manual reading is for, in the order the page offers them.
enum class UsageInputTarget { codex, claude };

inline QString displayName(UsageInputTarget target)
{
    return target == UsageInputTarget::codex ? QStringLiteral("Codex") : QStringLiteral("Claude");
}

} // namespace vantorel
