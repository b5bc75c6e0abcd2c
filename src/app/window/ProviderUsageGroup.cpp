#include "app/window/ProviderUsageGroup.h"

#include "app/ui/LineBreaks.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/MinuteTicker.h"
#include "app/ui/UiFont.h"
#include "app/window/CompactUsageMeter.h"
#include "app/window/DashboardLabel.h"
#include "app/ui/ProviderBrandIcon.h"
#include "app/window/StatusBadge.h"
#include "app/window/SymbolTextLabel.h"
#include "sync/presentation/UsageFreshnessPresentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace vantorel {

ProviderUsageGroup::ProviderUsageGroup(const QString& providerName, DashboardTint accent, MinuteTicker& ticker,
                                       QWidget* parent)
    : TintedPanel(accent, 0.07, 8, parent)
    , m_ticker(ticker)
{
    setObjectName(u"providerCard." + providerName);
    m_input.providerName = providerName;
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 8, 10, 8);
    column->setSpacing(9);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(new ProviderBrandIcon(providerName, 22, this));
    QLabel* name = dashboardLabel(QStringLiteral("providerCard.name"), UiFont::system(14, QFont::Bold), std::nullopt, this);
    name->setText(providerName);
    header->addWidget(name);
    header->addStretch(1);
    const QFont captionSemibold = UiFont::system(10, QFont::DemiBold);
    m_unconfirmed = new SymbolTextLabel(captionSemibold, 1, this);
    m_unconfirmed->setObjectName(QStringLiteral("providerCard.unconfirmed"));
    m_unconfirmed->setContent(QStringLiteral("利用枠: 未確認"), QStringLiteral("questionmark.circle"),
                              DashboardTint::orange);
    m_failurePill = new TintedPanel(DashboardTint::orange, 0.12, TintedPanel::capsule, this);
    m_failurePill->setObjectName(QStringLiteral("providerCard.failure"));
    m_failurePill->setAccessibleName(QStringLiteral("使用量の取得失敗"));
    auto* pillRow = new QHBoxLayout(m_failurePill);
    pillRow->setContentsMargins(7, 4, 7, 4);
    auto* pillText = new SymbolTextLabel(UiFont::system(11, QFont::Bold), 1, m_failurePill);
    pillText->setContent(QStringLiteral("取得失敗"), QStringLiteral("exclamationmark.triangle.fill"),
                         DashboardTint::orange);
    pillRow->addWidget(pillText);
    m_notFetched = new SymbolTextLabel(captionSemibold, 1, this);
    m_notFetched->setObjectName(QStringLiteral("providerCard.notFetched"));
    m_notFetched->setContent(QStringLiteral("使用量: 未取得"), QStringLiteral("questionmark.circle"),
                             DashboardTint::secondary);
    m_statusBadge = new StatusBadge(this);
    for (QWidget* item : {static_cast<QWidget*>(m_unconfirmed), static_cast<QWidget*>(m_failurePill),
                          static_cast<QWidget*>(m_notFetched), static_cast<QWidget*>(m_statusBadge)})
        header->addWidget(item);
    column->addLayout(header);

    auto* sourceRow = new QHBoxLayout;
    sourceRow->setSpacing(6);
    m_source = dashboardLabel(QStringLiteral("providerCard.source"), UiFont::caption2(), DashboardTint::secondary, this);
    sourceRow->addWidget(m_source, 0, Qt::AlignTop);
    sourceRow->addStretch(1);
    m_freshness = dashboardLines(QStringLiteral("providerCard.freshness"), LineLimitedLabel::unlimited, UiFont::caption2(),
                                 DashboardTint::secondary, this);
    m_freshness->setAlignment(Qt::AlignRight | Qt::AlignTop);
    m_freshness->setToolTip(QStringLiteral("使用量をこのPCで取得した時刻。Statusや同期の更新時刻とは別です。"));
    sourceRow->addWidget(m_freshness);
    column->addLayout(sourceRow);

    m_fiveHour = new CompactUsageMeter(QStringLiteral("5時間"), ticker, this);
    m_fiveHour->setObjectName(QStringLiteral("providerCard.fiveHour"));
    m_weekly = new CompactUsageMeter(QStringLiteral("週間"), ticker, this);
    m_weekly->setObjectName(QStringLiteral("providerCard.weekly"));
    column->addWidget(m_fiveHour);
    column->addWidget(m_weekly);
    m_note = new SymbolTextLabel(UiFont::caption2(), 2, this);
    m_note->setObjectName(QStringLiteral("providerCard.note"));
    column->addWidget(m_note);

    ticker.subscribe(m_freshness, [this] { updateFreshness(); });
    setInput(m_input);
}

void ProviderUsageGroup::setInput(const ProviderUsageGroupInput& input)
{
    m_input = input;
    const ProviderHeaderItem item = ProviderUsageGroupPresenter::headerItem(input);
    m_unconfirmed->setVisible(item == ProviderHeaderItem::formatUnconfirmed);
    m_failurePill->setVisible(item == ProviderHeaderItem::usageFailure);
    m_notFetched->setVisible(item == ProviderHeaderItem::usageNotFetched);
    m_statusBadge->setVisible(item == ProviderHeaderItem::statusBadge);
    // A widget tooltip renders markup; the error is outside text.
    m_failurePill->setToolTip(toolTipText(input.usageErrorMessage.value_or(QString())));
    m_statusBadge->setStatus(input.overallStatus, input.errorMessage);

    m_source->setText(ProviderUsageGroupPresenter::sourceText(input));
    updateFreshness();

    const bool unconfirmed = ProviderUsageGroupPresenter::formatUnconfirmed(input);
    const auto& snapshot = input.snapshot;
    m_fiveHour->setValues(snapshot ? snapshot->fiveHourRemainingPercent : std::nullopt,
                          ProviderUsageGroupPresenter::meterResetAt(snapshot, MenuBarUsageWindow::fiveHour),
                          input.fiveHourWindowIsTemporarilyUnavailable, unconfirmed);
    m_weekly->setValues(snapshot ? snapshot->weeklyRemainingPercent : std::nullopt,
                        ProviderUsageGroupPresenter::meterResetAt(snapshot, MenuBarUsageWindow::weekly), false,
                        unconfirmed);

    const std::optional<ProviderUsageNote> note = ProviderUsageGroupPresenter::note(input);
    m_note->setVisible(note.has_value());
    if (note) {
        m_note->setContent(note->text, note->systemName,
                           note->warning ? DashboardTint::orange : DashboardTint::secondary);
        m_note->setToolTip(note->toolTip.isEmpty() ? QString() : toolTipText(note->toolTip));
    }
}

void ProviderUsageGroup::updateFreshness()
{
    const std::optional<Date> updatedAt = m_input.snapshot ? std::optional(m_input.snapshot->updatedAt) : std::nullopt;
    m_freshness->setText(UsageFreshnessPresentation::label(updatedAt, m_ticker.now(), false));
}

} // namespace vantorel
