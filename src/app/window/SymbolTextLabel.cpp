#include "app/window/SymbolTextLabel.h"

#include "app/ui/IconProvider.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/SymbolView.h"
#include "app/window/DashboardLabel.h"

#include <QHBoxLayout>

namespace vantorel {

SymbolTextLabel::SymbolTextLabel(const QFont& font, int lines, QWidget* parent)
    : QWidget(parent)
    , m_symbol(new SymbolView(QString(), IconProvider::symbolSize(font.pixelSize()), colors::secondary, this))
    , m_text(dashboardLines(QStringLiteral("symbolText.text"), lines, font, DashboardTint::secondary, this))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    row->addWidget(m_symbol, 0, Qt::AlignTop);
    row->addWidget(m_text, 1);
}

void SymbolTextLabel::setContent(const QString& text, const QString& systemName, std::optional<DashboardTint> tint)
{
    m_text->setText(text);
    m_symbol->setSymbol(systemName);
    setDashboardTint(m_text, tint);
    setDashboardTint(m_symbol, tint);
}

QString SymbolTextLabel::text() const
{
    return m_text->text();
}

QString SymbolTextLabel::symbol() const
{
    return m_symbol->symbol();
}

} // namespace vantorel
