#include "core/sources/StatusService.h"

#include "core/foundation/Json.h"
#include "core/rules/StatusChangeDetector.h"
#include "core/sources/SourceHttp.h"
#include "core/sources/StatusServiceError.h"

#include <QSet>

namespace vantorel {

namespace {

const char* const unreadableDocument = "ステータスAPIの応答を読み取れませんでした。";
const char* const oversizedDocument = "ステータスAPIの応答が大きすぎるため読み取りませんでした。";

int severity(OverallCodexState state)
{
    switch (state) {
    case OverallCodexState::normal:
        return 0;
    case OverallCodexState::degraded:
        return 1;
    case OverallCodexState::outage:
    case OverallCodexState::fetchFailed:
        return 2;
    }
    return 0;
}

// Names are compared the way a user types them in the settings: trimmed, case-insensitive.
QString comparable(const QString& name)
{
    return name.trimmed().toCaseFolded();
}

QStringList comparableList(const QStringList& names)
{
    QStringList result;
    for (const QString& name : names) {
        QString key = comparable(name);
        if (!key.isEmpty())
            result.append(std::move(key));
    }
    return result;
}

struct PageComponent
{
    ServiceStatus status;
    QString key;
};

QList<PageComponent> pageComponents(const Json& document, Date now)
{
    QList<PageComponent> components;
    const Json* list = json::member(document, "components");
    if (!list || !list->is_array())
        return components;
    components.reserve(qsizetype(list->size()));
    for (const Json& entry : *list) {
        auto name = json::string(entry, "name");
        if (!name || name->trimmed().isEmpty())
            continue;
        PageComponent component;
        component.key = comparable(*name);
        component.status.componentName = std::move(*name);
        const auto raw = json::string(entry, "status");
        component.status.status =
            raw ? componentHealthFromRaw(*raw).value_or(ComponentHealth::unknown) : ComponentHealth::unknown;
        const auto updated = json::string(entry, "updated_at");
        component.status.updatedAt = (updated ? Date::fromIso8601Lenient(*updated) : std::nullopt).value_or(now);
        components.append(std::move(component));
    }
    return components;
}

QList<ServiceStatus> watchedServices(const QList<PageComponent>& components, const QStringList& componentNames,
                                     const QStringList& matchingKeywords)
{
    QList<ServiceStatus> watched;
    const QStringList names = comparableList(componentNames);
    if (!names.isEmpty()) {
        const QSet<QString> wanted(names.cbegin(), names.cend());
        for (const PageComponent& component : components) {
            if (wanted.contains(component.key))
                watched.append(component.status);
        }
    }
    if (watched.isEmpty()) {
        const QStringList keywords = comparableList(matchingKeywords);
        for (const PageComponent& component : components) {
            for (const QString& keyword : keywords) {
                if (component.key.contains(keyword)) {
                    watched.append(component.status);
                    break;
                }
            }
        }
    }
    return watched;
}

bool isOver(const QString& incidentStatus)
{
    const QString status = incidentStatus.trimmed();
    return status.compare(QLatin1String("resolved"), Qt::CaseInsensitive) == 0
        || status.compare(QLatin1String("postmortem"), Qt::CaseInsensitive) == 0;
}

QList<Incident> openIncidents(const Json& document)
{
    QList<Incident> incidents;
    const Json* list = json::member(document, "incidents");
    if (!list || !list->is_array())
        return incidents;
    for (const Json& entry : *list) {
        auto name = json::string(entry, "name");
        if (!name)
            continue;
        Incident incident;
        incident.name = std::move(*name);
        incident.status = json::string(entry, "status").value_or(QString());
        if (isOver(incident.status))
            continue;
        incident.impact = json::string(entry, "impact");
        if (const auto updated = json::string(entry, "updated_at"))
            incident.updatedAt = Date::fromIso8601Lenient(*updated);
        incidents.append(std::move(incident));
    }
    return incidents;
}

} // namespace

QUrl StatusService::openAIEndpoint()
{
    return QUrl(QStringLiteral("https://status.openai.com/api/v2/summary.json"));
}

QUrl StatusService::claudeEndpoint()
{
    return QUrl(QStringLiteral("https://status.claude.com/api/v2/summary.json"));
}

HttpClient::Options StatusService::transportOptions()
{
    return SourceHttp::options(true, maximumResponseBytes);
}

StatusService::StatusService(QUrl endpoint, std::shared_ptr<HttpTransport> transport, Clock clock)
    : m_endpoint(std::move(endpoint))
    , m_transport(SourceHttp::transportOr(std::move(transport), transportOptions()))
    , m_clock(std::move(clock))
{
}

QCoro::Task<CodexStatusSummary> StatusService::fetchSummary(QStringList componentNames, QStringList matchingKeywords,
                                                            CancelToken token)
{
    // Nothing below the await touches the service, which may be gone by then.
    const Clock clock = m_clock;
    HttpRequest request;
    request.url = m_endpoint;
    request.headers.set("Accept", "application/json");
    const HttpResponse response =
        co_await SourceHttp::send(m_transport, std::move(request), maximumResponseBytes, token,
                                  std::make_exception_ptr(JsonDecodeError(oversizedDocument)));
    if (!response.isSuccess())
        throw StatusServiceError::badHTTPStatus(response.statusCode);
    co_return summary(response.body, componentNames, matchingKeywords, clock());
}

CodexStatusSummary StatusService::summary(const QByteArray& document, const QStringList& componentNames,
                                          const QStringList& matchingKeywords, Date now)
{
    const auto parsed = json::parse(document);
    if (!parsed || !parsed->is_object())
        throw JsonDecodeError(unreadableDocument);
    const Json* status = json::member(*parsed, "status");
    const Json* components = json::member(*parsed, "components");
    const bool hasStatus = status && status->is_object();
    if (!hasStatus && !(components && components->is_array()))
        throw JsonDecodeError(unreadableDocument);

    CodexStatusSummary summary;
    summary.pageIndicator = hasStatus ? json::string(*status, "indicator").value_or(QStringLiteral("unknown"))
                                      : QStringLiteral("unknown");
    summary.pageDescription = hasStatus ? json::string(*status, "description").value_or(QString()) : QString();
    summary.services = StatusChangeDetector::coalescedServices(
        watchedServices(pageComponents(*parsed, now), componentNames, matchingKeywords));
    summary.incidents = openIncidents(*parsed);

    std::optional<OverallCodexState> worst;
    for (const ServiceStatus& service : summary.services) {
        if (service.status == ComponentHealth::unknown)
            continue;
        const OverallCodexState state = overallState(service.status);
        if (!worst || severity(state) > severity(*worst))
            worst = state;
    }
    summary.overallStatus = worst.value_or(overallState(summary.pageIndicator));
    summary.updatedAt = now;
    summary.lastSuccessfulFetchAt = now;
    return summary;
}

OverallCodexState StatusService::overallState(ComponentHealth health)
{
    switch (health) {
    case ComponentHealth::operational:
    case ComponentHealth::unknown:
        return OverallCodexState::normal;
    case ComponentHealth::degradedPerformance:
    case ComponentHealth::underMaintenance:
        return OverallCodexState::degraded;
    case ComponentHealth::partialOutage:
    case ComponentHealth::majorOutage:
        return OverallCodexState::outage;
    }
    return OverallCodexState::normal;
}

OverallCodexState StatusService::overallState(QStringView pageIndicator)
{
    const QStringView indicator = pageIndicator.trimmed();
    const auto is = [indicator](const char* word) {
        return indicator.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    };
    if (is("major") || is("critical"))
        return OverallCodexState::outage;
    if (is("minor") || is("maintenance"))
        return OverallCodexState::degraded;
    return OverallCodexState::normal;
}

} // namespace vantorel
