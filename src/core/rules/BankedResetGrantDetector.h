#pragma once

#include "core/model/BankedResetSummary.h"
#include "core/rules/BankedResetGrant.h"

#include <cstdint>
#include <optional>

namespace vantorel {

// Tells newly granted banked reset credits from the remembered summary, and keeps that memory.
//
// The remembered summary takes a higher or equal available count at once (a rise is announced
// as it is seen), but a lower count only once the same lower count has been read on
// `countDropConfirmations` successive readings; a single low reading between two normal ones
// would otherwise make the next normal one look like a grant. Credits are remembered by id so
// that a credit that leaves a reading and comes back is not announced again.
struct BankedResetGrantDetector
{
    static constexpr std::int64_t countDropConfirmations = 2;

    // The summary to remember after `current`: the merged count with its pending drop, then the
    // current credits followed by the remembered ones the reading no longer lists (credits
    // without an id are not remembered), at most `maximumRememberedCredits`. A reading without
    // a credit list keeps the remembered list.
    static BankedResetSummary updatedBaseline(const std::optional<BankedResetSummary>& previous,
                                              const BankedResetSummary& current, qsizetype maximumRememberedCredits);

    // A grant when the available count rose above the remembered one (none remembered counts as
    // 0) or available credits with ids not remembered appeared. Without any remembered summary
    // every available credit is new; a remembered summary without a credit list leaves only the
    // count to go by. The granted count is the larger of the rise and the new credits.
    static std::optional<BankedResetGrant> detect(const std::optional<BankedResetSummary>& previous,
                                                  const BankedResetSummary& current);
};

} // namespace vantorel
