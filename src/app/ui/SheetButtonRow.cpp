#include "app/ui/SheetButtonRow.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace vantorel {

namespace {

constexpr int sheetButtonSpacing = 8;

} // namespace

QHBoxLayout* sheetButtonRow(QPushButton* cancel, QPushButton* action)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(sheetButtonSpacing);
    row->addStretch(1);
    row->addWidget(cancel);
    row->addWidget(action);
    return row;
}

} // namespace vantorel
