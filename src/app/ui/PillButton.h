#pragma once

#include "app/ui/TextColor.h"

#include <QAbstractButton>

namespace vantorel {

// A capsule text button tinted with one system colour, picked anew for each scheme: the title in
// the colour's text shade, the outline at 70 % and the fill at 8 %, so changing the colour
// recolours all three.
class PillButton : public QAbstractButton
{
    Q_OBJECT

public:
    PillButton(const QString& title, ColorPick color, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ColorPick m_color;
};

} // namespace vantorel
