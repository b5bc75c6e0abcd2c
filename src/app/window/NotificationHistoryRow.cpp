#include "app/window/NotificationHistoryRow.h"

#include "app/setup/NotificationDeliveryEvidenceView.h"
#include "app/ui/IconProvider.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/SystemColors.h"
#include "app/ui/TextColor.h"
#include "app/ui/UiFont.h"
#include "app/window/NotificationHistoryRules.h"
#include "core/foundation/DateTexts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace vantorel {

namespace {

constexpr int badgeSize = 27;
constexpr int badgeSymbolSize = 12;

// The category symbol on a tinted circle.
class CategoryBadge final : public QWidget
{
public:
    CategoryBadge(QString symbol, ColorPick color, QWidget* parent)
        : QWidget(parent)
        , m_symbol(std::move(symbol))
        , m_color(std::move(color))
    {
        setFixedSize(badgeSize, badgeSize);
        setProperty(IconProvider::symbolProperty, m_symbol);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const QColor color = m_color(SystemColors::current());
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(SystemColors::withOpacity(color, 0.12));
        painter.drawEllipse(rect());
        const int size = IconProvider::symbolSize(badgeSymbolSize);
        painter.drawPixmap(QPointF((width() - size) / 2.0, (height() - size) / 2.0),
                           IconProvider::pixmap(m_symbol, size, color, devicePixelRatioF()));
    }

private:
    QString m_symbol;
    ColorPick m_color;
};

QLabel* plainLabel(const QString& text, const QFont& font, ColorPick color, const char* name, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    setTextColor(label, std::move(color));
    return label;
}

} // namespace

NotificationHistoryRow::NotificationHistoryRow(const NotificationHistoryEntry& entry,
                                               const std::optional<PendingDiscordNotification>& pending,
                                               QWidget* parent)
    : QWidget(parent)
    , m_entryID(entry.id)
{
    setObjectName(QStringLiteral("notificationRow"));
    const NotificationCategoryAppearance look = notificationhistory::appearance(entry.category);

    auto* title = new LineLimitedLabel(LineLimitedLabel::unlimited, entry.title, this);
    title->setObjectName(QStringLiteral("notificationRow.title"));
    title->setFont(UiFont::system(12, QFont::DemiBold));
    auto* date = plainLabel(DateTexts::historyDateText(entry.createdAt), UiFont::monospacedDigits(UiFont::system(9)),
                            colors::tertiary, "notificationRow.date", this);
    date->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* body = new LineLimitedLabel(2, entry.body, this);
    body->setObjectName(QStringLiteral("notificationRow.body"));
    body->setFont(UiFont::caption());
    setTextColor(body, colors::secondary);
    auto* meta = plainLabel(displayName(entry.provider) + u'・' + look.label, UiFont::system(9, QFont::Medium),
                            look.color, "notificationRow.meta", this);
    auto* evidence = new NotificationDeliveryEvidenceView(this);
    evidence->setEvidence(entry.delivery, pending);

    auto* heading = new QHBoxLayout;
    heading->setSpacing(6);
    heading->addWidget(title, 1, Qt::AlignTop);
    heading->addSpacing(4);
    heading->addWidget(date, 0, Qt::AlignTop);
    auto* lines = new QVBoxLayout;
    lines->setSpacing(3);
    lines->addLayout(heading);
    lines->addWidget(body);
    lines->addWidget(meta);
    lines->addWidget(evidence);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 9, 0, 9);
    row->setSpacing(9);
    row->addWidget(new CategoryBadge(look.symbol, look.color, this), 0, Qt::AlignTop);
    row->addLayout(lines, 1);
}

} // namespace vantorel
