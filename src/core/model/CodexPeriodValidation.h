#pragma once

#include <QString>

namespace vantorel {

// The version stamp of the Codex window layout that readings are validated against.
struct CodexPeriodValidation
{
    static constexpr int currentVersion = 1;

    // Shown in place of Codex values while the window format is unconfirmed; views compare usage
    // error messages with it for equality.
    static QString unconfirmedMessage();
};

} // namespace vantorel
