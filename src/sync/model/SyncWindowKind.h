#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// A usage window as the sync snapshot names it; its raw value is its JSON form and its id.
enum class SyncWindowKind { fiveHour, weekly };

inline constexpr std::array<SyncWindowKind, 2> syncWindowKindAllCases = {SyncWindowKind::fiveHour,
                                                                         SyncWindowKind::weekly};

inline QString rawValue(SyncWindowKind kind)
{
    switch (kind) {
    case SyncWindowKind::fiveHour:
        return QStringLiteral("fiveHour");
    case SyncWindowKind::weekly:
        return QStringLiteral("weekly");
    }
    return {};
}

inline std::optional<SyncWindowKind> syncWindowKindFromRaw(QStringView raw)
{
    for (const auto kind : syncWindowKindAllCases) {
        if (raw == rawValue(kind))
            return kind;
    }
    return std::nullopt;
}

inline QString displayName(SyncWindowKind kind)
{
    switch (kind) {
    case SyncWindowKind::fiveHour:
        return QStringLiteral("5時間枠");
    case SyncWindowKind::weekly:
        return QStringLiteral("週間枠");
    }
    return {};
}

// The short label of the window ("5h", "1W").
inline QString label(SyncWindowKind kind)
{
    switch (kind) {
    case SyncWindowKind::fiveHour:
        return QStringLiteral("5h");
    case SyncWindowKind::weekly:
        return QStringLiteral("1W");
    }
    return {};
}

} // namespace vantorel
