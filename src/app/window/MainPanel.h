#pragma once

#include "app/ui/Binding.h"
#include "app/window/ContentEnvironment.h"
#include "app/window/DashboardState.h"
#include "app/window/PopoverPage.h"

#include <QList>
#include <QWidget>

class QLabel;
class QScrollArea;
class QVBoxLayout;

namespace vantorel {

class HealthCheckRow;
class LineLimitedLabel;
class MacOverviewQuickActions;
class MinuteTicker;
class PillButton;
class ProviderUsageGroup;
class SymbolView;
class TintedPanel;
class UsageMeterRow;

// The dashboard page: header, insight banner, quick actions, one card per provider that is on,
// the API rate card, the readiness card, the credits lines and the footer. It re-reads the view
// model on every change and updates its widgets in place; texts that depend on the time follow
// one MinuteTicker.
class MainPanel : public QWidget
{
    Q_OBJECT

public:
    MainPanel(const ContentEnvironment& environment, Binding<PopoverPage> page, QWidget* parent = nullptr);
    ~MainPanel() override;

    MinuteTicker& ticker() const { return *m_ticker; }
    // The whole scrolling column, for pictures of the page.
    QWidget* scrollContent() const;

private:
    void buildHeader(QVBoxLayout* column);
    void buildBanner(QVBoxLayout* column);
    void buildApiCard(QVBoxLayout* column);
    void buildReadinessCard(QVBoxLayout* column);
    void buildCredits(QVBoxLayout* column);
    void buildFooter(QVBoxLayout* column);
    void refresh();
    void updatePlanBadges(const QStringList& texts);
    void updateBankedResetExpiry();

    ContentEnvironment m_environment;
    Binding<PopoverPage> m_page;
    DashboardState m_state;
    MinuteTicker* m_ticker;
    QScrollArea* m_scroll = nullptr;

    QLabel* m_title = nullptr;
    QLabel* m_subtitle = nullptr;
    QWidget* m_badgeColumn = nullptr;
    QList<QLabel*> m_badges;
    TintedPanel* m_banner = nullptr;
    TintedPanel* m_bannerCircle = nullptr;
    SymbolView* m_bannerSymbol = nullptr;
    QLabel* m_bannerTitle = nullptr;
    LineLimitedLabel* m_bannerMessage = nullptr;
    MacOverviewQuickActions* m_quickActions = nullptr;
    QLabel* m_copiedMessage = nullptr;
    ProviderUsageGroup* m_codexCard = nullptr;
    ProviderUsageGroup* m_claudeCard = nullptr;
    TintedPanel* m_apiCard = nullptr;
    QLabel* m_apiModel = nullptr;
    UsageMeterRow* m_requestRow = nullptr;
    UsageMeterRow* m_tokenRow = nullptr;
    LineLimitedLabel* m_apiError = nullptr;
    HealthCheckRow* m_codexHealth = nullptr;
    HealthCheckRow* m_claudeHealth = nullptr;
    HealthCheckRow* m_apiKeyHealth = nullptr;
    HealthCheckRow* m_notificationHealth = nullptr;
    QWidget* m_credits = nullptr;
    QWidget* m_bankedResetRow = nullptr;
    QLabel* m_bankedResetCount = nullptr;
    QLabel* m_bankedResetExpiry = nullptr;
    QWidget* m_creditsRow = nullptr;
    QLabel* m_creditsText = nullptr;
    // The first error (two lines, orange), else the first open incident (one line).
    LineLimitedLabel* m_errorLine = nullptr;
    LineLimitedLabel* m_incidentLine = nullptr;
    QLabel* m_autoRefresh = nullptr;
    QLabel* m_refreshTimes = nullptr;
};

} // namespace vantorel
