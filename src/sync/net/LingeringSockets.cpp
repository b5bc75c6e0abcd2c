#include "sync/net/LingeringSockets.h"

#include "sync/net/QtPskConnection.h"

#include <QAbstractSocket>
#include <QCoreApplication>

#include <algorithm>

namespace vantorel {

LingeringSockets::LingeringSockets(std::chrono::milliseconds grace, QObject* parent, int capacity)
    : QObject(parent)
    , m_grace(grace)
    , m_capacity(capacity)
{
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { reap(); });
}

LingeringSockets& LingeringSockets::instance()
{
    static QPointer<LingeringSockets> shared;
    if (!shared)
        shared = new LingeringSockets(std::chrono::milliseconds(QtPskConnection::closeGraceMilliseconds),
                                      QCoreApplication::instance());
    return *shared;
}

void LingeringSockets::close(QAbstractSocket* socket)
{
    socket->setParent(this);
    QObject::connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
        return;
    }
    hold(socket);
}

void LingeringSockets::hold(QObject* closing)
{
    closing->setParent(this);
    if (m_entries.size() >= size_t(m_capacity)) {
        // Entries of objects that finished on their own count for nothing.
        std::erase_if(m_entries, [](const Entry& entry) { return entry.closing.isNull(); });
        while (m_entries.size() >= size_t(m_capacity))
            abortFront();
    }
    m_entries.push_back(Entry{closing, QDeadlineTimer(m_grace)});
    if (!m_timer.isActive())
        armForFront();
}

int LingeringSockets::closingCount() const
{
    return int(std::count_if(m_entries.cbegin(), m_entries.cend(),
                             [](const Entry& entry) { return !entry.closing.isNull(); }));
}

void LingeringSockets::reap()
{
    // Entries of sockets that closed on their own are dropped on the way.
    while (!m_entries.empty() && (m_entries.front().closing.isNull() || m_entries.front().deadline.hasExpired()))
        abortFront();
    armForFront();
}

void LingeringSockets::abortFront()
{
    if (QObject* closing = m_entries.front().closing) {
        if (auto* socket = qobject_cast<QAbstractSocket*>(closing))
            socket->abort();
        closing->deleteLater();
    }
    m_entries.pop_front();
}

void LingeringSockets::armForFront()
{
    if (m_entries.empty())
        return;
    m_timer.start(std::chrono::milliseconds(std::max<qint64>(m_entries.front().deadline.remainingTime(), 0)));
}

} // namespace vantorel
