#pragma once

#include <QAbstractButton>

namespace vantorel {

// An on/off switch, optionally with its title on the left and the switch at the right edge.
// `toggled` fires for programmatic changes too; `clicked` only for the user's.
class ToggleSwitch : public QAbstractButton
{
    Q_OBJECT

public:
    explicit ToggleSwitch(const QString& title = QString(), QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static constexpr int trackWidth = 30;
    static constexpr int trackHeight = 17;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& position) const override { return rect().contains(position); }

private:
    QRectF trackRect() const;
};

} // namespace vantorel
