#include "app/ui/SheetWindow.h"

#include <QDialog>
#include <QEvent>

namespace vantorel {

namespace {

// Fixes the sheet's height to what its content needs at its fixed width, whenever it shows or
// lays out again: a window whose smallest and largest sizes are one cannot be maximised.
class SheetHeightKeeper final : public QObject
{
public:
    explicit SheetHeightKeeper(QDialog* sheet)
        : QObject(sheet)
    {
        sheet->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The layout handled a layout request before this filter sees it.
        if (event->type() == QEvent::Show || event->type() == QEvent::LayoutRequest)
            fit(static_cast<QWidget*>(watched));
        return false;
    }

private:
    static void fit(QWidget* sheet)
    {
        const int width = sheet->minimumWidth();
        const int height = sheet->hasHeightForWidth() ? sheet->heightForWidth(width) : sheet->sizeHint().height();
        if (height > 0 && (sheet->minimumHeight() != height || sheet->maximumHeight() != height))
            sheet->setFixedHeight(height);
    }
};

} // namespace

void makeSheetWindow(QDialog* sheet, int width)
{
    sheet->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    sheet->setFixedWidth(width);
    new SheetHeightKeeper(sheet);
}

} // namespace vantorel
