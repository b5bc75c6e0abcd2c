#include "core/rules/BankedResetExpiryObservation.h"

namespace vantorel {

bool BankedResetExpiryObservation::isFreshForDelivery(Date date) const
{
    if (!current || !completedAt) {
        return false;
    }
    const double age = date - *completedAt;
    return age >= 0 && age <= freshnessWindow;
}

void BankedResetExpiryObservation::reset()
{
    current.reset();
    completedAt.reset();
    generation = QUuid::createUuid();
}

} // namespace vantorel
