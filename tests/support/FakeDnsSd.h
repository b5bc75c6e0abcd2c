#pragma once

#include "sync/net/DnsSdBrowser.h"
#include "sync/net/DnsSdPublisher.h"

#include <memory>
#include <optional>

namespace vantorel {

// Records what is published; the test plays failures through `onFailure`.
struct FakePublisher final : DnsSdPublisher
{
    struct Registration final : DnsSdRegistration
    {
        explicit Registration(FakePublisher& owner)
            : owner(owner)
        {
        }
        ~Registration() override { ++owner.withdrawn; }
        FakePublisher& owner;
    };

    std::unique_ptr<DnsSdRegistration> publish(const QString& name, const QString& type, quint16 port,
                                               FailureHandler handler) override
    {
        published = name + u' ' + type + u' ' + QString::number(port);
        onFailure = std::move(handler);
        if (failAtOnce)
            onFailure(*failAtOnce);
        return std::make_unique<Registration>(*this);
    }
    void checkAvailability(AvailabilityHandler) override {}

    QString published;
    FailureHandler onFailure;
    // Fails every publication inside publish(), as Avahi does without its daemon.
    std::optional<NetworkError> failAtOnce;
    int withdrawn = 0;
};

// A browser whose results and states the test plays through its shared Script.
class FakeBrowser final : public DnsSdBrowser
{
public:
    struct Script
    {
        std::optional<QString> startedType;
        std::optional<QString> startedDomain;
        bool cancelled = false;
        StateHandler stateHandler;
        ResultsHandler resultsHandler;

        // Each calls its handler through a copy, if one is set.
        void report(const QList<NetworkEndpoint>& results) const
        {
            if (const ResultsHandler handler = resultsHandler)
                handler(results);
        }
        void reportState(State state, std::optional<NetworkError> error = std::nullopt) const
        {
            if (const StateHandler handler = stateHandler)
                handler(state, error);
        }
    };

    std::shared_ptr<Script> script() const { return m_script; }

    void setStateHandler(StateHandler handler) override { m_script->stateHandler = std::move(handler); }
    void setResultsHandler(ResultsHandler handler) override { m_script->resultsHandler = std::move(handler); }
    void start(const QString& type, const QString& domain) override
    {
        m_script->startedType = type;
        m_script->startedDomain = domain;
    }
    void cancel() override { m_script->cancelled = true; }

private:
    std::shared_ptr<Script> m_script = std::make_shared<Script>();
};

} // namespace vantorel
