#pragma once

class QAbstractSpinBox;

namespace vantorel {

// Lets a spin box inside a scrolling page take the mouse wheel only once it has focus; until
// then the wheel scrolls the page, so scrolling past a stepper never changes its setting.
void takeWheelOnlyWhenFocused(QAbstractSpinBox* box);

} // namespace vantorel
