#include "app/platform/NotificationSettingsOpener.h"

#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace vantorel {

namespace {

struct Candidate
{
    QString program;
    QStringList arguments;
};

} // namespace

bool NotificationSettingsOpener::open()
{
    const Candidate gnome{QStringLiteral("gnome-control-center"), {QStringLiteral("notifications")}};
    const QList<Candidate> kde{
        {QStringLiteral("systemsettings"), {QStringLiteral("kcm_notifications")}},
        {QStringLiteral("systemsettings5"), {QStringLiteral("kcm_notifications")}},
        {QStringLiteral("kcmshell5"), {QStringLiteral("kcm_notifications")}},
    };
    QList<Candidate> candidates;
    if (qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QStringLiteral("KDE"), Qt::CaseInsensitive))
        candidates = kde + QList<Candidate>{gnome};
    else
        candidates = QList<Candidate>{gnome} + kde;
    for (const Candidate& candidate : candidates) {
        const QString path = QStandardPaths::findExecutable(candidate.program);
        if (!path.isEmpty() && QProcess::startDetached(path, candidate.arguments))
            return true;
    }
    return false;
}

} // namespace vantorel
