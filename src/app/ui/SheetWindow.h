#pragma once

class QDialog;
class QLayout;
class QWidget;

namespace vantorel {

// Makes `sheet` a window of the kit's sheets: a dialog's title bar with a close button and no
// maximise or minimise button, and one size, `width` wide and as tall as its content needs at
// that width, so the window manager offers no resizing. On a screen whose room below the title
// bar is shorter, the sheet is as tall as that room. Call before the sheet is first shown; the
// height follows the content and the screen each time the sheet shows or lays out, and a sheet on
// screen whose height changes stays inside the screen's available geometry.
void makeSheetWindow(QDialog* sheet, int width);

// Lays `sheet` out as the kit's sheets are: `body`, what the sheet says, above `buttons`, `margin`
// from every edge and `spacing` apart. The body sits in a frameless scroll area as tall as the body
// wherever the sheet is; in a sheet cut to a short screen the body scrolls and the buttons stay,
// and the body is a stop of Tab after the buttons that scrolls by the arrow and page keys.
void setSheetLayout(QDialog* sheet, QWidget* body, QLayout* buttons, int margin, int spacing);

} // namespace vantorel
