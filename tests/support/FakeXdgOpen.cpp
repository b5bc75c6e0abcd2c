#include "support/FakeXdgOpen.h"

#include "support/TestFiles.h"
#include "support/WaitUntil.h"

#include <QFile>
#include <QProcess>

#include <algorithm>

namespace vantorel {

FakeXdgOpen::FakeXdgOpen()
    : m_savedPath(qgetenv("PATH"))
{
    const QString script = m_dir.filePath(QStringLiteral("xdg-open"));
    m_ready = m_dir.isValid()
        && test::writeFileBytes(script, "#!/bin/sh\n"
                                        "dir=$(dirname \"$0\")\n"
                                        "printf '%s\\n' \"$1\" >> \"$dir/addresses\"\n"
                                        "exit \"$(cat \"$dir/status\")\"\n")
        && QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setExitStatus(0);
    qputenv("PATH", QFile::encodeName(m_dir.path()) + ":/usr/bin:/bin");
}

FakeXdgOpen::~FakeXdgOpen()
{
    qputenv("PATH", m_savedPath);
}

void FakeXdgOpen::setExitStatus(int status)
{
    m_ready = test::writeFileBytes(m_dir.filePath(QStringLiteral("status")), QByteArray::number(status)) && m_ready;
}

QStringList FakeXdgOpen::addresses() const
{
    const QByteArray lines = test::readFileBytes(m_dir.filePath(QStringLiteral("addresses")));
    QStringList result = QString::fromUtf8(lines).split(u'\n');
    result.removeAll(QString());
    return result;
}

bool FakeXdgOpen::waitForHandlers(const QObject& opener)
{
    return waitUntil([&opener] {
        const auto processes = opener.findChildren<QProcess*>();
        return std::all_of(processes.begin(), processes.end(),
                           [](const QProcess* process) { return process->state() == QProcess::NotRunning; });
    });
}

} // namespace vantorel
