#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace vantorel {

// A stand-in executable that replays a scenario (see fake_codex_app_server.py for the
// directives) and records what it was sent. It lives in a temporary directory of its own, as
// "codex" unless another name is given.
class FakeCodexAppServer
{
public:
    explicit FakeCodexAppServer(const QStringList& scenario, const QString& name = QStringLiteral("codex"));

    QString executablePath() const { return m_executablePath; }
    QString directory() const { return m_dir.path(); }
    // A file in the fake's directory, for "pid" and "spawn" directives.
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    // The lines the fake logged: "args [...]", every stdin line, "EOF".
    QStringList log() const;
    // The process id a "pid" or "spawn" directive wrote to `name`.
    std::optional<qint64> pidFrom(const QString& name) const;

    // Makes a named pipe in the fake's directory and returns its path; give it to a "pid"
    // directive to learn when the fake has got that far.
    QString makeFifo(const QString& name) const;
    // Blocks (up to ten seconds) until the fake writes its pid into that pipe.
    std::optional<qint64> awaitPid(const QString& fifoPath) const;

    // Waits (on the kernel's exit notification, up to 30 s) until `pid` has ended.
    static bool processEnds(qint64 pid);

private:
    QTemporaryDir m_dir;
    QString m_executablePath;
};

} // namespace vantorel
