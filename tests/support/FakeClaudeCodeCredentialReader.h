#pragma once

#include "app/platform/ClaudeCodeCredentialReader.h"

#include <QByteArray>

#include <exception>
#include <memory>

namespace vantorel {

// Answers reads of Claude Code's credential from memory: the payload or error set last (taken
// when the read starts). While held, reads wait until released (or cancelled), so tests can
// overlap reads and cancel one in flight.
class FakeClaudeCodeCredentialReader final : public ClaudeCodeCredentialReader
{
public:
    FakeClaudeCodeCredentialReader();

    void setPayload(QByteArray payload);
    // Later reads throw this error (for example a ClaudeCodeTokenStoreError).
    template <typename E>
    void setError(E error)
    {
        setErrorPointer(std::make_exception_ptr(std::move(error)));
    }

    void setHeld(bool held);
    // Lets every read waiting so far go on, in the order they started.
    void releaseHeldReads();
    int heldReadCount() const;

    // Reads started so far.
    int readCount() const;

    QCoro::Task<QByteArray> readCredential(CancelToken token) override;

private:
    void setErrorPointer(std::exception_ptr error);

    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace vantorel
