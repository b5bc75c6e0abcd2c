#include "sync/net/UnprovenPlaces.h"

#include <algorithm>

namespace vantorel {

UnprovenPlaces::UnprovenPlaces(int capacity, int rememberedShare)
    : m_capacity(capacity)
    , m_rememberedShare(rememberedShare)
{
}

std::optional<QUuid> UnprovenPlaces::givingWayTo(const PskConnection::Origin& origin) const
{
    if (size() < m_capacity)
        return std::nullopt;
    const bool rememberedGiveWay =
        origin.remembered ? m_rememberedCount >= m_rememberedShare : m_rememberedCount > m_rememberedShare;
    return rememberedGiveWay || m_others.isEmpty() ? oldestOfLargest(m_remembered) : oldestOfLargest(m_others);
}

void UnprovenPlaces::hold(const QUuid& id, const PskConnection::Origin& origin)
{
    const quint64 order = m_nextOrder++;
    m_held.insert(id, {origin, order});
    (origin.remembered ? m_remembered : m_others)[origin.addressGroup].push_back({order, id});
    if (origin.remembered)
        ++m_rememberedCount;
}

bool UnprovenPlaces::release(const QUuid& id)
{
    const auto held = m_held.constFind(id);
    if (held == m_held.cend())
        return false;
    // Copies: erasing from either hash may move other entries into the freed slot.
    const PskConnection::Origin origin = held->origin;
    const quint64 order = held->order;
    m_held.erase(held);
    Groups& groups = origin.remembered ? m_remembered : m_others;
    const auto group = groups.find(origin.addressGroup);
    // Oldest first: the place of `order` is found by its order.
    const auto entry =
        std::lower_bound(group->begin(), group->end(), order, [](const Entry& e, quint64 o) { return e.order < o; });
    group->erase(entry);
    if (group->empty())
        groups.erase(group);
    if (origin.remembered)
        --m_rememberedCount;
    return true;
}

void UnprovenPlaces::clear()
{
    m_held.clear();
    m_remembered.clear();
    m_others.clear();
    m_rememberedCount = 0;
}

const PskConnection::Origin* UnprovenPlaces::originOf(const QUuid& id) const
{
    const auto held = m_held.constFind(id);
    return held == m_held.cend() ? nullptr : &held->origin;
}

QUuid UnprovenPlaces::oldestOfLargest(const Groups& groups)
{
    const std::deque<Entry>* chosen = nullptr;
    for (const std::deque<Entry>& group : groups) {
        if (!chosen || group.size() > chosen->size()
            || (group.size() == chosen->size() && group.front().order < chosen->front().order))
            chosen = &group;
    }
    return chosen->front().id;
}

} // namespace vantorel
