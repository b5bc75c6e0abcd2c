#include "app/window/StatusBadge.h"

#include "app/ui/UiFont.h"
#include "app/window/DashboardLabel.h"
#include "app/window/UsageMeterPresenter.h"

#include <QHBoxLayout>
#include <QLabel>

namespace vantorel {

StatusBadge::StatusBadge(QWidget* parent)
    : TintedPanel(DashboardTint::green, 0.12, TintedPanel::capsule, parent)
    , m_dot(new StatusDot(7, DashboardTint::green, this))
{
    setObjectName(QStringLiteral("statusBadge"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(7, 4, 7, 4);
    row->setSpacing(5);
    row->addWidget(m_dot);
    m_text = dashboardLabel(QStringLiteral("statusBadge.text"), UiFont::system(11, QFont::Bold), std::nullopt, this);
    row->addWidget(m_text);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setStatus(OverallCodexState::normal, std::nullopt);
}

void StatusBadge::setStatus(OverallCodexState state, const std::optional<QString>& errorMessage)
{
    const StatusBadgeLook look = UsageMeterPresenter::statusBadge(state, errorMessage);
    setTint(look.stateTint);
    m_dot->setTint(look.stateTint);
    m_text->setText(look.text);
    setDashboardTint(m_text, look.warning ? std::optional(DashboardTint::orange) : std::nullopt);
}

QString StatusBadge::text() const
{
    return m_text->text();
}

} // namespace vantorel
