#include "app/setup/UsageConsumptionSummaryView.h"

#include "app/ui/LineLimitedLabel.h"
#include "app/ui/SystemColors.h"
#include "app/ui/UiFont.h"
#include "sync/presentation/UsageConsumptionPresentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace vantorel {

namespace {

constexpr int titleWidth = 42;
constexpr qreal cornerRadius = 7;

QLabel* plainLabel(const QFont& font, ColorPick color, QWidget* parent)
{
    auto* label = new LineLimitedLabel(LineLimitedLabel::unlimited, QString(), parent);
    label->setFont(font);
    setTextColor(label, std::move(color));
    return label;
}

} // namespace

// One window's row: its title, then the primary line and the optional detail line.
class UsageConsumptionResultRow final : public QWidget
{
public:
    UsageConsumptionResultRow(const QString& title, QWidget* parent)
        : QWidget(parent)
        , m_title(title)
        , m_titleLabel(plainLabel(UiFont::system(10, QFont::Bold), colors::label, this))
        , m_primary(plainLabel(UiFont::system(10, QFont::DemiBold), colors::label, this))
        , m_detail(plainLabel(UiFont::caption2(), colors::secondary, this))
    {
        m_titleLabel->setText(title);
        m_titleLabel->setWordWrap(false);
        m_titleLabel->setFixedWidth(titleWidth);
        m_titleLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        m_primary->setObjectName(QStringLiteral("consumption.primary"));
        m_detail->setObjectName(QStringLiteral("consumption.detail"));
        auto* lines = new QVBoxLayout;
        lines->setContentsMargins(0, 0, 0, 0);
        lines->setSpacing(2);
        lines->addWidget(m_primary);
        lines->addWidget(m_detail);
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(8);
        row->addWidget(m_titleLabel, 0, Qt::AlignTop);
        row->addLayout(lines, 1);
        setAccessibleName(title + u"枠の消費ペース");
    }

    void present(const UsageConsumptionRowText& text, ColorPick color)
    {
        setTextColor(m_titleLabel, std::move(color));
        m_primary->setText(text.primary);
        m_detail->setText(text.detail.value_or(QString()));
        m_detail->setVisible(text.detail.has_value());
        setAccessibleDescription(text.accessibilityValue);
    }

private:
    QString m_title;
    QLabel* m_titleLabel;
    QLabel* m_primary;
    QLabel* m_detail;
};

UsageConsumptionSummaryView::UsageConsumptionSummaryView(QWidget* parent)
    : QWidget(parent)
    , m_fiveHour(new UsageConsumptionResultRow(QStringLiteral("5時間"), this))
    , m_weekly(new UsageConsumptionResultRow(QStringLiteral("週間"), this))
{
    setObjectName(QStringLiteral("consumptionSummary"));
    m_fiveHour->setObjectName(QStringLiteral("consumption.fiveHour"));
    m_weekly->setObjectName(QStringLiteral("consumption.weekly"));
    auto* heading = plainLabel(UiFont::system(10, QFont::DemiBold), colors::secondary, this);
    heading->setText(QStringLiteral("消費ペース"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(9, 7, 9, 7);
    layout->setSpacing(7);
    layout->addWidget(heading);
    layout->addWidget(m_fiveHour);
    layout->addWidget(m_weekly);
    setResults(UsageConsumptionResult::insufficientData(), UsageConsumptionResult::insufficientData(),
               [](const SystemColors& c) { return c.systemBlue; }, false);
}

void UsageConsumptionSummaryView::setResults(const UsageConsumptionResult& fiveHour,
                                             const UsageConsumptionResult& weekly, ColorPick fiveHourColor,
                                             bool fiveHourPaused)
{
    if (fiveHourPaused)
        m_fiveHour->present(rowText(std::nullopt, QStringLiteral("一時停止中")), std::move(fiveHourColor));
    else
        m_fiveHour->present(rowText(fiveHour, std::nullopt), std::move(fiveHourColor));
    m_weekly->present(rowText(weekly, std::nullopt), [](const SystemColors& c) { return c.systemGreen; });
}

UsageConsumptionRowText UsageConsumptionSummaryView::rowText(const std::optional<UsageConsumptionResult>& result,
                                                             const std::optional<QString>& unavailableText)
{
    UsageConsumptionRowText text;
    if (unavailableText) {
        text.primary = *unavailableText;
        text.accessibilityValue = *unavailableText;
        return text;
    }
    if (!result) {
        text.primary = QStringLiteral("連続した記録が不足");
        text.accessibilityValue = text.primary;
        return text;
    }
    const UsageConsumptionText presented = UsageConsumptionPresentation::text(*result);
    text.primary = presented.headline;
    text.detail = presented.detail;
    text.accessibilityValue = presented.detail ? presented.headline + u'、' + *presented.detail : presented.headline;
    return text;
}

void UsageConsumptionSummaryView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(path, SystemColors::withOpacity(SystemColors::current().secondaryLabel, 0.055));
}

} // namespace vantorel
