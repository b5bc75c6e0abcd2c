#include "sync/net/SocketWatch.h"

#include <QCoreApplication>
#include <QHash>
#include <QPointer>
#include <QSocketNotifier>

#include <memory>

#include <sys/epoll.h>
#include <unistd.h>

namespace vantorel {

namespace {

// Ready events taken from the kernel in one turn; more wait for the next turn.
constexpr int eventsPerTurn = 64;

// The epoll descriptor and the watches registered with it, by descriptor.
class SharedEpoll final : public QObject
{
public:
    // Made on first use, owned by the application object.
    static SharedEpoll& instance()
    {
        if (!shared())
            shared() = new SharedEpoll(QCoreApplication::instance());
        return *shared();
    }

    // Null once the application object has let it go: watches ending after that have nothing
    // to leave.
    static QPointer<SharedEpoll>& shared()
    {
        static QPointer<SharedEpoll> instance;
        return instance;
    }

    ~SharedEpoll() override
    {
        m_notifier.reset();
        if (m_epoll >= 0)
            ::close(m_epoll);
    }

    void set(int descriptor, SocketWatch::Kind kind, SocketWatch* watch)
    {
        Entry& entry = m_entries[descriptor];
        (kind == SocketWatch::Kind::read ? entry.read : entry.write) = watch;
        update(descriptor);
    }

    // Registers with the kernel what the enabled watches of `descriptor` wait for; a descriptor
    // waiting for nothing leaves the set, since epoll would still report its hang-up on every turn.
    void update(int descriptor)
    {
        const auto found = m_entries.find(descriptor);
        if (found == m_entries.end())
            return;
        Entry& entry = *found;
        std::uint32_t events = 0;
        if (entry.read && entry.read->isEnabled())
            events |= EPOLLIN | EPOLLRDHUP;
        if (entry.write && entry.write->isEnabled())
            events |= EPOLLOUT;
        if (events != entry.registered) {
            epoll_event change{};
            change.events = events;
            change.data.fd = descriptor;
            const int operation = entry.registered == 0 ? EPOLL_CTL_ADD : events == 0 ? EPOLL_CTL_DEL : EPOLL_CTL_MOD;
            ::epoll_ctl(m_epoll, operation, descriptor, &change);
            entry.registered = events;
        }
        if (!entry.read && !entry.write)
            m_entries.erase(found);
    }

private:
    struct Entry
    {
        SocketWatch* read = nullptr;
        SocketWatch* write = nullptr;
        std::uint32_t registered = 0;
    };

    explicit SharedEpoll(QObject* parent)
        : QObject(parent)
        , m_epoll(::epoll_create1(EPOLL_CLOEXEC))
        , m_notifier(std::make_unique<QSocketNotifier>(m_epoll, QSocketNotifier::Read))
    {
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { dispatch(); });
    }

    void dispatch()
    {
        epoll_event ready[eventsPerTurn];
        const int count = ::epoll_wait(m_epoll, ready, eventsPerTurn, 0);
        for (int i = 0; i < count; ++i) {
            const int descriptor = ready[i].data.fd;
            const std::uint32_t events = ready[i].events;
            // A watch may end another one, or itself, while it is told: look each up afresh. A
            // descriptor closed and reused meanwhile may be told once without reason, which a
            // non-blocking socket call answers with EAGAIN.
            if (events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) {
                if (const SocketWatch* watch = m_entries.value(descriptor).read; watch && watch->isEnabled())
                    watch->notify();
            }
            if (events & (EPOLLOUT | EPOLLHUP | EPOLLERR)) {
                if (const SocketWatch* watch = m_entries.value(descriptor).write; watch && watch->isEnabled())
                    watch->notify();
            }
        }
    }

    const int m_epoll;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QHash<int, Entry> m_entries;
};

} // namespace

SocketWatch::SocketWatch(int descriptor, Kind kind, std::function<void()> onReady)
    : m_descriptor(descriptor)
    , m_kind(kind)
    , m_onReady(std::move(onReady))
{
    SharedEpoll::instance().set(m_descriptor, m_kind, this);
}

SocketWatch::~SocketWatch()
{
    if (SharedEpoll* epoll = SharedEpoll::shared())
        epoll->set(m_descriptor, m_kind, nullptr);
}

void SocketWatch::setEnabled(bool enabled)
{
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    if (SharedEpoll* epoll = SharedEpoll::shared())
        epoll->update(m_descriptor);
}

void SocketWatch::notify() const
{
    // A copy: the call may destroy this watch.
    const std::function<void()> onReady = m_onReady;
    onReady();
}

} // namespace vantorel
