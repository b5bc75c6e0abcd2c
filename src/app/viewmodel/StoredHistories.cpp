#include "app/viewmodel/StoredHistories.h"

#include "core/foundation/JsonArrayElements.h"
#include "core/model/HistoryRetention.h"
#include "core/model/ListFromJsonText.h"
#include "core/model/ModelCoding.h"

namespace vantorel {

QList<NotificationHistoryEntry> StoredHistories::decodeNotifications(const QByteArray& text)
{
    return listFromJsonTextSkippingInvalid(text, &notificationHistoryEntryFromJson).value_or(QList<NotificationHistoryEntry>());
}

QList<UsageHistoryEntry> StoredHistories::decodeUsage(const QByteArray& text, Date referenceDate)
{
    HistoryRetention::UsageCollector collector(referenceDate);
    const bool isArray = json::parseArrayElements(text, [&collector](const Json& element) {
        // An element without a readable time does not decode either.
        FieldReader time(element);
        if (!collector.keeps(time.date("recordedAt")) || !time.ok()) {
            return;
        }
        if (auto sample = usageHistoryEntryFromJson(element)) {
            collector.add(std::move(*sample));
        }
    });
    return isArray ? std::move(collector).take() : QList<UsageHistoryEntry>();
}

} // namespace vantorel
