#pragma once

#include "core/foundation/Date.h"

#include <QString>

#include <optional>

namespace vantorel {

// How old a provider's data is, in the short Japanese forms the menu bar and cards show.
struct UsageFreshnessPresentation
{
    // Data whose last update is this old (seconds) or older is stale.
    static constexpr double staleInterval = 3600;

    // "未取得", "時刻を確認" (an update dated after `now`), "1分未満前", "3分前", "1日2時間前".
    static QString age(std::optional<Date> updatedAt, Date now);
    // False without an update; true from staleInterval on, and for an update dated in the future.
    static bool isStale(std::optional<Date> updatedAt, Date now);
    // "このPCで取得": what a fetch on the desktop side is called before its age.
    static QString fetchedHere();
    // The desktop-side freshness label of a provider card, "このPCで取得5分前" and its variants;
    // `failed` tells that the last attempt to update failed.
    static QString label(std::optional<Date> updatedAt, Date now, bool failed);
};

} // namespace vantorel
