#include "app/platform/MacClaudeLoginAvailability.h"

#include "app/platform/LogindSession.h"
#include "app/platform/ScreenSaverMonitor.h"

#include <QGuiApplication>

namespace vantorel {

MacClaudeLoginAvailability::MacClaudeLoginAvailability(LogindSession* session, ScreenSaverMonitor* screenSaver,
                                                       QObject* parent)
    : QObject(parent)
    , m_session(session)
    , m_screenSaver(screenSaver)
{
    if (session)
        connect(session, &LogindSession::interactionResumed, this, &MacClaudeLoginAvailability::interactionResumed);
    if (screenSaver)
        connect(screenSaver, &ScreenSaverMonitor::deactivated, this, &MacClaudeLoginAvailability::interactionResumed);
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(application, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                emit interactionResumed();
        });
    }
}

bool MacClaudeLoginAvailability::canPresent() const
{
    if (!m_session || !m_session->isActiveAndUnlocked())
        return false;
    return !m_screenSaver || m_screenSaver->isActive() == false;
}

} // namespace vantorel
