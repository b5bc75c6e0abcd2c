#pragma once

#include <QWidget>

#include <optional>

namespace vantorel {

// A capsule track with a capsule fill as wide as the remaining share, coloured by its band.
class UsageMeterBar : public QWidget
{
    Q_OBJECT

public:
    UsageMeterBar(int height, qreal trackOpacity, QWidget* parent = nullptr);

    void setPercent(std::optional<double> percent);
    std::optional<double> percent() const { return m_percent; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<double> m_percent;
    qreal m_trackOpacity;
};

} // namespace vantorel
