#include "sync/net/SyncChannel.h"

#include "core/foundation/Sleeper.h"
#include "sync/model/SyncCoding.h"
#include "sync/net/SyncEnvelope.h"
#include "sync/net/SyncNetworkFailure.h"
#include "sync/net/SyncWire.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace vantorel {

namespace {

// Every callback's effect runs in its own main-thread turn, one at a time, after the callback
// returned; callbacks that may arrive on any thread (cancellation) go the same way.
void onMainThread(std::function<void()> effect)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(effect), Qt::QueuedConnection);
}

template <typename T>
std::optional<T> take(std::optional<T>& field)
{
    return std::exchange(field, std::nullopt);
}

} // namespace

std::shared_ptr<SyncChannel> SyncChannel::create(std::unique_ptr<PskConnection> connection, Sleeper& sleeper)
{
    return std::shared_ptr<SyncChannel>(new SyncChannel(std::move(connection), sleeper));
}

SyncChannel::SyncChannel(std::unique_ptr<PskConnection> connection, Sleeper& sleeper)
    : m_id(QUuid::createUuid())
    , m_connection(std::move(connection))
    , m_sleeper(sleeper)
{
}

CancelToken::Registration SyncChannel::closeOnCancel(const CancelToken& token)
{
    // Strong: a cancelled caller always closes the channel.
    return token.onCancel([self = shared_from_this()] { onMainThread([self] { self->close(CancellationError()); }); });
}

QCoro::Task<> SyncChannel::open(CancelToken token, double timeoutSeconds)
{
    const auto self = shared_from_this();
    const auto registration = closeOnCancel(token);
    token.throwIfCancelled();
    PendingCompletion<> completion;
    if (m_isClosed || m_openCalled) {
        completion.fail(UsageSyncError(UsageSyncError::Code::cancelled));
    } else {
        m_openCalled = true;
        m_ready = completion;
        armTimeout(timeoutSeconds);
        m_connection->setStateHandler(
            [weak = weak_from_this()](PskConnection::State state, const std::optional<NetworkError>& error) {
                onMainThread([weak, state, error] {
                    if (const auto channel = weak.lock())
                        channel->handleState(state, error);
                });
            });
        m_connection->start();
    }
    co_await completion;
}

void SyncChannel::handleState(PskConnection::State state, const std::optional<NetworkError>& error)
{
    switch (state) {
    case PskConnection::State::waiting:
    case PskConnection::State::failed:
        close(SyncNetworkFailure::classify(error.value_or(NetworkError{}), m_connection->isLocalNetworkDenied()));
        break;
    case PskConnection::State::ready:
        m_timer.cancel();
        if (const auto ready = take(m_ready))
            ready->complete();
        break;
    case PskConnection::State::cancelled:
        close(UsageSyncError(UsageSyncError::Code::cancelled));
        break;
    case PskConnection::State::preparing:
    case PskConnection::State::setup:
        break;
    }
}

QByteArray SyncChannel::frameOf(const SyncMessage& message)
{
    return SyncWire::frame(SyncCoding::encode(SyncEnvelope{SyncEnvelope::currentVersion, message}));
}

QCoro::Task<> SyncChannel::send(SyncMessage message, CancelToken token)
{
    // Encoding errors leave the channel alone: they are thrown before anything is waited for.
    QByteArray frame = frameOf(message);
    co_await sendFrame(std::move(frame), std::move(token));
}

QCoro::Task<> SyncChannel::sendFrame(QByteArray frame, CancelToken token)
{
    const auto self = shared_from_this();
    const auto registration = closeOnCancel(token);
    token.throwIfCancelled();
    PendingCompletion<> completion;
    if (m_isClosed || m_writer) {
        completion.fail(UsageSyncError(UsageSyncError::Code::cancelled));
    } else {
        m_writer = completion;
        armTimeout(sendTimeoutSeconds);
        m_connection->send(frame, [weak = weak_from_this()](const std::optional<NetworkError>& error) {
            onMainThread([weak, error] {
                if (const auto channel = weak.lock())
                    channel->handleSent(error);
            });
        });
    }
    co_await completion;
}

void SyncChannel::handleSent(const std::optional<NetworkError>& error)
{
    if (error) {
        close(SyncNetworkFailure::classify(*error, false));
        return;
    }
    m_timer.cancel();
    if (const auto writer = take(m_writer))
        writer->complete();
}

QCoro::Task<SyncMessage> SyncChannel::receive(double timeoutSeconds, CancelToken token)
{
    const auto self = shared_from_this();
    const auto registration = closeOnCancel(token);
    token.throwIfCancelled();
    PendingCompletion<SyncMessage> completion;
    if (m_isClosed || m_reader) {
        completion.fail(UsageSyncError(UsageSyncError::Code::cancelled));
    } else {
        m_reader = completion;
        armTimeout(timeoutSeconds);
        receiveChunk();
    }
    co_return co_await completion;
}

void SyncChannel::receiveChunk()
{
    m_connection->receive(1, readMaximumBytes,
                          [weak = weak_from_this()](const QByteArray& bytes, bool isComplete,
                                                    const std::optional<NetworkError>& error) {
                              onMainThread([weak, bytes, isComplete, error] {
                                  if (const auto channel = weak.lock())
                                      channel->handleChunk(bytes, isComplete, error);
                              });
                          });
}

void SyncChannel::handleChunk(const QByteArray& bytes, bool isComplete, const std::optional<NetworkError>& error)
{
    // The channel closed or the receive ended meanwhile: drop the bytes, read no further.
    if (!m_reader)
        return;
    try {
        readChunk(bytes, isComplete, error);
    } catch (const UsageSyncError& failure) {
        close(failure);
    } catch (...) {
        close(UsageSyncError(UsageSyncError::Code::invalidData));
    }
}

void SyncChannel::readChunk(const QByteArray& bytes, bool isComplete, const std::optional<NetworkError>& error)
{
    // Bytes first, then the read error, then the end of the stream: a read that brings the last
    // bytes of a frame together with an error or the end still delivers the message.
    if (!bytes.isEmpty()) {
        const QList<QByteArray> payloads = m_decoder.append(bytes);
        if (payloads.size() > 1)
            throw UsageSyncError(UsageSyncError::Code::invalidData);
        if (payloads.size() == 1) {
            SyncEnvelope envelope = SyncCoding::decode<SyncEnvelope>(payloads.front());
            if (envelope.version != SyncEnvelope::currentVersion)
                throw UsageSyncError(UsageSyncError::Code::unsupportedVersion);
            m_timer.cancel();
            if (const auto reader = take(m_reader))
                reader->complete(std::move(envelope.message));
            return;
        }
    }
    if (error)
        throw SyncNetworkFailure::classify(*error, false);
    if (isComplete)
        throw UsageSyncError(UsageSyncError::Code::unavailable);
    receiveChunk();
}

void SyncChannel::armTimeout(double seconds)
{
    // NaN fails the comparison and gets the minimum too.
    const double duration = seconds >= minimumTimeoutSeconds ? seconds : minimumTimeoutSeconds;
    m_timer = TaskHandle::start([weak = weak_from_this(), &sleeper = m_sleeper, duration](CancelToken token) {
        return timeout(weak, sleeper, duration, token);
    });
}

QCoro::Task<> SyncChannel::timeout(std::weak_ptr<SyncChannel> channel, Sleeper& sleeper, double seconds,
                                   CancelToken token)
{
    try {
        co_await sleeper.sleep(seconds, token);
    } catch (const CancellationError&) {
        co_return;
    }
    if (token.isCancelled())
        co_return;
    if (const auto self = channel.lock())
        self->close(UsageSyncError(UsageSyncError::Code::timedOut));
}

void SyncChannel::close(std::exception_ptr error)
{
    if (m_isClosed)
        return;
    m_isClosed = true;
    m_timer.cancel();
    // Removed first, so the connection's own cancelled state does not come back here.
    m_connection->setStateHandler({});
    m_connection->cancel();
    const auto ready = take(m_ready);
    const auto reader = take(m_reader);
    const auto writer = take(m_writer);
    if (ready)
        ready->fail(error);
    if (reader)
        reader->fail(error);
    if (writer)
        writer->fail(error);
}

} // namespace vantorel
