#include "app/shell/TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <iterator>
#include <utility>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantorel {

namespace {

int pipeFds[2] = {-1, -1};

constexpr int caughtSignals[] = {SIGTERM, SIGINT, SIGHUP};
// Which of them have our handler: a SIGHUP that the starter ignores (nohup) stays ignored.
bool caught[std::size(caughtSignals)] = {};

void handleSignal(int signalNumber)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // Async-signal-safe; a full pipe already holds a pending request.
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &byte, 1);
    errno = savedErrno;
}

void installHandler(int signalNumber, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signalNumber, &action, nullptr);
}

} // namespace

void TerminationSignals::catchEarly()
{
    if (pipeFds[0] >= 0) {
        return;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pipeFds) != 0) {
        return;
    }
    for (std::size_t i = 0; i < std::size(caughtSignals); ++i) {
        struct sigaction current = {};
        ::sigaction(caughtSignals[i], nullptr, &current);
        caught[i] = !(caughtSignals[i] == SIGHUP && current.sa_handler == SIG_IGN);
        if (caught[i])
            installHandler(caughtSignals[i], handleSignal);
    }
}

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    catchEarly();
    if (pipeFds[0] < 0) {
        return;
    }
    m_notifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::drain);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier) {
        return;
    }
    for (std::size_t i = 0; i < std::size(caughtSignals); ++i) {
        if (std::exchange(caught[i], false))
            installHandler(caughtSignals[i], SIG_DFL);
    }
    delete m_notifier;
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

void TerminationSignals::drain()
{
    unsigned char byte = 0;
    int last = 0;
    while (::read(pipeFds[0], &byte, 1) == 1) {
        last = byte;
    }
    if (last != 0) {
        emit terminationRequested(last);
    }
}

} // namespace vantorel
