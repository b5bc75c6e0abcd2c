#pragma once

#include "core/foundation/CancelToken.h"
#include "core/foundation/Clock.h"
#include "core/foundation/Date.h"
#include "core/foundation/Json.h"
#include "core/model/UsageSnapshot.h"

#include <QString>
#include <QStringList>

#include <QCoroTask>

#include <memory>
#include <optional>

namespace vantorel {

class Sleeper;

// Reads the Codex account's rate limits from the Codex CLI's app-server: starts
// `codex app-server`, speaks line-delimited JSON-RPC over its standard input and output
// ("initialize", the "initialized" notification, "account/rateLimits/read") and ends the child
// again, whatever happened.
class CodexCLIUsageService
{
public:
    // One answer line may be this long; a longer one is refused rather than buffered.
    static constexpr qsizetype maximumLineBytes = 1'048'576;
    static constexpr double defaultTimeoutSeconds = 8.0;
    static constexpr int fiveHourWindowMinutes = 300;
    static constexpr int weeklyWindowMinutes = 10'080;

    // Who introduces itself to the app-server in "initialize".
    struct HostApplication
    {
        QString name;
        QString version;
    };
    // The running application's name and version.
    static HostApplication currentHostApplication();

    // Where the Codex CLI is usually installed on Linux (user-local bin folders, npm, Volta, Bun,
    // Homebrew, system folders), home folders expanded.
    static QStringList defaultExecutableCandidates();

    // `timeoutSeconds` bounds the whole exchange, start to answer. Without a sleeper it runs on a
    // real timer; `clock` stamps the readings.
    explicit CodexCLIUsageService(QStringList candidates = defaultExecutableCandidates(),
                                  double timeoutSeconds = defaultTimeoutSeconds,
                                  HostApplication host = currentHostApplication(), std::shared_ptr<Sleeper> sleeper = {},
                                  Clock clock = systemClock());

    // One reading (source codexCLI). `executablePath` is the settings' path: used alone when not
    // blank, else the candidates, else a "codex" on PATH. Throws CodexCLIUsageError:
    // executableNotFound, launchFailed, writeFailed, rpc for an error answer or an unusable
    // line, processExited when the child ends before answering, timeout, unconfirmedUsageFormat
    // when the answer holds no rate-limit record; CancellationError when `token` is cancelled.
    // Throws only after the child's process group was killed and the child reaped; returns a
    // reading as soon as the group was killed, and the child is reaped afterwards. The service
    // may be destroyed while this runs.
    QCoro::Task<UsageSnapshot> fetchUsage(std::optional<QString> executablePath, CancelToken token = {}) const;

    // The executable to start, or nullopt; `pathVariable` is a PATH value.
    static std::optional<QString> findExecutable(const std::optional<QString>& executablePath,
                                                 const QStringList& candidates, const QString& pathVariable);

    // The "account/rateLimits/read" result as a reading stamped `now`. A window of 300 minutes
    // is the five-hour window and one of 10,080 minutes the weekly window (remaining = 100 −
    // usedPercent, clamped); the reading carries validation version 1 only when every window
    // present is one of these two, each at most once. "rateLimitResetCredits" becomes the
    // banked-reset summary. Throws unconfirmedUsageFormat when there is no "rateLimits" object.
    static UsageSnapshot usage(const Json& result, Date now);

private:
    QStringList m_candidates;
    double m_timeoutSeconds;
    HostApplication m_host;
    std::shared_ptr<Sleeper> m_sleeper;
    Clock m_clock;
};

} // namespace vantorel
