#include "app/window/HealthCheckRow.h"

#include "app/ui/UiFont.h"
#include "app/window/DashboardLabel.h"
#include "app/window/TintedPanel.h"

#include <QHBoxLayout>
#include <QLabel>

namespace vantorel {

HealthCheckRow::HealthCheckRow(const QString& title, QWidget* parent)
    : QWidget(parent)
    , m_dot(new StatusDot(7, DashboardTint::secondary, this))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(m_dot);
    QLabel* titleLabel = dashboardLabel(QStringLiteral("health.title"), UiFont::caption(), DashboardTint::secondary, this);
    titleLabel->setText(title);
    row->addWidget(titleLabel);
    row->addStretch(1);
    row->addSpacing(6);
    m_value = dashboardLabel(QStringLiteral("health.value"), UiFont::system(10, QFont::DemiBold), std::nullopt, this);
    row->addWidget(m_value);
}

void HealthCheckRow::setValue(const QString& value, DashboardTint tint)
{
    m_dot->setTint(tint);
    m_value->setText(value);
    setDashboardTint(m_value, tint == DashboardTint::secondary ? std::optional(DashboardTint::secondary) : std::nullopt);
}

QString HealthCheckRow::value() const
{
    return m_value->text();
}

} // namespace vantorel
