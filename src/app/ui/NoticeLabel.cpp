#include "app/ui/NoticeLabel.h"

#include "app/ui/CaptionLabel.h"
#include "app/ui/IconProvider.h"
#include "app/ui/SymbolView.h"
#include "app/ui/UiFont.h"

#include <QHBoxLayout>

namespace vantorel {

NoticeLabel::NoticeLabel(const QString& text, const QString& systemName, QWidget* parent)
    : QWidget(parent)
    , m_symbol(new SymbolView(systemName, IconProvider::symbolSize(UiFont::caption().pixelSize()), colors::secondary, this))
    , m_text(new CaptionLabel(text, this))
{
    m_text->setObjectName(QStringLiteral("notice.text"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    layout->addWidget(m_symbol, 0, Qt::AlignTop);
    layout->addWidget(m_text, 1);
    setProperty(IconProvider::symbolProperty, systemName);
}

void NoticeLabel::setText(const QString& text)
{
    m_text->setText(text);
}

QString NoticeLabel::text() const
{
    return m_text->text();
}

void NoticeLabel::setSymbol(const QString& systemName)
{
    m_symbol->setSymbol(systemName);
    setProperty(IconProvider::symbolProperty, systemName);
}

} // namespace vantorel
