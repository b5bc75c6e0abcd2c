#include "app/ui/PageScrollArea.h"

#include <QScrollArea>

namespace vantorel {

QScrollArea* makePageScrollArea(QWidget* content, const QString& objectName, QWidget* parent)
{
    auto* scroll = new QScrollArea(parent);
    scroll->setObjectName(objectName);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    content->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setWidget(content);
    return scroll;
}

} // namespace vantorel
