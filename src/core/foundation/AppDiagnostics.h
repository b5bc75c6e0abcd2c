#pragma once

#include "core/foundation/Date.h"

#include <QString>

#include <functional>

namespace vantorel {

// The process-wide diagnostics log: one line per event appended to
// $XDG_STATE_HOME/Vantorel/Vantorel.log (~/.local/state when unset) by one background writer
// thread. Each line is "<UTC time, whole seconds> pid=<pid> <message>\n". When the file has grown
// past maximumLogSize bytes, the next line first moves it to Vantorel.previous.log, replacing the
// older generation. A line that cannot be written is lost; the failure is reported through
// writeFailure() and, once per run of failures, on standard error, never by throwing.
class AppDiagnostics
{
public:
    static constexpr qint64 maximumLogSize = 1'000'000;

    struct VersionAndBuild
    {
        QString version;
        QString build;
        bool operator==(const VersionAndBuild&) const = default;
        // As the screens and the Discord footer show it: "Version 1.2 / Build 34".
        QString text() const { return QStringLiteral("Version %1 / Build %2").arg(version, build); }
    };

    AppDiagnostics() = delete;

    // Queues the message and returns at once; callable from any thread, never throws. Lines from
    // one thread are written in call order. Line feeds and carriage returns in the message are
    // written as "\n" and "\r" so that a message always stays on its own line.
    static void log(const QString& message);

    // Version and build number of this build; "unknown" for either when the build left it empty.
    static VersionAndBuild versionAndBuild();

    static QString logFilePath();
    static QString previousLogFilePath();

    // Why the latest line could not be written (the system's error text); empty after a line was.
    static QString writeFailure();
    // Called on the log's writer thread whenever writeFailure() changes; null stops the calls.
    // Clearing it waits for a call in progress, so the observer's owner may go away afterwards.
    static void setWriteFailureObserver(std::function<void()> observer);

    // Blocks until every line queued before the call is on disk (or dropped). Called before the
    // process exits and by tests instead of waiting.
    static void flush();

    // Test hooks. Both flush first, so lines already queued go to the old place or time.
    static void setLogDirectoryForTesting(const QString& directory);
    // Null restores the system clock.
    static void setClockForTesting(std::function<Date()> now);

    // The message as it appears in the line: line breaks escaped.
    static QString escapedMessage(const QString& message);
};

} // namespace vantorel
