#pragma once

#include "app/platform/StatusItemBackend.h"

#include <QIcon>

namespace vantorel {

// A tray in memory: the test sets whether a host is there and clicks; it reads the tool tip and
// how often the icon and tool tip were set.
class FakeStatusItemBackend final : public StatusItemBackend {
    Q_OBJECT

public:
    using StatusItemBackend::StatusItemBackend;

    // Changes the host and announces it, as a host appearing or quitting does.
    void setAvailable(bool available)
    {
        m_available = available;
        emit availabilityMayHaveChanged();
    }
    void click(Activation activation) { emit activated(activation); }
    QString toolTip() const { return m_toolTip; }
    int iconSetCount() const { return m_iconSetCount; }
    QIcon icon() const { return m_icon; }
    int toolTipSetCount() const { return m_toolTipSetCount; }

    bool isAvailable() const override { return m_available; }
    void setIcon(const QIcon& icon) override { m_icon = icon, ++m_iconSetCount; }
    void setToolTip(const QString& toolTip) override { m_toolTip = toolTip, ++m_toolTipSetCount; }
    void setVisible(bool visible) override { m_visible = visible; }
    bool isVisible() const override { return m_visible; }
    QRect anchorRectangle() const override { return {1500, 0, 22, 26}; }

private:
    bool m_available = true, m_visible = false;
    QString m_toolTip;
    QIcon m_icon;
    int m_iconSetCount = 0, m_toolTipSetCount = 0;
};

} // namespace vantorel
