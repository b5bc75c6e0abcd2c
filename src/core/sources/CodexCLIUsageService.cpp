#include "core/sources/CodexCLIUsageService.h"

#include "core/foundation/Timeout.h"
#include "core/foundation/TimerSleeper.h"
#include "core/model/CodexPeriodValidation.h"
#include "core/sources/ChildProcess.h"
#include "core/sources/CodexCLIUsageError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <functional>

namespace vantorel {

namespace {

using CodexCode = CodexCLIUsageError::Code;

constexpr std::int64_t initializeId = 1;
constexpr std::int64_t rateLimitsId = 2;

QByteArray line(const Json& message)
{
    return json::write(message, json::Form::store) + '\n';
}

QByteArray request(std::int64_t id, const char* method, std::optional<Json> params = std::nullopt)
{
    Json message = {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}};
    if (params)
        message["params"] = std::move(*params);
    return line(message);
}

QString expandedHome(const QString& path)
{
    if (path == QLatin1String("~"))
        return QDir::homePath();
    if (path.startsWith(QLatin1String("~/")))
        return QDir::homePath() + path.mid(1);
    return path;
}

std::optional<QString> executableFile(const QString& path)
{
    const QFileInfo info(expandedHome(path));
    if (info.isFile() && info.isExecutable())
        return info.absoluteFilePath();
    return std::nullopt;
}

std::optional<QString> onPath(const QString& name, const QString& pathVariable)
{
    for (const QString& directory : pathVariable.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (auto found = executableFile(QDir(directory).filePath(name)))
            return found;
    }
    return std::nullopt;
}

// Given when the wait ends after a line that looked like a message but could not be parsed.
const QString unreadableAnswerDetail = QStringLiteral("answer could not be read (invalid UTF-8 or nested too deeply)");

// The answer to request `id` in one line: its result, or nullopt when the line is something
// else (a notification, a server request, another id, noise). Throws rpc for an error answer.
// An object that cannot be parsed may have been the answer: `unreadable` notes it.
std::optional<Json> answerIn(const QByteArray& text, std::int64_t id, bool& unreadable)
{
    auto message = json::parse(text);
    if (!message && text.trimmed().startsWith('{'))
        unreadable = true;
    if (!message || !message->is_object() || message->contains("method"))
        return std::nullopt;
    if (json::integer(*message, "id") != id)
        return std::nullopt;
    if (const Json* error = json::member(*message, "error")) {
        if (auto description = json::string(*error, "message"))
            throw CodexCLIUsageError::rpc(*description);
        const auto code = json::integer(*error, "code");
        throw CodexCLIUsageError::rpc(QStringLiteral("code %1").arg(code ? QString::number(*code) : QStringLiteral("?")));
    }
    const auto result = message->find("result");
    if (result == message->end())
        throw CodexCLIUsageError::rpc(QStringLiteral("answer without result"));
    return std::move(*result);
}

QCoro::Task<Json> answer(std::shared_ptr<ChildProcess> child, std::int64_t id, std::shared_ptr<bool> unreadable,
                         CancelToken token)
{
    for (;;) {
        while (auto text = child->takeLine()) {
            if (auto result = answerIn(*text, id, *unreadable))
                co_return std::move(*result);
        }
        if (const auto& reason = child->launchError())
            throw CodexCLIUsageError::launchFailed(*reason);
        if (child->outputOverflowed() || child->pendingLineLength() > CodexCLIUsageService::maximumLineBytes)
            throw CodexCLIUsageError::rpc(QStringLiteral("answer line over 1 MiB"));
        if (child->hasExited())
            throw CodexCLIUsageError(CodexCode::processExited);
        if (const auto& reason = child->writeError())
            throw CodexCLIUsageError::writeFailed(*reason);
        if (const auto& reason = child->readError())
            throw CodexCLIUsageError::rpc(*reason);
        co_await child->changed(token);
    }
}

QCoro::Task<UsageSnapshot> exchange(std::shared_ptr<ChildProcess> child, CodexCLIUsageService::HostApplication host,
                                    Clock clock, std::shared_ptr<bool> unreadable, CancelToken token)
{
    const Json clientInfo = {{"name", json::str(host.name)}, {"version", json::str(host.version)}};
    child->write(request(initializeId, "initialize", Json{{"clientInfo", clientInfo}}));
    co_await answer(child, initializeId, unreadable, token);
    child->write(line(Json{{"jsonrpc", "2.0"}, {"method", "initialized"}}));
    child->write(request(rateLimitsId, "account/rateLimits/read"));
    const Json result = co_await answer(child, rateLimitsId, unreadable, token);
    co_return CodexCLIUsageService::usage(result, clock());
}

std::optional<QString> trimmedText(const Json& object, std::string_view key)
{
    auto text = json::string(object, key);
    if (!text)
        return std::nullopt;
    *text = text->trimmed();
    return text->isEmpty() ? std::nullopt : text;
}

std::optional<Date> unixDate(const Json& object, std::string_view key)
{
    const auto seconds = json::number(object, key);
    if (!seconds || !std::isfinite(*seconds))
        return std::nullopt;
    return Date::fromUnixSeconds(*seconds);
}

std::optional<QString> creditsText(const Json& limits)
{
    const Json* credits = json::member(limits, "credits");
    if (!credits)
        return std::nullopt;
    if (json::boolean(*credits, "unlimited") == true)
        return QStringLiteral("無制限");
    return trimmedText(*credits, "balance");
}

std::optional<BankedResetSummary> bankedReset(const Json& result)
{
    const Json* summary = json::member(result, "rateLimitResetCredits");
    const auto available = summary ? json::integer(*summary, "availableCount") : std::nullopt;
    if (!available)
        return std::nullopt;
    BankedResetSummary reading;
    reading.availableCount = std::max<std::int64_t>(*available, 0);
    const Json* credits = json::member(*summary, "credits");
    if (credits && credits->is_array()) {
        QList<BankedResetCredit> list;
        for (const Json& entry : *credits) {
            auto id = trimmedText(entry, "id");
            if (!id)
                continue;
            list.append(BankedResetCredit{*id, json::string(entry, "resetType"), json::string(entry, "status"),
                                          unixDate(entry, "grantedAt"), unixDate(entry, "expiresAt"),
                                          json::string(entry, "title"), json::string(entry, "description")});
        }
        reading.credits = std::move(list);
    }
    return reading;
}

} // namespace

CodexCLIUsageService::HostApplication CodexCLIUsageService::currentHostApplication()
{
    const QString name = QCoreApplication::applicationName();
    const QString version = QCoreApplication::applicationVersion();
    return {name.isEmpty() ? QStringLiteral("Vantorel") : name, version.isEmpty() ? QStringLiteral("0") : version};
}

QStringList CodexCLIUsageService::defaultExecutableCandidates()
{
    const QString home = QDir::homePath();
    QStringList candidates{home + QStringLiteral("/.local/bin/codex"), home + QStringLiteral("/.npm-global/bin/codex")};
    const QString npmPrefix = qEnvironmentVariable("NPM_CONFIG_PREFIX");
    if (!npmPrefix.isEmpty())
        candidates.append(npmPrefix + QStringLiteral("/bin/codex"));
    candidates << home + QStringLiteral("/.volta/bin/codex") << home + QStringLiteral("/.bun/bin/codex")
               << home + QStringLiteral("/bin/codex") << QStringLiteral("/usr/local/bin/codex")
               << QStringLiteral("/home/linuxbrew/.linuxbrew/bin/codex") << QStringLiteral("/usr/bin/codex")
               << QStringLiteral("/snap/bin/codex");
    return candidates;
}

CodexCLIUsageService::CodexCLIUsageService(QStringList candidates, double timeoutSeconds, HostApplication host,
                                           std::shared_ptr<Sleeper> sleeper, Clock clock)
    : m_candidates(std::move(candidates))
    , m_timeoutSeconds(timeoutSeconds)
    , m_host(std::move(host))
    , m_sleeper(sleeper ? std::move(sleeper) : std::make_shared<TimerSleeper>())
    , m_clock(std::move(clock))
{
}

std::optional<QString> CodexCLIUsageService::findExecutable(const std::optional<QString>& executablePath,
                                                            const QStringList& candidates, const QString& pathVariable)
{
    const QString configured = executablePath.value_or(QString()).trimmed();
    if (!configured.isEmpty()) {
        if (configured.contains(QLatin1Char('/')))
            return executableFile(configured);
        return onPath(configured, pathVariable);
    }
    for (const QString& candidate : candidates) {
        if (auto found = executableFile(candidate))
            return found;
    }
    return onPath(QStringLiteral("codex"), pathVariable);
}

QCoro::Task<UsageSnapshot> CodexCLIUsageService::fetchUsage(std::optional<QString> executablePath,
                                                            CancelToken token) const
{
    token.throwIfCancelled();
    const std::shared_ptr<Sleeper> sleeper = m_sleeper;
    const double timeoutSeconds = m_timeoutSeconds;
    const QString pathVariable = qEnvironmentVariable("PATH");
    const auto executable = findExecutable(executablePath, m_candidates, pathVariable);
    if (!executable)
        throw CodexCLIUsageError(CodexCode::executableNotFound);

    // npm-style installs start the CLI through an interpreter that sits beside it; a desktop
    // session's PATH may not list that folder.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), QFileInfo(*executable).absolutePath() + QLatin1Char(':') + pathVariable);
    const QStringList arguments{QStringLiteral("app-server")};
    auto child = std::make_shared<ChildProcess>(*executable, arguments, ChildProcess::Input::pipe,
                                                maximumLineBytes, environment);
    child->start();

    // Named, as g++ 12 destroys a lambda prvalue handed to a coroutine twice; a std::function,
    // as GCC rejects a lambda's type in this frame when the file is part of a unity batch.
    const auto unreadable = std::make_shared<bool>(false);
    const std::function<QCoro::Task<UsageSnapshot>(CancelToken)> work = [child, host = m_host, clock = m_clock,
                                                                         unreadable](CancelToken inner) {
        return exchange(child, host, clock, unreadable, inner);
    };
    std::optional<UsageSnapshot> snapshot;
    std::exception_ptr failure;
    try {
        snapshot = co_await withTimeout(*sleeper, timeoutSeconds, token, work);
    } catch (const TimeoutError&) {
        // An answer that came but could not be read is not a silent CLI.
        failure = std::make_exception_ptr(*unreadable ? CodexCLIUsageError::rpc(unreadableAnswerDetail)
                                                      : CodexCLIUsageError(CodexCode::timeout));
    } catch (...) {
        failure = std::current_exception();
    }
    child->closeInput();
    if (failure) {
        co_await child->terminate();
        std::rethrow_exception(failure);
    }
    // The reading is published at once: the group is killed now, and the child, reaped later by
    // the event loop, cannot delay what the answer shows.
    child->kill();
    co_return std::move(*snapshot);
}

UsageSnapshot CodexCLIUsageService::usage(const Json& result, Date now)
{
    const Json* limits = json::member(result, "rateLimits");
    if (!limits || !limits->is_object())
        throw CodexCLIUsageError(CodexCode::unconfirmedUsageFormat);

    UsageSnapshot snapshot;
    snapshot.source = UsageSource::codexCLI;
    snapshot.updatedAt = now;
    bool confirmed = true;
    for (const char* key : {"primary", "secondary"}) {
        const Json* window = json::member(*limits, key);
        if (!window)
            continue;
        const auto minutes = json::integer(*window, "windowDurationMins");
        const auto used = json::number(*window, "usedPercent");
        const bool fiveHour = minutes == fiveHourWindowMinutes;
        const bool weekly = minutes == weeklyWindowMinutes;
        auto& remaining = fiveHour ? snapshot.fiveHourRemainingPercent : snapshot.weeklyRemainingPercent;
        // An unknown length, a second window of the same length or a window without a usage
        // leaves the layout unconfirmed; its values are not guessed.
        if ((!fiveHour && !weekly) || remaining || !used) {
            confirmed = false;
            continue;
        }
        remaining = std::clamp(100.0 - *used, 0.0, 100.0);
        (fiveHour ? snapshot.fiveHourResetAt : snapshot.weeklyResetAt) = unixDate(*window, "resetsAt");
    }
    snapshot.creditsRemaining = creditsText(*limits);
    snapshot.bankedReset = bankedReset(result);
    snapshot.planType = trimmedText(*limits, "planType");
    snapshot.limitId = trimmedText(*limits, "limitId");
    if (confirmed)
        snapshot.codexPeriodValidationVersion = CodexPeriodValidation::currentVersion;
    return snapshot;
}

} // namespace vantorel
