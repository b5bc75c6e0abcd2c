#pragma once

#include "app/window/ProviderUsageGroupPresenter.h"
#include "app/window/TintedPanel.h"

class QLabel;

namespace vantorel {

class CompactUsageMeter;
class MinuteTicker;
class StatusBadge;
class SymbolTextLabel;

// One provider's card on the dashboard: brand and name with one status item, the reading's
// source and age, the five-hour and weekly meters and at most one note. Updated in place.
class ProviderUsageGroup : public TintedPanel
{
    Q_OBJECT

public:
    ProviderUsageGroup(const QString& providerName, DashboardTint accent, MinuteTicker& ticker,
                       QWidget* parent = nullptr);

    void setInput(const ProviderUsageGroupInput& input);

private:
    void updateFreshness();

    MinuteTicker& m_ticker;
    ProviderUsageGroupInput m_input;
    SymbolTextLabel* m_unconfirmed;
    TintedPanel* m_failurePill;
    SymbolTextLabel* m_notFetched;
    StatusBadge* m_statusBadge;
    QLabel* m_source;
    QLabel* m_freshness;
    CompactUsageMeter* m_fiveHour;
    CompactUsageMeter* m_weekly;
    SymbolTextLabel* m_note;
};

} // namespace vantorel
