#pragma once

#include <QPlainTextEdit>

namespace vantorel {

// The multi-line editors of the settings and manual input pages: monospaced caption-size text in
// a thin rounded outline of the secondary colour at 25 %, which follows light and dark.
class MonospaceEditor : public QPlainTextEdit
{
    Q_OBJECT

public:
    MonospaceEditor(int minimumHeight, QWidget* parent = nullptr);

    // As tall as the minimum: the editor grows only when its column gives it room.
    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyOutline();
};

} // namespace vantorel
