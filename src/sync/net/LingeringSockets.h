#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <deque>

class QAbstractSocket;

namespace vantorel {

// Sockets finishing a graceful close after their connection let go of them. All of them share one
// timer, armed only while one is still closing: a reconnect flood drops thousands of sockets a
// second, and a timer for each kept the event loop busy with timer bookkeeping. At most `capacity`
// close at once, each holding a descriptor: beyond that the oldest is aborted. Main thread only.
class LingeringSockets final : public QObject
{
public:
    static constexpr int defaultCapacity = 128;

    explicit LingeringSockets(std::chrono::milliseconds grace, QObject* parent = nullptr,
                              int capacity = defaultCapacity);

    // The application's instance (its grace is QtPskConnection's), made on first use, owned by
    // the application object.
    static LingeringSockets& instance();

    // Takes `socket` over and closes it gracefully: what it queued still goes out, then it is
    // deleted. One that has not closed within the grace is aborted.
    void close(QAbstractSocket* socket);

    // Takes over `closing`, which finishes closing on its own and then deletes itself (later);
    // one still there after the grace is deleted, which aborts it.
    void hold(QObject* closing);

    // Sockets still closing.
    int closingCount() const;

private:
    struct Entry
    {
        QPointer<QObject> closing;
        QDeadlineTimer deadline;
    };

    void reap();
    void armForFront();
    // Aborts the object in front, the oldest.
    void abortFront();

    const std::chrono::milliseconds m_grace;
    const int m_capacity;
    // In order of their deadlines, since every socket gets the same grace.
    std::deque<Entry> m_entries;
    QTimer m_timer;
};

} // namespace vantorel
