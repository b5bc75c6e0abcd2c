#pragma once

#include <QSpinBox>

namespace vantorel {

// A number chosen with up and down buttons only, for a value that its label already shows: the
// spin box's own field would repeat it. Keys, the wheel and the range work as in a spin box.
class Stepper : public QSpinBox
{
    Q_OBJECT

public:
    explicit Stepper(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
};

} // namespace vantorel
