#include "core/model/RateLimitSnapshot.h"

#include "core/model/ModelCoding.h"

namespace vantorel {

namespace {

std::optional<double> remainingPercent(std::optional<std::int64_t> remaining, std::optional<std::int64_t> limit)
{
    if (!remaining || !limit || *limit < 1 || *remaining < 0 || *remaining > *limit) {
        return std::nullopt;
    }
    return static_cast<double>(*remaining) / static_cast<double>(*limit) * 100.0;
}

} // namespace

std::optional<double> RateLimitSnapshot::requestRemainingPercent() const
{
    return remainingPercent(requestsRemaining, requestLimit);
}

std::optional<double> RateLimitSnapshot::tokenRemainingPercent() const
{
    return remainingPercent(tokensRemaining, tokenLimit);
}

Json toJson(const RateLimitSnapshot& snapshot)
{
    Json object = Json::object();
    coding::putValue(object, "requestLimit", snapshot.requestLimit);
    coding::putValue(object, "requestsRemaining", snapshot.requestsRemaining);
    coding::putValue(object, "tokenLimit", snapshot.tokenLimit);
    coding::putValue(object, "tokensRemaining", snapshot.tokensRemaining);
    coding::putValue(object, "requestResetSeconds", snapshot.requestResetSeconds);
    coding::putValue(object, "tokenResetSeconds", snapshot.tokenResetSeconds);
    object["model"] = json::str(snapshot.model);
    object["source"] = json::str(snapshot.source);
    object["updatedAt"] = json::storeDateValue(snapshot.updatedAt);
    return object;
}

std::optional<RateLimitSnapshot> rateLimitSnapshotFromJson(const Json& value)
{
    FieldReader reader(value);
    RateLimitSnapshot snapshot;
    snapshot.requestLimit = reader.optionalInteger("requestLimit");
    snapshot.requestsRemaining = reader.optionalInteger("requestsRemaining");
    snapshot.tokenLimit = reader.optionalInteger("tokenLimit");
    snapshot.tokensRemaining = reader.optionalInteger("tokensRemaining");
    snapshot.requestResetSeconds = reader.optionalNumber("requestResetSeconds");
    snapshot.tokenResetSeconds = reader.optionalNumber("tokenResetSeconds");
    snapshot.model = reader.string("model");
    snapshot.source = reader.string("source");
    snapshot.updatedAt = reader.date("updatedAt");
    if (!reader.ok()) {
        return std::nullopt;
    }
    return snapshot;
}

} // namespace vantorel
