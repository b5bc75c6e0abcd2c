#include "app/ui/SheetWindow.h"

#include "app/ui/FocusRing.h"
#include "app/ui/ScreenFit.h"

#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace vantorel {

namespace {

// Fixes the sheet's height to what its content needs at its fixed width, or to the screen's room
// when that is less, whenever it shows or lays out again: a window whose smallest and largest
// sizes are one cannot be maximised. A sheet on screen that changes its height stays inside the
// screen's available geometry, as the window and the popover do: it first shows before the window
// manager's title bar is known, and grows into the room that bar leaves once it is.
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
        // The layout handled a layout request before this filter sees it; the dialog places
        // itself on screen after this filter saw its show event, at the height fixed here.
        const bool shown = event->type() == QEvent::LayoutRequest && static_cast<QWidget*>(watched)->isVisible();
        if (event->type() == QEvent::Show || event->type() == QEvent::LayoutRequest)
            fit(static_cast<QWidget*>(watched), shown);
        return false;
    }

private:
    static void fit(QWidget* sheet, bool shown)
    {
        const int width = sheet->minimumWidth();
        int height = sheet->hasHeightForWidth() ? sheet->heightForWidth(width) : sheet->sizeHint().height();
        const QScreen* screen = sheet->screen();
        if (height <= 0 || !screen)
            return;
        const QRect available = screen->availableGeometry();
        const QMargins frame = ScreenFit::frameOf(sheet);
        height = ScreenFit::fittedSize({width, height}, available, frame).height();
        if (sheet->minimumHeight() == height && sheet->maximumHeight() == height)
            return;
        sheet->setFixedHeight(height);
        if (!shown)
            return;
        // pos() is the frame's top left: the title bar stays inside too.
        const QRect placed(sheet->pos(), sheet->size().grownBy(frame));
        const QRect kept = ScreenFit::keptInside(placed, available);
        if (kept != placed)
            sheet->move(kept.topLeft());
    }
};

// The scroll area of a sheet's body: it asks for the body's whole height at its width, and gives
// way down to a few lines when the sheet is cut to the screen, so only the body scrolls.
class SheetBodyArea final : public QScrollArea
{
public:
    explicit SheetBodyArea(QWidget* parent)
        : QScrollArea(parent)
    {
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        // A whole body is no keyboard stop; a cut one is, and scrolls by keys as a page does.
        setFocusPolicy(Qt::NoFocus);
        FocusRing::ringScrollArea(this);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    }

    bool hasHeightForWidth() const override { return true; }

    int heightForWidth(int width) const override
    {
        const QWidget* body = widget();
        if (!body)
            return 0;
        const int height = body->hasHeightForWidth() ? body->heightForWidth(width) : body->sizeHint().height();
        return std::max(height, body->minimumSizeHint().height());
    }

    QSize sizeHint() const override
    {
        const int width = widget() ? widget()->sizeHint().width() : 0;
        return {width, heightForWidth(width)};
    }

    QSize minimumSizeHint() const override
    {
        return {QScrollArea::minimumSizeHint().width(), minimumVisibleLines * fontMetrics().lineSpacing()};
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A body laid out anew changes what this area asks for; the sheet hears of it only so.
        if (watched == widget() && event->type() == QEvent::LayoutRequest) {
            updateGeometry();
            showScrollBarWhenCut();
        }
        return QScrollArea::eventFilter(watched, event);
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        showScrollBarWhenCut();
        QScrollArea::resizeEvent(event);
    }

private:
    // Decided here from the body's whole height: Qt's own choice keeps a scroll bar once shown
    // when the body, narrowed by it, wraps a line more than it would without it.
    void showScrollBarWhenCut()
    {
        const bool cut = heightForWidth(width()) > height();
        setVerticalScrollBarPolicy(cut ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        // Made after the sheet's buttons, the area follows them in the order of Tab: the sheet
        // still opens on them.
        setFocusPolicy(cut ? Qt::StrongFocus : Qt::NoFocus);
        if (!cut && hasFocus())
            focusNextChild();
    }

    static constexpr int minimumVisibleLines = 3;
};

} // namespace

void makeSheetWindow(QDialog* sheet, int width)
{
    sheet->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    sheet->setFixedWidth(width);
    new SheetHeightKeeper(sheet);
}

void setSheetLayout(QDialog* sheet, QWidget* body, QLayout* buttons, int margin, int spacing)
{
    auto* area = new SheetBodyArea(sheet);
    area->setObjectName(QStringLiteral("sheet.body"));
    area->setWidget(body);
    // The body shows the sheet's own background, not a view's.
    area->viewport()->setAutoFillBackground(false);
    body->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(sheet);
    column->setContentsMargins(margin, margin, margin, margin);
    column->setSpacing(spacing);
    column->addWidget(area);
    column->addLayout(buttons);
}

} // namespace vantorel
