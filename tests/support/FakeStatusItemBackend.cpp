#include "FakeStatusItemBackend.h"

namespace vantorel {

void FakeStatusItemBackend::setAvailable(bool available)
{
    m_available = available;
    emit availabilityMayHaveChanged();
}

void FakeStatusItemBackend::setIcon(const QIcon& icon)
{
    m_icon = icon;
    ++m_iconSetCount;
}

void FakeStatusItemBackend::setToolTip(const QString& toolTip)
{
    m_toolTip = toolTip;
    ++m_toolTipSetCount;
}

} // namespace vantorel
