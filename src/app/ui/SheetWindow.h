#pragma once

class QDialog;

namespace vantorel {

// Makes `sheet` a window of the kit's sheets: a dialog's title bar with a close button and no
// maximise or minimise button, and one size, `width` wide and as tall as its content needs at
// that width, so the window manager offers no resizing. Call before the sheet is first shown;
// the height follows the content each time the sheet lays out.
void makeSheetWindow(QDialog* sheet, int width);

} // namespace vantorel
