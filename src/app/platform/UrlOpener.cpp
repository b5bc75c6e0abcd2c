#include "app/platform/UrlOpener.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

namespace vantorel {

void DesktopUrlOpener::open(const QUrl& url, Failure failed)
{
    const QString handler = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (handler.isEmpty()) {
        if (!QDesktopServices::openUrl(url) && failed)
            failed();
        return;
    }
    auto* process = new QProcess(this);
    process->setProgram(handler);
    process->setArguments({QString::fromLatin1(url.toEncoded())});
    // What it starts writes where we write, as with Qt's own launcher: no pipe of ours that a
    // browser could write into after we are gone.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    QElapsedTimer started;
    started.start();
    const auto report = [failed, started] {
        if (failed && !started.hasExpired(failureReportWindowMs))
            failed();
    };
    connect(process, &QProcess::finished, process, [process, report](int exitCode, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || exitCode != 0)
            report();
        process->deleteLater();
    });
    connect(process, &QProcess::errorOccurred, process, [process, report](QProcess::ProcessError error) {
        // Every other error is followed by `finished`.
        if (error != QProcess::FailedToStart)
            return;
        report();
        process->deleteLater();
    });
    process->start();
}

} // namespace vantorel
