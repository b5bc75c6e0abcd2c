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
    // The lines joined as a host without a tool tip title shows them.
    QString toolTip() const { return m_toolTipLines.join(QStringLiteral(" / ")); }
    QString toolTipTitle() const { return m_toolTipTitle; }
    QStringList toolTipLines() const { return m_toolTipLines; }
    int iconSetCount() const { return m_iconSetCount; }
    QIcon icon() const { return m_icon; }
    int toolTipSetCount() const { return m_toolTipSetCount; }

    bool isAvailable() const override { return m_available; }
    void setIcon(const QIcon& icon) override { m_icon = icon, ++m_iconSetCount; }
    void setToolTip(const QString& title, const QStringList& lines) override
    {
        m_toolTipTitle = title, m_toolTipLines = lines, ++m_toolTipSetCount;
    }
    void setVisible(bool visible) override { m_visible = visible; }
    bool isVisible() const override { return m_visible; }
    QRect anchorRectangle() const override { return {1500, 0, 22, 26}; }

private:
    bool m_available = true, m_visible = false;
    QString m_toolTipTitle;
    QStringList m_toolTipLines;
    QIcon m_icon;
    int m_iconSetCount = 0, m_toolTipSetCount = 0;
};

} // namespace vantorel
