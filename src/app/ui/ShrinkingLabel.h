#pragma once

#include <QLabel>

namespace vantorel {

// One line of plain text that, when it does not fit its width, is drawn smaller down to
// `minimumScale` of its font size, and only then elided. `text()` stays the whole text.
class ShrinkingLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ShrinkingLabel(qreal minimumScale, QWidget* parent = nullptr);

    // The scale the text is drawn at in the current width: 1 when it fits.
    qreal shownScale() const;
    // The text as drawn in the current width, elided when even the smallest size is too wide.
    QString shownText() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal m_minimumScale;
};

} // namespace vantorel
