#include "sync/model/UsageSyncSnapshot.h"

#include "sync/model/SyncDisplayName.h"
#include "sync/model/SyncJsonReader.h"
#include "sync/model/SyncJsonWriter.h"
#include "sync/model/SyncText.h"
#include "sync/model/UsageSyncError.h"

#include <QSet>

#include <cmath>

namespace vantorel {

namespace {

constexpr qsizetype maximumWindowsPerProvider = 2;
constexpr qsizetype maximumPlanNameCharacters = 128;
constexpr qsizetype maximumStatusTextCharacters = 256;
constexpr qsizetype maximumErrorMessageCharacters = 1'024;
constexpr qsizetype maximumCreditsCharacters = 256;
constexpr qsizetype maximumTitleCharacters = 256;
constexpr qsizetype maximumBodyCharacters = 4'096;
constexpr qsizetype maximumCategoryCharacters = 64;

[[noreturn]] void fail(UsageSyncError::Code code)
{
    throw UsageSyncError(code);
}

void require(bool condition)
{
    if (!condition)
        fail(UsageSyncError::Code::invalidData);
}

bool acceptablePercent(const std::optional<double>& percent)
{
    // Comparisons with NaN are false, so NaN fails here as well as the infinities.
    return !percent || (*percent >= 0.0 && *percent <= 100.0);
}

bool finiteIfPresent(const std::optional<Date>& date)
{
    return !date || date->isFinite();
}

bool withinCharacters(const std::optional<QString>& text, qsizetype limit)
{
    return !text || !SyncText::exceedsCharacters(*text, limit);
}

template <typename T, typename Key>
bool unique(const QList<T>& items, Key key)
{
    QSet<decltype(key(items.front()))> seen;
    seen.reserve(items.size());
    for (const T& item : items)
        seen.insert(key(item));
    return seen.size() == items.size();
}

void validateProvider(const SyncProviderSnapshot& provider)
{
    require(provider.windows.size() <= maximumWindowsPerProvider);
    require(unique(provider.windows, [](const SyncUsageWindow& window) { return window.kind; }));
    require(!provider.bankedResetCount || *provider.bankedResetCount >= 0);
    require(withinCharacters(provider.planName, maximumPlanNameCharacters));
    require(!SyncText::exceedsCharacters(provider.statusText, maximumStatusTextCharacters));
    require(withinCharacters(provider.errorMessage, maximumErrorMessageCharacters));
    require(withinCharacters(provider.creditsRemaining, maximumCreditsCharacters));
    require(finiteIfPresent(provider.updatedAt));
    require(finiteIfPresent(provider.bankedResetExpiresAt));
    for (const SyncUsageWindow& window : provider.windows) {
        require(acceptablePercent(window.remainingPercent));
        require(finiteIfPresent(window.resetAt));
        require(window.state != SyncValueState::available || window.remainingPercent.has_value());
    }
}

void validateHistoryEntry(const SyncUsageHistoryEntry& entry)
{
    require(acceptablePercent(entry.fiveHourRemainingPercent.toOptional()));
    require(acceptablePercent(entry.weeklyRemainingPercent.toOptional()));
    require(entry.recordedAt.isFinite());
}

void validateNotification(const SyncNotificationEntry& entry)
{
    require(!SyncText::exceedsCharacters(entry.title, maximumTitleCharacters));
    require(!SyncText::exceedsCharacters(entry.body, maximumBodyCharacters));
    require(!SyncText::exceedsCharacters(entry.category, maximumCategoryCharacters));
    require(entry.createdAt.isFinite());
}

} // namespace

bool UsageSyncSnapshot::operator==(const UsageSyncSnapshot& other) const
{
    return schemaVersion == other.schemaVersion && hostID == other.hostID && revision == other.revision
        && generatedAt == other.generatedAt && SyncText::canonicallyEqual(hostName, other.hostName)
        && SyncText::canonicallyEqual(sourceVersion, other.sourceVersion)
        && SyncText::canonicallyEqual(sourceBuild, other.sourceBuild)
        && refreshIntervalSeconds == other.refreshIntervalSeconds && SyncText::elementsEqual(providers, other.providers)
        && SyncText::elementsEqual(usageHistory, other.usageHistory)
        && SyncText::elementsEqual(notificationHistory, other.notificationHistory);
}

void UsageSyncSnapshot::validate(const std::optional<QUuid>& expectedHostID) const
{
    if (schemaVersion != currentSchemaVersion)
        fail(UsageSyncError::Code::unsupportedVersion);
    if (expectedHostID && hostID != *expectedHostID)
        fail(UsageSyncError::Code::wrongHost);
    require(providers.size() <= maximumProviders);
    require(unique(providers, [](const SyncProviderSnapshot& provider) { return provider.id; }));
    require(usageHistory.size() <= maximumUsageHistoryEntries);
    require(notificationHistory.size() <= maximumNotificationEntries);
    require(unique(usageHistory, [](const SyncUsageHistoryEntry& entry) { return entry.id; }));
    require(unique(notificationHistory, [](const SyncNotificationEntry& entry) { return entry.id; }));
    require(SyncDisplayName::isValid(hostName, maximumHostNameCharacters));
    require(!SyncText::exceedsCharacters(sourceVersion, maximumSourceVersionCharacters));
    require(!SyncText::exceedsCharacters(sourceBuild, maximumSourceVersionCharacters));
    require(refreshIntervalSeconds >= 1 && refreshIntervalSeconds <= maximumRefreshIntervalSeconds);
    require(generatedAt.isFinite());
    for (const SyncProviderSnapshot& provider : providers)
        validateProvider(provider);
    for (const SyncUsageHistoryEntry& entry : usageHistory)
        validateHistoryEntry(entry);
    for (const SyncNotificationEntry& entry : notificationHistory)
        validateNotification(entry);
}

UsageSyncSnapshot UsageSyncSnapshot::validated(const std::optional<QUuid>& expectedHostID) const&
{
    validate(expectedHostID);
    return *this;
}

UsageSyncSnapshot UsageSyncSnapshot::validated(const std::optional<QUuid>& expectedHostID) &&
{
    validate(expectedHostID);
    return std::move(*this);
}

void UsageSyncSnapshot::checkAccepted(const std::optional<UsageSyncSnapshot>& previous) const
{
    validate(previous ? std::optional(previous->hostID) : std::nullopt);
    checkFollows(previous);
}

void UsageSyncSnapshot::checkFollows(const std::optional<UsageSyncSnapshot>& previous) const
{
    if (!previous || revision > previous->revision)
        return;
    if (revision == previous->revision && *this == *previous)
        return;
    fail(UsageSyncError::Code::olderSnapshot);
}

UsageSyncSnapshot UsageSyncSnapshot::accepted(const std::optional<UsageSyncSnapshot>& previous) const&
{
    checkAccepted(previous);
    return *this;
}

UsageSyncSnapshot UsageSyncSnapshot::accepted(const std::optional<UsageSyncSnapshot>& previous) &&
{
    checkAccepted(previous);
    return std::move(*this);
}

Json toSyncJson(const UsageSyncSnapshot& snapshot)
{
    SyncJsonWriter out;
    out.set("schemaVersion", snapshot.schemaVersion);
    out.set("hostID", snapshot.hostID);
    out.set("revision", snapshot.revision);
    out.set("generatedAt", snapshot.generatedAt);
    out.set("hostName", snapshot.hostName);
    out.set("sourceVersion", snapshot.sourceVersion);
    out.set("sourceBuild", snapshot.sourceBuild);
    out.set("refreshIntervalSeconds", snapshot.refreshIntervalSeconds);
    out.set("providers", snapshot.providers);
    out.set("usageHistory", snapshot.usageHistory);
    out.set("notificationHistory", snapshot.notificationHistory);
    return out.take();
}

void fromSyncJson(const Json& json, UsageSyncSnapshot& snapshot)
{
    const SyncJsonReader in(json, "UsageSyncSnapshot");
    snapshot.schemaVersion = in.integer("schemaVersion");
    snapshot.hostID = in.uuid("hostID");
    snapshot.revision = in.unsignedInteger("revision");
    snapshot.generatedAt = in.date("generatedAt");
    snapshot.hostName = in.string("hostName");
    snapshot.sourceVersion = in.string("sourceVersion");
    snapshot.sourceBuild = in.string("sourceBuild");
    snapshot.refreshIntervalSeconds = in.integer("refreshIntervalSeconds");
    snapshot.providers = in.list<SyncProviderSnapshot>("providers");
    snapshot.usageHistory = in.list<SyncUsageHistoryEntry>("usageHistory");
    snapshot.notificationHistory = in.list<SyncNotificationEntry>("notificationHistory");
}

} // namespace vantorel
