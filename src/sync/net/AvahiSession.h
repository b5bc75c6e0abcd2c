#pragma once

#include "sync/net/NetworkError.h"

#include <QObject>

#include <functional>
#include <map>

struct AvahiClient;

namespace vantorel {

// The process's one client of the Avahi daemon, made on first use and driven by the Qt event
// loop. A lost daemon is waited for by a fresh client, so a restarted daemon is found again.
// Main thread only.
class AvahiSession
{
public:
    using Observer = std::function<void(bool running)>;

    static AvahiSession& instance();

    // The client while it is connected to a running daemon; null otherwise (then
    // unavailableError() says why).
    AvahiClient* runningClient();
    // Whether the client is connected to a running daemon, without making one.
    bool isRunning() const { return m_running; }
    NetworkError unavailableError() const;

    // Hears every change between running and not. On `false` the observer frees whatever it
    // made from the client: the client may be replaced right after.
    quint64 observe(Observer observer);
    void unobserve(quint64 id);

    // How Avahi's numeric codes read as network errors.
    static NetworkError error(int code);

private:
    AvahiSession() = default;

    void connect();
    void reconnectLater();
    void setRunning(bool running);
    friend struct AvahiSessionCallbacks;

    AvahiClient* m_client = nullptr;
    bool m_running = false;
    // Why the last client could not be made; 0 when none failed.
    int m_error = 0;
    QObject m_context;
    std::map<quint64, Observer> m_observers;
    quint64 m_lastObserver = 0;
};

} // namespace vantorel
