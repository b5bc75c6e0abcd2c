#pragma once

class QHBoxLayout;
class QPushButton;

namespace vantorel {

// The one button row of the kit's sheets: both buttons at the trailing edge, "キャンセル" first
// and the sheet's action last, one spacing between them. Which one Return presses is the sheet's.
QHBoxLayout* sheetButtonRow(QPushButton* cancel, QPushButton* action);

} // namespace vantorel
