#pragma once

#include "app/platform/ClaudeCodeCredentialReader.h"

#include <QProcessEnvironment>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vantorel {

class Sleeper;

// Reads the file in which Claude Code keeps its OAuth credential on Linux:
// "$CLAUDE_CONFIG_DIR/.credentials.json", or "~/.claude/.credentials.json" when that variable is
// unset or empty. The file is opened read-only on a worker thread (a home directory on a stalled
// network file system must not hold the caller), bounded in size and time.
class ClaudeCodeCredentialFileReader final : public ClaudeCodeCredentialReader
{
public:
    // Claude Code's document is a few hundred bytes; anything larger is not its credential.
    static constexpr qint64 maximumCredentialBytes = 1'048'576;
    static constexpr double defaultTimeoutSeconds = 8.0;

    // The blocking read run on the worker thread; nullopt when the file cannot be used.
    using FileLoader = std::function<std::optional<QByteArray>(const QString& path)>;

    static QString credentialPath(const QProcessEnvironment& environment);

    // The whole file if it is a regular file of at most maximumCredentialBytes that can be read;
    // nullopt when it is missing, unreadable, not a regular file (a FIFO would block) or too large.
    static std::optional<QByteArray> readBoundedFile(const QString& path);

    // Empty `path`: credentialPath() of the process environment. Without a sleeper the time-out
    // runs on a timer of the calling thread.
    explicit ClaudeCodeCredentialFileReader(QString path = {}, double timeoutSeconds = defaultTimeoutSeconds,
                                            std::shared_ptr<Sleeper> sleeper = {}, FileLoader load = readBoundedFile);

    const QString& path() const { return m_path; }

    QCoro::Task<QByteArray> readCredential(CancelToken token) override;

private:
    QString m_path;
    double m_timeoutSeconds;
    std::shared_ptr<Sleeper> m_sleeper;
    FileLoader m_load;
};

} // namespace vantorel
