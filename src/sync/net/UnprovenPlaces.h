#pragma once

#include "sync/net/PskConnection.h"

#include <QByteArray>
#include <QHash>
#include <QUuid>

#include <deque>
#include <optional>

namespace vantorel {

// Places for connections whose peer has not proven the key yet, shared between the addresses a
// paired device proved the key from lately and every other address. Remembered connections may
// take places nobody else needs, but against others they keep only a share: hosts behind the
// phone's IPv4 address, or one that took an address the phone used, may flood from a remembered
// address too, and must not shut a new address (the phone having moved, a device pairing) out.
// Each side gives way by address: the oldest connection of the address (or group) holding most
// goes first, so a flood displaces its own.
class UnprovenPlaces
{
public:
    UnprovenPlaces(int capacity, int rememberedShare);

    // The connection that must give way before a newcomer from `origin` is held, or nullopt when
    // there is room. Once every place is taken: a remembered one when remembered ones hold their
    // share and the newcomer is remembered too, or hold more than their share; another one else.
    std::optional<QUuid> givingWayTo(const PskConnection::Origin& origin) const;
    // Holds `id` as the newest connection from `origin`; room must have been made.
    void hold(const QUuid& id, const PskConnection::Origin& origin);
    // False when `id` is not held.
    bool release(const QUuid& id);
    void clear();

    bool contains(const QUuid& id) const { return m_held.contains(id); }
    // Where the peer of a held connection is; nullptr when `id` is not held.
    const PskConnection::Origin* originOf(const QUuid& id) const;
    int size() const { return int(m_held.size()); }

private:
    struct Held
    {
        PskConnection::Origin origin;
        quint64 order = 0;
    };
    struct Entry
    {
        quint64 order = 0;
        QUuid id;
    };
    using Groups = QHash<QByteArray, std::deque<Entry>>;

    // The oldest connection of the group holding most; the oldest of those groups on a tie.
    static QUuid oldestOfLargest(const Groups& groups);

    const int m_capacity;
    const int m_rememberedShare;
    QHash<QUuid, Held> m_held;
    // Oldest first in each group.
    Groups m_remembered;
    Groups m_others;
    int m_rememberedCount = 0;
    quint64 m_nextOrder = 0;
};

} // namespace vantorel
