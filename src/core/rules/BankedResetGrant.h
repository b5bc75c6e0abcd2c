#pragma once

#include "core/model/BankedResetCredit.h"

#include <QList>

#include <cstdint>

namespace vantorel {

// Banked reset credits that appeared since the remembered reading.
struct BankedResetGrant
{
    std::int64_t grantedCount = 0;
    // The newly seen available credits; empty when only the count told of the grant.
    QList<BankedResetCredit> newCredits;

    bool operator==(const BankedResetGrant&) const = default;
};

} // namespace vantorel
