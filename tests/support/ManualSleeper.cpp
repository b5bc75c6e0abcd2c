#include "support/ManualSleeper.h"

#include "support/DrainEvents.h"
#include "core/foundation/PendingCompletion.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace vantorel {

struct ManualSleeper::State
{
    struct Entry
    {
        std::uint64_t sequence;
        Date deadline;
        PendingCompletion<> woken;
    };

    explicit State(ManualClock clock)
        : clock(std::move(clock))
    {
    }

    ManualClock clock;
    std::vector<Entry> entries;
    QList<double> requested;
    std::uint64_t nextSequence = 0;

    void remove(std::uint64_t sequence)
    {
        std::erase_if(entries, [&](const Entry& entry) { return entry.sequence == sequence; });
    }

    // Earliest deadline, ties in start order.
    std::vector<Entry>::iterator earliest()
    {
        return std::min_element(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            if (a.deadline != b.deadline)
                return a.deadline < b.deadline;
            return a.sequence < b.sequence;
        });
    }
};

ManualSleeper::ManualSleeper(ManualClock clock)
    : m_state(std::make_shared<State>(std::move(clock)))
{
}

ManualSleeper::~ManualSleeper()
{
    // Sleeps still waiting would otherwise stay suspended for ever.
    auto entries = std::exchange(m_state->entries, {});
    for (auto& entry : entries)
        entry.woken.cancel();
    drainEvents();
}

QCoro::Task<> ManualSleeper::sleep(double seconds, CancelToken token)
{
    const auto state = m_state;
    state->requested.append(seconds);
    token.throwIfCancelled();
    if (!(seconds > 0.0))
        co_return;
    PendingCompletion<> woken;
    const auto sequence = state->nextSequence++;
    state->entries.push_back({sequence, state->clock.now() + seconds, woken});
    const std::weak_ptr<State> weakState = state;
    auto registration = token.onCancel([weakState, sequence, woken] {
        if (const auto s = weakState.lock())
            s->remove(sequence);
        woken.cancel();
    });
    co_await woken;
}

ManualClock ManualSleeper::clock() const
{
    return m_state->clock;
}

void ManualSleeper::advance(double seconds)
{
    const Date target = m_state->clock.now() + seconds;
    for (;;) {
        const auto next = m_state->earliest();
        if (next == m_state->entries.end() || next->deadline > target)
            break;
        const auto entry = *next;
        m_state->entries.erase(next);
        if (entry.deadline > m_state->clock.now())
            m_state->clock.set(entry.deadline);
        entry.woken.complete();
        drainEvents();
    }
    if (target > m_state->clock.now())
        m_state->clock.set(target);
    drainEvents();
}

bool ManualSleeper::advanceToNextDeadline()
{
    const auto deadline = nextDeadline();
    if (!deadline || !std::isfinite(deadline->timeIntervalSinceReferenceDate()))
        return false;
    advance(std::max(0.0, *deadline - m_state->clock.now()));
    return true;
}

int ManualSleeper::pendingCount() const
{
    return int(m_state->entries.size());
}

std::optional<Date> ManualSleeper::nextDeadline() const
{
    const auto next = m_state->earliest();
    if (next == m_state->entries.end())
        return std::nullopt;
    return next->deadline;
}

QList<double> ManualSleeper::requestedDurations() const
{
    return m_state->requested;
}

} // namespace vantorel
