#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// A provider as the sync snapshot names it; its raw value is its JSON form and its id.
enum class SyncProviderID { codex, claude };

inline constexpr std::array<SyncProviderID, 2> syncProviderIDAllCases = {SyncProviderID::codex,
                                                                         SyncProviderID::claude};

inline QString rawValue(SyncProviderID id)
{
    switch (id) {
    case SyncProviderID::codex:
        return QStringLiteral("codex");
    case SyncProviderID::claude:
        return QStringLiteral("claude");
    }
    return {};
}

inline std::optional<SyncProviderID> syncProviderIDFromRaw(QStringView raw)
{
    for (const auto id : syncProviderIDAllCases) {
        if (raw == rawValue(id))
            return id;
    }
    return std::nullopt;
}

inline QString displayName(SyncProviderID id)
{
    switch (id) {
    case SyncProviderID::codex:
        return QStringLiteral("Codex");
    case SyncProviderID::claude:
        return QStringLiteral("Claude");
    }
    return {};
}

} // namespace vantorel
