#pragma once

#include "sync/net/HeldConnections.h"

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace vantorel::fuzz {

// Plays bytes as a sequence of holds (from up to 1,024 addresses) and takes against
// HeldConnections and checks each answer against a plain model of what must be held. Returns an
// empty string when every answer matched, else what differed. Many addresses matter: a mistake in
// keeping groups apart may show only once they outnumber what one bucket span of a hash holds.
inline std::string playHeldConnections(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return {};
    // Limits from the first two bytes: with one place an address, every group is as large as
    // the largest, and a group empties whenever every place is taken.
    const int perAddress = 1 + (data[0] & 3);
    const int maximumHeld = 200 + data[1];
    data += 2;
    size -= 2;
    HeldConnections held(perAddress, maximumHeld);
    std::map<QByteArray, std::deque<int>> model;
    // The groups holding connections, the one whose turn is next first.
    std::deque<QByteArray> turns;
    int heldCount = 0;
    int nextDescriptor = 0;

    const auto forget = [&](const QByteArray& group) {
        model.erase(group);
        turns.erase(std::find(turns.begin(), turns.end(), group));
    };
    // The model's own answer when `given` must be the oldest of one of `candidates`.
    const auto takeOldestOf = [&](const std::vector<QByteArray>& candidates, int given) -> bool {
        for (const QByteArray& group : candidates) {
            std::deque<int>& queue = model[group];
            if (queue.front() != given)
                continue;
            queue.pop_front();
            --heldCount;
            if (queue.empty())
                forget(group);
            return true;
        }
        return false;
    };

    const auto holdOne = [&](int address) -> std::string {
        const QByteArray group = QByteArray::number(address);
        const int descriptor = nextDescriptor++;
        const int givenUp = held.hold(group, descriptor);
        const auto found = model.find(group);
        if (found != model.end() && int(found->second.size()) >= perAddress) {
            if (!takeOldestOf({group}, givenUp))
                return "a full address gave up " + std::to_string(givenUp) + ", not its own oldest";
        } else if (heldCount >= maximumHeld) {
            std::size_t most = 0;
            std::vector<QByteArray> largest;
            for (const auto& [name, queue] : model) {
                if (queue.size() > most) {
                    most = queue.size();
                    largest.clear();
                }
                if (queue.size() == most)
                    largest.push_back(name);
            }
            if (!takeOldestOf(largest, givenUp))
                return "with every place taken " + std::to_string(givenUp) + " was given up, not the oldest of a largest group";
        } else if (givenUp != -1) {
            return "gave up " + std::to_string(givenUp) + " with room left";
        }
        if (!model.count(group))
            turns.push_back(group);
        model[group].push_back(descriptor);
        ++heldCount;
        if (held.size() != heldCount)
            return "holds " + std::to_string(held.size()) + ", should hold " + std::to_string(heldCount);
        return {};
    };

    for (std::size_t at = 0; at + 1 < size; at += 2) {
        const int op = data[at] & 3;
        if (op == 3) {
            const int given = held.next();
            if (turns.empty()) {
                if (given != -1)
                    return "next gave " + std::to_string(given) + " while nothing was held";
                continue;
            }
            const QByteArray group = turns.front();
            turns.pop_front();
            std::deque<int>& queue = model[group];
            if (given != queue.front())
                return "next gave " + std::to_string(given) + ", the group in turn held " + std::to_string(queue.front());
            queue.pop_front();
            --heldCount;
            if (queue.empty())
                model.erase(group);
            else
                turns.push_back(group);
            continue;
        }
        // Ten bits of address: 1,024 groups, far more than places. A burst holds one connection
        // of each of up to 255 addresses in a row, so that few bytes fill every place.
        const int first = ((data[at] >> 2) & 3) << 8 | data[at + 1];
        const int count = op == 2 ? data[at + 1] : 1;
        for (int i = 0; i < count; ++i) {
            const std::string mismatch = holdOne((op == 2 ? (data[at] >> 2) * 16 + i : first) % 1024);
            if (!mismatch.empty())
                return mismatch;
        }
    }
    std::vector<int> all = held.takeAll();
    std::vector<int> expected;
    for (const auto& [name, queue] : model)
        expected.insert(expected.end(), queue.begin(), queue.end());
    std::sort(all.begin(), all.end());
    std::sort(expected.begin(), expected.end());
    if (all != expected)
        return "took all: a different set than held";
    return {};
}

} // namespace vantorel::fuzz
