#pragma once

#include <QAbstractButton>
#include <QColor>

namespace vantorel {

// A capsule text button tinted with one colour: the title in the colour at full strength, the
// outline at 70 % and the fill at 8 %, so changing the colour recolours all three.
class PillButton : public QAbstractButton
{
    Q_OBJECT

public:
    PillButton(const QString& title, const QColor& color, QWidget* parent = nullptr);

    void setColor(const QColor& color);
    QColor color() const { return m_color; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};

} // namespace vantorel
