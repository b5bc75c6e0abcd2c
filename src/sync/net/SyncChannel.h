#pragma once

#include "core/foundation/CancelToken.h"
#include "core/foundation/PendingCompletion.h"
#include "core/foundation/TaskHandle.h"
#include "sync/net/PskConnection.h"
#include "sync/net/SyncFrameDecoder.h"
#include "sync/net/SyncMessage.h"

#include <QCoroTask>
#include <QUuid>

#include <exception>
#include <memory>
#include <optional>

namespace vantorel {

class Sleeper;

// Turns one TLS-PSK connection into a pipe of whole messages: opens it, sends one framed
// envelope at a time, reads until exactly one frame has arrived, and closes it. One time-out
// slot is shared by all operations; a failure, a time-out or a bad frame closes the whole channel
// and ends every waiting operation with the same error. Main thread only.
//
// Callers hold the channel in a shared_ptr for as long as they use it (a waiting operation
// keeps it alive) and close it before dropping it. The connection's callbacks and the time-out
// hold it weakly.
class SyncChannel : public std::enable_shared_from_this<SyncChannel>
{
public:
    static constexpr double openTimeoutSeconds = 10.0;
    static constexpr double sendTimeoutSeconds = 10.0;
    // Shortest time-out armed: zero, negative and NaN time-outs all become this.
    static constexpr double minimumTimeoutSeconds = 0.01;
    static constexpr qsizetype readMaximumBytes = 16'384;

    // Owns `connection`, which must not have been started. `sleeper` measures the time-outs and
    // must outlive the channel.
    static std::shared_ptr<SyncChannel> create(std::unique_ptr<PskConnection> connection, Sleeper& sleeper);

    SyncChannel(const SyncChannel&) = delete;
    SyncChannel& operator=(const SyncChannel&) = delete;

    // A fresh random id, fixed for the channel's life.
    QUuid id() const { return m_id; }
    bool isClosed() const { return m_isClosed; }

    // Starts the connection and returns once it is ready (within `timeoutSeconds`). Throws
    // UsageSyncError (cancelled on a closed channel or a second open, the classified network
    // failure, timedOut) or CancellationError when `token` is cancelled, which also closes the
    // channel.
    QCoro::Task<> open(CancelToken token = {}, double timeoutSeconds = openTimeoutSeconds);

    // Sends one message and returns once the stack has taken its frame (10 s). Encoding and
    // framing errors are thrown unchanged and leave the channel alone; a closed channel or a
    // send already waiting gives UsageSyncError(cancelled).
    QCoro::Task<> send(SyncMessage message, CancelToken token = {});

    // Sends a frame made by frameOf() earlier, as send() would send its message. Lets a server
    // encode a message once for many channels.
    QCoro::Task<> sendFrame(QByteArray frame, CancelToken token = {});

    // The frame that send() sends for `message`. Throws the encoding and framing errors. Safe on
    // any thread.
    static QByteArray frameOf(const SyncMessage& message);

    // The next message, waiting at most `timeoutSeconds`. A closed channel or a receive already
    // waiting gives UsageSyncError(cancelled); a bad frame or envelope closes the channel with
    // invalidData, another protocol version with unsupportedVersion, an early end with
    // unavailable.
    QCoro::Task<SyncMessage> receive(double timeoutSeconds, CancelToken token = {});

    // Closes the channel, cancels the connection and ends whatever waits with `error`. Does
    // nothing on a closed channel.
    void close(std::exception_ptr error);
    template <typename E>
        requires std::derived_from<E, std::exception>
    void close(const E& error)
    {
        close(std::make_exception_ptr(error));
    }

private:
    SyncChannel(std::unique_ptr<PskConnection> connection, Sleeper& sleeper);

    [[nodiscard]] CancelToken::Registration closeOnCancel(const CancelToken& token);
    void armTimeout(double seconds);
    void receiveChunk();
    void handleState(PskConnection::State state, const std::optional<NetworkError>& error);
    void handleSent(const std::optional<NetworkError>& error);
    void handleChunk(const QByteArray& bytes, bool isComplete, const std::optional<NetworkError>& error);
    void readChunk(const QByteArray& bytes, bool isComplete, const std::optional<NetworkError>& error);

    static QCoro::Task<> timeout(std::weak_ptr<SyncChannel> channel, Sleeper& sleeper, double seconds, CancelToken token);

    const QUuid m_id;
    std::unique_ptr<PskConnection> m_connection;
    Sleeper& m_sleeper;
    SyncFrameDecoder m_decoder;
    std::optional<PendingCompletion<>> m_ready;
    std::optional<PendingCompletion<SyncMessage>> m_reader;
    std::optional<PendingCompletion<>> m_writer;
    TaskHandle m_timer;
    bool m_isClosed = false;
    bool m_openCalled = false;
};

} // namespace vantorel
