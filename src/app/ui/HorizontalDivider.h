#pragma once

#include <QWidget>

namespace vantorel {

// A one-pixel line across the column in the separator colour of the current appearance.
class HorizontalDivider : public QWidget
{
    Q_OBJECT

public:
    explicit HorizontalDivider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vantorel
