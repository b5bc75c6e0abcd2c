#pragma once

#include "core/model/ComponentHealth.h"
#include "core/model/ServiceStatus.h"
#include "core/rules/StatusChangeNotification.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace vantorel {

// Compares a provider's status-page components with the healths remembered from the previous
// summary. Component names are matched as exact text.
struct StatusChangeDetector
{
    // Every name once, in order of first appearance; a duplicate takes the more severe health
    // (degraded and maintenance rank alike, so the earlier one stays) and the later date.
    static QList<ServiceStatus> coalescedServices(const QList<ServiceStatus>& services);
    // The remembered map of the coalesced list.
    static QHash<QString, ComponentHealth> baseline(const QList<ServiceStatus>& services);
    // The components that got worse than remembered, sorted by name; none when nothing did. A
    // component absent from the remembered map is ignored, so the first summary stays silent.
    static std::optional<StatusChangeNotification> notification(const QString& providerName,
                                                                const QHash<QString, ComponentHealth>& previousStatuses,
                                                                const QList<ServiceStatus>& currentServices);
    // The Japanese label of a worsened health ("劣化", "一部障害"...); empty for operational and unknown.
    static QString label(ComponentHealth health);
};

} // namespace vantorel
