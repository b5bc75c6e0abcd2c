#pragma once

#include "core/model/NotificationHistoryEntry.h"
#include "core/model/UsageHistoryEntry.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace vantorel {

// The two histories decoded from their stored text, as they were in the file: not yet sorted,
// pruned or repaired. Decoding them is the longest part of loading the stored state, so the
// start-up does it on the thread that reads the settings file and hands the lists to the view
// model, which then only prunes them.
struct StoredHistories
{
    QList<UsageHistoryEntry> usage;
    QList<NotificationHistoryEntry> notifications;

    // Reads each history's bytes through `storedData` (a key's data value, none when absent or
    // not data). Text that is not one JSON array gives an empty list; an element that does not
    // decode is left out. Safe on any thread: it touches nothing but what `storedData` returns.
    static StoredHistories decode(const std::function<std::optional<QByteArray>(const QString& key)>& storedData);
};

} // namespace vantorel
