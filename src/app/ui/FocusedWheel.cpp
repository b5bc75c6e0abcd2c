#include "app/ui/FocusedWheel.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QCoreApplication>
#include <QEvent>
#include <QScrollBar>

namespace vantorel {

namespace {

class FocusedWheelFilter final : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* box = qobject_cast<QAbstractSpinBox*>(watched);
        if (event->type() != QEvent::Wheel || !box || box->hasFocus())
            return false;
        for (QWidget* ancestor = box->parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
            if (auto* area = qobject_cast<QAbstractScrollArea*>(ancestor)) {
                QCoreApplication::sendEvent(area->verticalScrollBar(), event);
                break;
            }
        }
        return true;
    }
};

} // namespace

void takeWheelOnlyWhenFocused(QAbstractSpinBox* box)
{
    box->setFocusPolicy(Qt::StrongFocus);
    box->installEventFilter(new FocusedWheelFilter(box));
}

} // namespace vantorel
