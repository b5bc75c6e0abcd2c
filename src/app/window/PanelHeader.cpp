#include "app/window/PanelHeader.h"

#include "app/ui/IconButton.h"
#include "app/ui/UiFont.h"

#include <QHBoxLayout>
#include <QLabel>

namespace vantorel {

PanelHeader::PanelHeader(const QString& title, Binding<PopoverPage> page, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("panelHeader"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    auto* back = new IconButton(QStringLiteral("chevron.left"), QStringLiteral("概要に戻る"), this);
    back->setObjectName(QStringLiteral("panelHeader.back"));
    connect(back, &IconButton::clicked, this, [set = std::move(page.set)] { set(PopoverPage::main); });
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("panelHeader.title"));
    label->setTextFormat(Qt::PlainText);
    label->setFont(UiFont::system(20, QFont::Bold));
    label->setText(title);
    row->addWidget(back);
    row->addWidget(label);
    row->addStretch();
}

} // namespace vantorel
