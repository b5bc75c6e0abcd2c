#include "app/window/UsageMeterRow.h"

#include "app/ui/MinuteTicker.h"
#include "app/ui/UiFont.h"
#include "app/window/DashboardLabel.h"
#include "app/window/TintedPanel.h"
#include "app/window/UsageMeterBar.h"
#include "app/window/UsageMeterPresenter.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace vantorel {

UsageMeterRow::UsageMeterRow(const QString& title, MinuteTicker& ticker, QWidget* parent)
    : QWidget(parent)
    , m_ticker(ticker)
    , m_dot(new StatusDot(8, DashboardTint::secondary, this))
    , m_bar(new UsageMeterBar(9, 0.13, this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    QLabel* titleLabel = dashboardLabel(QStringLiteral("meterRow.title"), UiFont::system(16, QFont::Bold), std::nullopt,
                                        this);
    titleLabel->setText(title);
    header->addWidget(titleLabel);
    header->addWidget(m_dot);
    header->addStretch(1);
    m_resetText = dashboardLabel(QStringLiteral("meterRow.resetText"), UiFont::caption(), DashboardTint::secondary, this);
    header->addWidget(m_resetText);
    column->addLayout(header);
    column->addWidget(m_bar);
    m_leftText = dashboardLabel(QStringLiteral("meterRow.leftText"), UiFont::caption(), DashboardTint::secondary, this);
    column->addWidget(m_leftText);
    ticker.subscribe(m_resetText, [this] { updateResetText(); });
    setValues(std::nullopt, std::nullopt, std::nullopt);
}

void UsageMeterRow::setValues(std::optional<double> percent, std::optional<Date> resetAt,
                              std::optional<double> resetSeconds)
{
    m_resetAt = resetAt;
    m_resetSeconds = resetSeconds;
    m_dot->setTint(UsageMeterPresenter::dotTint(percent));
    m_bar->setPercent(percent);
    m_leftText->setText(UsageMeterPresenter::rowLeftText(percent));
    updateResetText();
}

void UsageMeterRow::updateResetText()
{
    m_resetText->setText(UsageMeterPresenter::rowResetText(m_resetAt, m_resetSeconds, m_ticker.now()));
}

} // namespace vantorel
