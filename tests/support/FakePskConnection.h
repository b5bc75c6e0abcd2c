#pragma once

#include "sync/net/PskConnection.h"

#include <QByteArray>
#include <QList>

#include <memory>
#include <optional>

namespace vantorel {

// A scripted PskConnection for the states real sockets cannot produce on demand. The test keeps
// the shared Script after handing the connection to its owner, sees every call, and plays the
// network's part: state changes, processed sends, reads with bytes, end of stream or errors.
class FakePskConnection final : public PskConnection
{
public:
    struct Script
    {
        bool started = false;
        int cancelCount = 0;
        bool localNetworkDenied = false;
        Origin origin;
        bool hasStateHandler() const { return static_cast<bool>(stateHandler); }
        // Every send, in order, and the completions not yet played.
        QList<QByteArray> sent;
        QList<SendCompletion> pendingSends;
        // The read waiting for bytes, and how many reads were asked for.
        std::optional<ReceiveCompletion> pendingReceive;
        int receiveCount = 0;
        qsizetype lastMaximumLength = 0;

        // Calls the state handler if one is set; false if none was.
        bool reportState(State state, std::optional<NetworkError> error = std::nullopt);
        // Completes the oldest waiting send; false if none waits.
        bool completeSend(std::optional<NetworkError> error = std::nullopt);
        // Completes the waiting read; false if none waits.
        bool deliver(const QByteArray& bytes, bool isComplete = false, std::optional<NetworkError> error = std::nullopt);
        // Calls the TLS set-up handler, as a whole hello arriving would; false if none is set or it
        // refused.
        bool setUpTls();

        StateHandler stateHandler;
        TlsSetupHandler tlsSetupHandler;
    };

    FakePskConnection();
    std::shared_ptr<Script> script() const { return m_script; }

    void setStateHandler(StateHandler handler) override;
    void setTlsSetupHandler(TlsSetupHandler handler) override;
    void start() override;
    bool isLocalNetworkDenied() const override;
    Origin origin() const override { return m_script->origin; }
    void send(const QByteArray& content, SendCompletion completion) override;
    void receive(qsizetype minimumIncompleteLength, qsizetype maximumLength, ReceiveCompletion completion) override;
    void cancel() override;

private:
    std::shared_ptr<Script> m_script;
};

} // namespace vantorel
