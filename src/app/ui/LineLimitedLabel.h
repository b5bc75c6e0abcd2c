#pragma once

#include <QLabel>

#include <limits>

namespace vantorel {

// Plain text wrapped between the phrases of `linePhrases` (between the parts of `phraseParts` only
// when the phrase alone is wider than the line, inside a part only when that part is) onto at most
// `maximumLines` lines; the last line shown ends in an ellipsis when the text does not fit.
// `text()` stays the whole text. Every label of the kit that wraps is one: Qt's own word wrap
// breaks Japanese between any two characters.
class LineLimitedLabel : public QLabel
{
    Q_OBJECT

public:
    // For a label that takes as many lines as its text needs.
    static constexpr int unlimited = std::numeric_limits<int>::max();

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
    QStringList breakLines(const QString& content, int width) const;

    int m_maximumLines;
    // The last lines laid out: painting, the height for a width and the size hint ask for the same
    // lines again and again, and measuring every phrase each time is the costly part.
    struct Layout {
        QString text;
        QFont font;
        int width = -1;
        QStringList lines;
    };
    mutable Layout m_layout;
};

} // namespace vantorel
