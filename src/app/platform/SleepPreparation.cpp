#include "app/platform/SleepPreparation.h"

#include "app/platform/LogindManager.h"

namespace vantorel {

SleepPreparation::SleepPreparation(LogindManager* logind, std::function<void()> writeOut, QObject* parent)
    : QObject(parent)
    , m_logind(logind)
    , m_writeOut(std::move(writeOut))
{
    connect(logind, &LogindManager::preparingForSleep, this, &SleepPreparation::prepareForSleep);
    connect(logind, &LogindManager::resumedFromSleep, this, &SleepPreparation::takeLock);
    takeLock();
}

SleepPreparation::~SleepPreparation() = default;

void SleepPreparation::takeLock()
{
    if (m_logind)
        m_lock = m_logind->inhibit(QStringLiteral("sleep"), who, why, QStringLiteral("delay"));
}

void SleepPreparation::prepareForSleep()
{
    m_writeOut();
    m_lock.reset();
}

} // namespace vantorel
