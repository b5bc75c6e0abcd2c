#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <functional>

namespace vantorel {

// The window the status item opens: a frameless 482 × 560 tool window hosting the application's
// content (smaller on a screen whose available geometry is smaller), placed by the item, with a thin border so it stands apart from a window behind it. It
// hides when the application loses activation to another one and when a mouse button is pressed
// in any other window, the application's own included; dialogs opened from its pages and the
// windows it is told to ignore keep it open. Escape closes it, and so does Ctrl+W, as it closes
// the window.
class StatusItemPopover final : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize popoverSize{482, 560};
    // A click on the item this soon after the popover hid itself is the click that hid it.
    static constexpr qint64 closingClickWindowMs = 400;

    using ContentFactory = std::function<QWidget*()>;

    // The content is built once, on the first opening, and kept with its state between openings.
    explicit StatusItemPopover(const ContentFactory& content, QWidget* parent = nullptr);

    // Shows the popover beside `anchor` (global coordinates) on the anchor's screen and activates
    // it. Without an anchor, or where the window system places windows itself, it is only shown.
    void open(const QRect& anchor);
    // True for a short while after the popover hid itself because another application took over
    // or a mouse button was pressed outside it.
    bool justHidDueToDeactivation() const;
    // Presses in `window` (the button that toggles the popover) do not count as outside it.
    void ignorePressesIn(QWidget* window);

    // Below the anchor when it sits in the upper half of the screen, else above it; centred on
    // the anchor horizontally and kept inside the available geometry, shrunk to it where the
    // popover's size does not fit.
    static QRect frameFor(const QRect& anchor, const QRect& screenGeometry, const QRect& availableGeometry);

    // The border, drawn inside the popover's edge.
    static constexpr int borderWidth = 1;

signals:
    // The popover was hidden, whoever hid it; its content is kept.
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void onApplicationStateChanged(Qt::ApplicationState state);
    void hideItself();
    bool isInside(const QWidget* widget) const;
    void buildContentIfNeeded();
    void fitTo(const QRect& frame);

    ContentFactory m_makeContent;
    QPointer<QWidget> m_content;
    QElapsedTimer m_hiddenByDeactivation;
    QList<QPointer<QWidget>> m_ignored;
};

} // namespace vantorel
