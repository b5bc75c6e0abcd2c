#pragma once

#include <QLabel>

namespace vantorel {

// Plain text wrapped onto at most `maximumLines` lines; the last line shown ends in an ellipsis
// when the text does not fit. `text()` stays the whole text.
class LineLimitedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LineLimitedLabel(int maximumLines, const QString& text = QString(), QWidget* parent = nullptr);

    int maximumLines() const { return m_maximumLines; }
    // The lines as drawn at the current width.
    QStringList visibleLines() const { return layoutLines(width()); }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList layoutLines(int width) const;

    int m_maximumLines;
};

} // namespace vantorel
