#include "sync/net/AvahiQtPoll.h"

#include <avahi-common/timeval.h>
#include <avahi-common/watch.h>

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

struct AvahiWatch
{
    int fd = -1;
    AvahiWatchEvent happened = AvahiWatchEvent(0);
    AvahiWatchCallback callback = nullptr;
    void* userdata = nullptr;
    QSocketNotifier* read = nullptr;
    QSocketNotifier* write = nullptr;
};

struct AvahiTimeout
{
    QTimer* timer = nullptr;
    AvahiTimeoutCallback callback = nullptr;
    void* userdata = nullptr;
};

namespace vantorel {

namespace {

QSocketNotifier* notifier(AvahiWatch* watch, QSocketNotifier::Type type, AvahiWatchEvent event)
{
    auto* notifier = new QSocketNotifier(watch->fd, type);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [watch, event] {
        watch->happened = event;
        // The callback may free the watch: nothing of it is touched afterwards.
        watch->callback(watch, watch->fd, event, watch->userdata);
    });
    return notifier;
}

void watchUpdate(AvahiWatch* watch, AvahiWatchEvent events)
{
    watch->read->setEnabled(events & AVAHI_WATCH_IN);
    watch->write->setEnabled(events & AVAHI_WATCH_OUT);
}

AvahiWatch* watchNew(const AvahiPoll*, int fd, AvahiWatchEvent events, AvahiWatchCallback callback, void* userdata)
{
    auto* watch = new AvahiWatch{fd, AvahiWatchEvent(0), callback, userdata};
    watch->read = notifier(watch, QSocketNotifier::Read, AVAHI_WATCH_IN);
    watch->write = notifier(watch, QSocketNotifier::Write, AVAHI_WATCH_OUT);
    watchUpdate(watch, events);
    return watch;
}

AvahiWatchEvent watchGetEvents(AvahiWatch* watch)
{
    return watch->happened;
}

void watchFree(AvahiWatch* watch)
{
    // Possibly from inside one of the notifiers' own signals.
    for (QSocketNotifier* notifier : {watch->read, watch->write}) {
        notifier->setEnabled(false);
        notifier->disconnect();
        notifier->deleteLater();
    }
    delete watch;
}

void timeoutUpdate(AvahiTimeout* timeout, const struct timeval* tv)
{
    if (!tv) {
        timeout->timer->stop();
        return;
    }
    // avahi_age is negative for a time still ahead.
    const double milliseconds = std::ceil(double(-avahi_age(tv)) / 1000.0);
    timeout->timer->start(int(std::clamp(milliseconds, 0.0, double(std::numeric_limits<int>::max()))));
}

AvahiTimeout* timeoutNew(const AvahiPoll*, const struct timeval* tv, AvahiTimeoutCallback callback, void* userdata)
{
    auto* timeout = new AvahiTimeout{new QTimer, callback, userdata};
    timeout->timer->setSingleShot(true);
    timeout->timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timeout->timer, &QTimer::timeout, timeout->timer,
                     [timeout] { timeout->callback(timeout, timeout->userdata); });
    timeoutUpdate(timeout, tv);
    return timeout;
}

void timeoutFree(AvahiTimeout* timeout)
{
    timeout->timer->stop();
    timeout->timer->disconnect();
    timeout->timer->deleteLater();
    delete timeout;
}

const AvahiPoll poll{nullptr, watchNew, watchUpdate, watchGetEvents, watchFree, timeoutNew, timeoutUpdate, timeoutFree};

} // namespace

const AvahiPoll* avahiQtPoll()
{
    return &poll;
}

} // namespace vantorel
