#pragma once

#include "core/foundation/CancelToken.h"

#include <QByteArray>

#include <QCoroTask>

namespace vantorel {

// Fetches Claude Code's stored credential document as raw bytes, without interpreting them.
// The token store owns one; tests substitute a scripted reader.
class ClaudeCodeCredentialReader
{
public:
    virtual ~ClaudeCodeCredentialReader() = default;

    // Never blocks the calling thread and never changes the stored credential. Throws
    // ClaudeCodeTokenStoreError: keychainReadFailed when there is no credential or it cannot be
    // read, keychainTimedOut when the read outlasts the reader's time-out; CancellationError when
    // `token` is cancelled first. The reader may be destroyed while a read is under way.
    virtual QCoro::Task<QByteArray> readCredential(CancelToken token) = 0;
};

} // namespace vantorel
