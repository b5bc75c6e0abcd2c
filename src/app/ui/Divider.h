#pragma once

#include <QWidget>

namespace vantorel {

// A one-pixel separator line in the separator colour, horizontal (full width, optionally
// starting `leadingIndent` px in) or vertical (full height).
class Divider : public QWidget
{
    Q_OBJECT

public:
    explicit Divider(Qt::Orientation orientation = Qt::Horizontal, int leadingIndent = 0, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Orientation m_orientation;
    int m_leadingIndent;
};

} // namespace vantorel
