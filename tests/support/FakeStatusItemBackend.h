#pragma once

#include "app/platform/StatusItemBackend.h"

namespace vantorel {

// A tray in memory: the test sets whether a host is there and where the item sits, and reads
// what was shown and how often the icon and tool tip were set.
class FakeStatusItemBackend final : public StatusItemBackend {
    Q_OBJECT

public:
    using StatusItemBackend::StatusItemBackend;

    // Changes the host and announces it, as a host appearing or quitting does.
    void setAvailable(bool available);
    void setAnchor(const QRect& anchor) { m_anchor = anchor; }
    void click(Activation activation = Activation::trigger) { emit activated(activation); }

    QIcon icon() const { return m_icon; }
    QString toolTip() const { return m_toolTip; }
    int iconSetCount() const { return m_iconSetCount; }
    int toolTipSetCount() const { return m_toolTipSetCount; }

    bool isAvailable() const override { return m_available; }
    void setIcon(const QIcon& icon) override;
    void setToolTip(const QString& toolTip) override;
    void setVisible(bool visible) override { m_visible = visible; }
    bool isVisible() const override { return m_visible; }
    QRect anchorRectangle() const override { return m_anchor; }

private:
    bool m_available = true;
    bool m_visible = false;
    QRect m_anchor{1500, 0, 22, 26};
    QIcon m_icon;
    QString m_toolTip;
    int m_iconSetCount = 0;
    int m_toolTipSetCount = 0;
};

} // namespace vantorel
