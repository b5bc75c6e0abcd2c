#pragma once

#include "app/ui/TextColor.h"

#include <QWidget>

namespace vantorel {

// One symbol of IconProvider in a fixed square, drawn at paint time in the current colours and
// at the screen's pixel ratio. Its name is in the property `sfSymbol`.
class SymbolView : public QWidget
{
    Q_OBJECT

public:
    SymbolView(const QString& name, int size, ColorPick color = colors::label, QWidget* parent = nullptr);

    void setSymbol(const QString& name);
    QString symbol() const { return m_name; }
    void setColor(ColorPick color);

    QSize sizeHint() const override { return {m_size, m_size}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
    int m_size;
    ColorPick m_color;
};

} // namespace vantorel
