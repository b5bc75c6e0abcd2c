#pragma once

#include <QStringList>
#include <QWidget>

class QButtonGroup;

namespace vantorel {

// A row of mutually exclusive segments of equal width on a rounded track. The segments are
// buttons named "segment.<index>". `currentIndexChanged` fires for every change; `activated`
// only when the user picks a segment.
class SegmentedControl : public QWidget
{
    Q_OBJECT

public:
    explicit SegmentedControl(const QStringList& titles, QWidget* parent = nullptr);

    int currentIndex() const { return m_current; }
    void setCurrentIndex(int index);
    int count() const { return int(m_titles.size()); }
    QStringList titles() const { return m_titles; }

    QSize sizeHint() const override;

signals:
    void currentIndexChanged(int index);
    void activated(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutSegments();

    QStringList m_titles;
    QButtonGroup* m_group;
    int m_current = -1;
};

} // namespace vantorel
