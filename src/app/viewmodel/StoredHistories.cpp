#include "app/viewmodel/StoredHistories.h"

#include "app/viewmodel/StoredState.h"
#include "core/model/ListFromJsonText.h"

namespace vantorel {

namespace {

// Element by element, never as one tree of the whole list.
template <typename T>
QList<T> decodedHistory(const std::optional<QByteArray>& bytes, std::optional<T> (*decode)(const Json&))
{
    if (!bytes) {
        return {};
    }
    return listFromJsonTextSkippingInvalid(*bytes, decode).value_or(QList<T>());
}

} // namespace

StoredHistories StoredHistories::decode(const std::function<std::optional<QByteArray>(const QString& key)>& storedData)
{
    StoredHistories histories;
    histories.notifications = decodedHistory(storedData(StoredState::Keys::notificationHistory),
                                             &notificationHistoryEntryFromJson);
    histories.usage = decodedHistory(storedData(StoredState::Keys::usageHistory), &usageHistoryEntryFromJson);
    return histories;
}

} // namespace vantorel
