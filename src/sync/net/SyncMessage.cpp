#include "sync/net/SyncMessage.h"

#include "sync/model/SyncJsonReader.h"
#include "sync/model/SyncJsonWriter.h"
#include "sync/net/SyncEnvelope.h"

#include <array>
#include <string_view>

namespace vantorel {

namespace {

constexpr std::array<std::string_view, 5> caseNames = {"readSnapshot", "snapshot", "pair", "paired", "failure"};

template <typename T>
Json payloadObject(const T& value)
{
    SyncJsonWriter out;
    out.setJson("_0", toSyncJson(value));
    return out.take();
}

} // namespace

Json toSyncJson(const SyncMessage& message)
{
    Json inner = std::visit(
        [](const auto& value) -> Json {
            using Case = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Case, SyncMessage::ReadSnapshot>) {
                return Json::object();
            } else if constexpr (std::is_same_v<Case, SyncMessage::Snapshot>) {
                return payloadObject(value.snapshot);
            } else if constexpr (std::is_same_v<Case, SyncMessage::Pair>) {
                SyncJsonWriter out;
                out.set("deviceName", value.deviceName);
                return out.take();
            } else if constexpr (std::is_same_v<Case, SyncMessage::Paired>) {
                return payloadObject(value.host);
            } else {
                return payloadObject(value.error);
            }
        },
        message.payload);
    Json object = Json::object();
    object[std::string(caseNames[message.payload.index()])] = std::move(inner);
    return object;
}

void fromSyncJson(const Json& json, SyncMessage& message)
{
    if (!json.is_object())
        throw JsonDecodeError("SyncMessage: expected an object");
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < caseNames.size(); ++i) {
        if (!json.contains(caseNames[i]))
            continue;
        if (found)
            throw JsonDecodeError("SyncMessage: Invalid number of keys found, expected one.");
        found = i;
    }
    if (!found)
        throw JsonDecodeError("SyncMessage: Invalid number of keys found, expected one.");
    const std::string key(caseNames[*found]);
    const SyncJsonReader in(json.at(key), "SyncMessage." + key);
    switch (*found) {
    case 0:
        message = SyncMessage::readSnapshot();
        break;
    case 1:
        message = SyncMessage::snapshot(in.record<UsageSyncSnapshot>("_0"));
        break;
    case 2:
        message = SyncMessage::pair(in.string("deviceName"));
        break;
    case 3:
        message = SyncMessage::paired(in.record<PairedHost>("_0"));
        break;
    default:
        message = SyncMessage::failure(in.record<UsageSyncError>("_0"));
        break;
    }
}

Json toSyncJson(const SyncEnvelope& envelope)
{
    SyncJsonWriter out;
    out.set("version", envelope.version);
    out.setJson("message", toSyncJson(envelope.message));
    return out.take();
}

void fromSyncJson(const Json& json, SyncEnvelope& envelope)
{
    const SyncJsonReader in(json, "SyncEnvelope");
    envelope.version = in.integer("version");
    envelope.message = in.record<SyncMessage>("message");
}

} // namespace vantorel
