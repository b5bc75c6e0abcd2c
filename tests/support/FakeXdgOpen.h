#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

class QObject;

namespace vantorel {

// An `xdg-open` first on PATH while the object lives (PATH is restored after): it records each
// address it is given and exits with the status set last, 0 at first, as one with no browser
// configured exits with 3.
class FakeXdgOpen
{
public:
    FakeXdgOpen();
    ~FakeXdgOpen();
    FakeXdgOpen(const FakeXdgOpen&) = delete;
    FakeXdgOpen& operator=(const FakeXdgOpen&) = delete;

    bool isReady() const { return m_ready; }
    void setExitStatus(int status);
    // The addresses it was started with, in order.
    QStringList addresses() const;
    // Runs the event loop until every handler process `opener` started has exited and its exit
    // was heard; false after a bounded wait.
    static bool waitForHandlers(const QObject& opener);

private:
    QTemporaryDir m_dir;
    QByteArray m_savedPath;
    bool m_ready = false;
};

} // namespace vantorel
