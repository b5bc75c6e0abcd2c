#pragma once

#include "app/window/TintedPanel.h"
#include "core/model/OverallCodexState.h"

#include <optional>

class QLabel;

namespace vantorel {

// The pill that sums up a provider's status page: a dot and "稼働: 正常" on a tinted capsule.
class StatusBadge : public TintedPanel
{
    Q_OBJECT

public:
    explicit StatusBadge(QWidget* parent = nullptr);

    void setStatus(OverallCodexState state, const std::optional<QString>& errorMessage);
    QString text() const;

private:
    StatusDot* m_dot;
    QLabel* m_text;
};

} // namespace vantorel
