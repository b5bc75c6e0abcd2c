#include "support/FakeClaudeCodeCredentialReader.h"

#include "core/foundation/PendingCompletion.h"

#include <vector>

namespace vantorel {

struct FakeClaudeCodeCredentialReader::State
{
    QByteArray payload;
    std::exception_ptr error;
    bool held = false;
    std::vector<PendingCompletion<>> gates;
    int reads = 0;
};

FakeClaudeCodeCredentialReader::FakeClaudeCodeCredentialReader()
    : m_state(std::make_shared<State>())
{
}

void FakeClaudeCodeCredentialReader::setPayload(QByteArray payload)
{
    m_state->payload = std::move(payload);
    m_state->error = nullptr;
}

void FakeClaudeCodeCredentialReader::setErrorPointer(std::exception_ptr error)
{
    m_state->error = std::move(error);
}

void FakeClaudeCodeCredentialReader::setHeld(bool held)
{
    m_state->held = held;
}

void FakeClaudeCodeCredentialReader::releaseHeldReads()
{
    auto gates = std::move(m_state->gates);
    m_state->gates.clear();
    for (const auto& gate : gates)
        gate.complete();
}

int FakeClaudeCodeCredentialReader::heldReadCount() const
{
    return int(m_state->gates.size());
}

int FakeClaudeCodeCredentialReader::readCount() const
{
    return m_state->reads;
}

QCoro::Task<QByteArray> FakeClaudeCodeCredentialReader::readCredential(CancelToken token)
{
    token.throwIfCancelled();
    const auto state = m_state;
    ++state->reads;
    const QByteArray payload = state->payload;
    const std::exception_ptr error = state->error;
    if (state->held) {
        PendingCompletion<> gate;
        state->gates.push_back(gate);
        const auto registration = token.onCancel([gate] { gate.cancel(); });
        co_await gate;
    }
    if (error)
        std::rethrow_exception(error);
    co_return payload;
}

} // namespace vantorel
