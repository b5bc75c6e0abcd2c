#pragma once

#include "core/foundation/Date.h"
#include "core/model/NotificationHistoryEntry.h"
#include "core/model/UsageHistoryEntry.h"

#include <QByteArray>
#include <QList>

namespace vantorel {

// The two histories decoded from their stored text, element by element, never as one tree of the
// whole list. Text that is not one JSON array gives an empty list; an element that does not
// decode is left out. Safe on any thread: they touch nothing but the bytes they are given.
struct StoredHistories
{
    // As stored: not yet sorted, cut or repaired.
    static QList<NotificationHistoryEntry> decodeNotifications(const QByteArray& text);
    // Only the samples that retention keeps at `referenceDate`, in its order: a sample outside
    // the window is never built, and a list far longer than retention keeps never stands in
    // memory whole.
    static QList<UsageHistoryEntry> decodeUsage(const QByteArray& text, Date referenceDate);
};

} // namespace vantorel
