#pragma once

#include <QIcon>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

namespace vantorel {

// The application's item in the desktop's system tray. Everything runs on the GUI thread.
class StatusItemBackend : public QObject {
    Q_OBJECT

public:
    enum class Activation { trigger, context, doubleClick, middleClick };

    using QObject::QObject;

    // Whether a tray host shows items now. Asked again on every update, since hosts come and go.
    virtual bool isAvailable() const = 0;
    virtual void setIcon(const QIcon& icon) = 0;
    // `lines` holds one line per service. Hosts that show a tool tip's title get `title` above
    // the lines; others show the lines joined with " / ".
    virtual void setToolTip(const QString& title, const QStringList& lines) = 0;
    // An item set visible while no host is there appears when one arrives.
    virtual void setVisible(bool visible) = 0;
    virtual bool isVisible() const = 0;
    // Where the item is on screen, in global coordinates: its own frame when the host tells it,
    // else a one-pixel rectangle at the pointer (hosts that hide the frame were just clicked).
    virtual QRect anchorRectangle() const = 0;

signals:
    void activated(vantorel::StatusItemBackend::Activation activation);
    // A tray host may have appeared or gone away; `isAvailable` tells which.
    void availabilityMayHaveChanged();
    // A tray host took the item's picture for the first time (read it over the bus or painted the
    // embedded icon); emitted once, on a later turn than the read. Hosts that tell nothing never
    // cause it.
    void firstPictureRead();
};

} // namespace vantorel
