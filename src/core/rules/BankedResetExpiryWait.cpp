#include "core/rules/BankedResetExpiryWait.h"

#include "core/model/ModelCoding.h"

namespace vantorel {

Json toJson(const BankedResetExpiryWait& wait)
{
    Json inner = Json::object();
    inner["until"] = json::storeDateValue(wait.until);
    if (wait.kind == BankedResetExpiryWait::Kind::threshold) {
        inner["since"] = json::storeDateValue(wait.since);
    }
    Json outer = Json::object();
    outer[wait.kind == BankedResetExpiryWait::Kind::threshold ? "threshold" : "observation"] = std::move(inner);
    return outer;
}

std::optional<BankedResetExpiryWait> bankedResetExpiryWaitFromJson(const Json& value)
{
    if (!value.is_object() || value.contains("observation") == value.contains("threshold")) {
        return std::nullopt;
    }
    const bool threshold = value.contains("threshold");
    FieldReader reader(value.at(threshold ? "threshold" : "observation"));
    const Date until = reader.date("until");
    const Date since = threshold ? reader.date("since") : Date();
    if (!reader.ok()) {
        return std::nullopt;
    }
    return threshold ? BankedResetExpiryWait::threshold(until, since) : BankedResetExpiryWait::observation(until);
}

} // namespace vantorel
