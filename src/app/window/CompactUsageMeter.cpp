#include "app/window/CompactUsageMeter.h"

#include "app/ui/MinuteTicker.h"
#include "app/ui/ShrinkingLabel.h"
#include "app/ui/UiFont.h"
#include "app/window/DashboardLabel.h"
#include "app/window/UsageMeterBar.h"
#include "app/window/UsageMeterPresenter.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace vantorel {

namespace {

// The first reset line gives up to a quarter of its size before it is cut short.
constexpr qreal resetLineMinimumScale = 0.75;

} // namespace

CompactUsageMeter::CompactUsageMeter(const QString& label, MinuteTicker& ticker, QWidget* parent)
    : QWidget(parent)
    , m_ticker(ticker)
    , m_bar(new UsageMeterBar(7, 0.14, this))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    QLabel* name = dashboardLabel(QStringLiteral("meter.label"), UiFont::system(12, QFont::Bold), std::nullopt, this);
    name->setText(label);
    name->setFixedWidth(42);
    row->addWidget(name);
    row->addWidget(m_bar, 1);

    auto* texts = new QWidget(this);
    texts->setFixedWidth(142);
    auto* column = new QVBoxLayout(texts);
    column->setContentsMargins(0, 0, 0, 0);
    m_leftText = dashboardLabel(QStringLiteral("meter.leftText"), UiFont::caption(), DashboardTint::secondary, texts);
    m_primary = new ShrinkingLabel(resetLineMinimumScale, texts);
    m_primary->setObjectName(QStringLiteral("meter.resetPrimary"));
    m_primary->setFont(UiFont::system(9, QFont::Medium));
    setDashboardTint(m_primary, DashboardTint::secondary);
    m_secondary = dashboardLabel(QStringLiteral("meter.resetSecondary"), UiFont::system(9), DashboardTint::secondary,
                                 texts);
    for (QLabel* text : std::initializer_list<QLabel*>{m_leftText, m_primary, m_secondary}) {
        text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        column->addWidget(text);
    }
    column->setSpacing(1);
    row->addWidget(texts);
    ticker.subscribe(m_primary, [this] { updateResetLines(); });
    setValues(std::nullopt, std::nullopt, false, false);
}

void CompactUsageMeter::setValues(std::optional<double> percent, std::optional<Date> resetAt,
                                  bool temporarilyUnavailable, bool formatUnconfirmed)
{
    m_percent = percent;
    m_resetAt = resetAt;
    m_temporarilyUnavailable = temporarilyUnavailable;
    m_bar->setPercent(percent);
    m_leftText->setText(UsageMeterPresenter::compactLeftText(percent, temporarilyUnavailable, formatUnconfirmed));
    m_leftText->setFont(temporarilyUnavailable ? UiFont::system(9, QFont::DemiBold) : UiFont::caption());
    updateResetLines();
}

void CompactUsageMeter::updateResetLines()
{
    const ResetScheduleText schedule
        = UsageMeterPresenter::compactResetSchedule(m_percent, m_resetAt, m_temporarilyUnavailable, m_ticker.now());
    m_primary->setText(schedule.primary);
    // An empty line collapses rather than hides: a hidden label would miss the ticks.
    m_primary->setMaximumHeight(schedule.primary.isEmpty() ? 0 : QWIDGETSIZE_MAX);
    m_secondary->setText(schedule.secondary.value_or(QString()));
    m_secondary->setVisible(schedule.secondary.has_value());
}

} // namespace vantorel
