#include "core/rules/StatusChangeDetector.h"

#include <QStringList>

#include <algorithm>

namespace vantorel {

namespace {

int mergeRank(ComponentHealth health)
{
    switch (health) {
    case ComponentHealth::operational: return 0;
    case ComponentHealth::unknown: return 1;
    case ComponentHealth::degradedPerformance:
    case ComponentHealth::underMaintenance: return 2;
    case ComponentHealth::partialOutage: return 3;
    case ComponentHealth::majorOutage: return 4;
    }
    return 0;
}

// Unknown counts as operational here: losing sight of a component is not an outage.
int worseningRank(ComponentHealth health)
{
    switch (health) {
    case ComponentHealth::operational:
    case ComponentHealth::unknown: return 0;
    case ComponentHealth::degradedPerformance:
    case ComponentHealth::underMaintenance: return 1;
    case ComponentHealth::partialOutage: return 2;
    case ComponentHealth::majorOutage: return 3;
    }
    return 0;
}

} // namespace

QList<ServiceStatus> StatusChangeDetector::coalescedServices(const QList<ServiceStatus>& services)
{
    QList<ServiceStatus> merged;
    QHash<QString, qsizetype> indexByName;
    for (const ServiceStatus& service : services) {
        const auto found = indexByName.constFind(service.componentName);
        if (found == indexByName.constEnd()) {
            indexByName.insert(service.componentName, merged.size());
            merged.append(service);
            continue;
        }
        ServiceStatus& kept = merged[found.value()];
        if (mergeRank(service.status) > mergeRank(kept.status)) {
            kept.status = service.status;
        }
        if (service.updatedAt > kept.updatedAt) {
            kept.updatedAt = service.updatedAt;
        }
    }
    return merged;
}

QHash<QString, ComponentHealth> StatusChangeDetector::baseline(const QList<ServiceStatus>& services)
{
    QHash<QString, ComponentHealth> map;
    for (const ServiceStatus& service : coalescedServices(services)) {
        map.insert(service.componentName, service.status);
    }
    return map;
}

std::optional<StatusChangeNotification> StatusChangeDetector::notification(
    const QString& providerName, const QHash<QString, ComponentHealth>& previousStatuses,
    const QList<ServiceStatus>& currentServices)
{
    QList<ServiceStatus> worsened;
    for (const ServiceStatus& service : coalescedServices(currentServices)) {
        const auto previous = previousStatuses.constFind(service.componentName);
        if (previous != previousStatuses.constEnd() && worseningRank(service.status) > worseningRank(previous.value())) {
            worsened.append(service);
        }
    }
    if (worsened.isEmpty()) {
        return std::nullopt;
    }
    std::sort(worsened.begin(), worsened.end(), [](const ServiceStatus& a, const ServiceStatus& b) {
        return a.componentName < b.componentName;
    });
    QStringList lines;
    for (const ServiceStatus& service : worsened) {
        lines.append(service.componentName + QStringLiteral(": ") + label(service.status));
    }
    return StatusChangeNotification{providerName + QStringLiteral(" Status が悪化しました"), lines.join(u'\n')};
}

QString StatusChangeDetector::label(ComponentHealth health)
{
    switch (health) {
    case ComponentHealth::degradedPerformance: return QStringLiteral("劣化");
    case ComponentHealth::underMaintenance: return QStringLiteral("メンテナンス");
    case ComponentHealth::partialOutage: return QStringLiteral("一部障害");
    case ComponentHealth::majorOutage: return QStringLiteral("障害");
    case ComponentHealth::operational:
    case ComponentHealth::unknown: break;
    }
    return QString();
}

} // namespace vantorel
