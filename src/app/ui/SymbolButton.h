#pragma once

#include "app/ui/TextColor.h"

#include <QPushButton>

namespace vantorel {

// A push button in the platform's default style with a symbol before its title. The symbol is
// drawn in the button's text colour (or `color` when given, as for destructive buttons) and
// redrawn when the application palette changes, so it follows light and dark.
class SymbolButton : public QPushButton
{
    Q_OBJECT

public:
    SymbolButton(const QString& title, const QString& systemName, QWidget* parent = nullptr);

    // Title and symbol in `pick` of the current system colours (a destructive action's red).
    void setTint(ColorPick pick);
    void setSymbol(const QString& systemName);
    QString symbol() const { return m_symbol; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateIcon();

    QString m_symbol;
    ColorPick m_tint;
};

} // namespace vantorel
