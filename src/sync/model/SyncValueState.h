#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// The state of a synced window value; its raw value is its JSON form.
enum class SyncValueState { available, temporarilyUnavailable, notFetched, fetchFailed, disabled };

inline QString rawValue(SyncValueState state)
{
    switch (state) {
    case SyncValueState::available:
        return QStringLiteral("available");
    case SyncValueState::temporarilyUnavailable:
        return QStringLiteral("temporarilyUnavailable");
    case SyncValueState::notFetched:
        return QStringLiteral("notFetched");
    case SyncValueState::fetchFailed:
        return QStringLiteral("fetchFailed");
    case SyncValueState::disabled:
        return QStringLiteral("disabled");
    }
    return {};
}

inline std::optional<SyncValueState> syncValueStateFromRaw(QStringView raw)
{
    static constexpr std::array<SyncValueState, 5> states = {
        SyncValueState::available,   SyncValueState::temporarilyUnavailable, SyncValueState::notFetched,
        SyncValueState::fetchFailed, SyncValueState::disabled,
    };
    for (const auto state : states) {
        if (raw == rawValue(state))
            return state;
    }
    return std::nullopt;
}

inline QString displayName(SyncValueState state)
{
    switch (state) {
    case SyncValueState::available:
        return QStringLiteral("正常");
    case SyncValueState::temporarilyUnavailable:
        return QStringLiteral("一時停止中");
    case SyncValueState::notFetched:
        return QStringLiteral("未取得");
    case SyncValueState::fetchFailed:
        return QStringLiteral("取得失敗");
    case SyncValueState::disabled:
        return QStringLiteral("MacでOFF");
    }
    return {};
}

} // namespace vantorel
