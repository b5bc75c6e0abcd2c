#include "core/foundation/CancelToken.h"

#include "core/foundation/CancellationError.h"

#include <mutex>
#include <utility>
#include <vector>

namespace vantorel {

struct CancelToken::State
{
    std::mutex mutex;
    bool cancelled = false;
    std::uint64_t nextId = 1;
    std::vector<std::pair<std::uint64_t, std::function<void()>>> callbacks;
    // A child's link to its parent; dropping the child's state unregisters it.
    Registration parentLink;

    void unregister(std::uint64_t id)
    {
        // The callback is destroyed outside the lock: it may own copies of other tokens.
        std::function<void()> removed;
        std::lock_guard lock(mutex);
        for (auto it = callbacks.begin(); it != callbacks.end(); ++it) {
            if (it->first == id) {
                removed = std::move(it->second);
                callbacks.erase(it);
                break;
            }
        }
    }
};

CancelToken::Registration::Registration(std::weak_ptr<State> state, std::uint64_t id)
    : m_state(std::move(state))
    , m_id(id)
{
}

CancelToken::Registration::Registration(Registration&& other) noexcept
    : m_state(std::move(other.m_state))
    , m_id(std::exchange(other.m_id, 0))
{
}

CancelToken::Registration& CancelToken::Registration::operator=(Registration&& other) noexcept
{
    if (this != &other) {
        reset();
        m_state = std::move(other.m_state);
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

CancelToken::Registration::~Registration()
{
    reset();
}

void CancelToken::Registration::reset()
{
    if (auto state = m_state.lock())
        state->unregister(m_id);
    m_state.reset();
    m_id = 0;
}

CancelToken::CancelToken()
    : m_state(std::make_shared<State>())
{
}

bool CancelToken::isCancelled() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->cancelled;
}

void CancelToken::cancel() const
{
    // Keep the state alive even if a callback drops the last other copy of this token.
    const auto state = m_state;
    {
        std::lock_guard lock(state->mutex);
        if (state->cancelled)
            return;
        state->cancelled = true;
    }
    // One at a time from the state, so a callback that releases a later registration (and the
    // object it captures) keeps that one from running.
    for (;;) {
        std::function<void()> callback;
        {
            std::lock_guard lock(state->mutex);
            if (state->callbacks.empty())
                break;
            callback = std::move(state->callbacks.front().second);
            state->callbacks.erase(state->callbacks.begin());
        }
        callback();
    }
}

void CancelToken::throwIfCancelled() const
{
    if (isCancelled())
        throw CancellationError();
}

CancelToken::Registration CancelToken::onCancel(std::function<void()> callback) const
{
    {
        std::lock_guard lock(m_state->mutex);
        if (!m_state->cancelled) {
            const auto id = m_state->nextId++;
            m_state->callbacks.emplace_back(id, std::move(callback));
            return Registration(m_state, id);
        }
    }
    callback();
    return {};
}

CancelToken CancelToken::child() const
{
    CancelToken child;
    std::weak_ptr<State> weakChild = child.m_state;
    auto link = onCancel([weakChild] {
        if (auto state = weakChild.lock()) {
            CancelToken token;
            token.m_state = std::move(state);
            token.cancel();
        }
    });
    // Only the child's own thread touches parentLink, and only here and at destruction.
    child.m_state->parentLink = std::move(link);
    return child;
}

} // namespace vantorel
