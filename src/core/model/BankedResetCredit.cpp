#include "core/model/BankedResetCredit.h"

#include "core/model/ModelCoding.h"

namespace vantorel {

bool BankedResetCredit::isAvailable() const
{
    return status && status->trimmed().compare(u"available", Qt::CaseInsensitive) == 0;
}

Json toJson(const BankedResetCredit& credit)
{
    Json object = Json::object();
    object["id"] = json::str(credit.id);
    coding::putString(object, "resetType", credit.resetType);
    coding::putString(object, "status", credit.status);
    coding::putDate(object, "grantedAt", credit.grantedAt);
    coding::putDate(object, "expiresAt", credit.expiresAt);
    coding::putString(object, "title", credit.title);
    coding::putString(object, "description", credit.description);
    return object;
}

std::optional<BankedResetCredit> bankedResetCreditFromJson(const Json& value)
{
    FieldReader reader(value);
    BankedResetCredit credit;
    credit.id = reader.string("id");
    credit.resetType = reader.optionalString("resetType");
    credit.status = reader.optionalString("status");
    credit.grantedAt = reader.optionalDate("grantedAt");
    credit.expiresAt = reader.optionalDate("expiresAt");
    credit.title = reader.optionalString("title");
    credit.description = reader.optionalString("description");
    if (!reader.ok()) {
        return std::nullopt;
    }
    return credit;
}

} // namespace vantorel
