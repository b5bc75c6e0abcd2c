#include "app/ui/LineLimitedLabel.h"

#include "app/ui/LineBreaks.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

namespace vantorel {

LineLimitedLabel::LineLimitedLabel(int maximumLines, const QString& text, QWidget* parent)
    : QLabel(parent)
    , m_maximumLines(std::max(1, maximumLines))
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setText(text);
}

QStringList LineLimitedLabel::layoutLines(int width) const
{
    const QString content = text();
    if (width != m_layout.width || content != m_layout.text || font() != m_layout.font)
        m_layout = {content, font(), width, breakLines(content, width)};
    return m_layout.lines;
}

QStringList LineLimitedLabel::breakLines(const QString& content, int width) const
{
    QStringList lines;
    if (content.isEmpty() || width <= 0)
        return lines;
    const QFontMetrics metrics(font());
    // Breaks between phrases and parts are marked first; the layout breaks inside a part only
    // where the part alone is wider than the line.
    QStringList paragraphs = content.split(u'\n');
    for (QString& paragraph : paragraphs)
        paragraph = markLineBreaks(paragraph, metrics, width);
    // The text's own line feeds stay apart from the marked breaks in `marked`; the layout breaks at both.
    const QString marked = paragraphs.join(u'\n');
    QString flat = marked;
    flat.replace(u'\n', QChar::LineSeparator);
    QTextLayout layout(flat, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (lines.size() + 1 == m_maximumLines) {
            // The last allowed line takes the rest of the text, elided to the width.
            QString rest = marked.mid(line.textStart());
            rest.remove(QChar::LineSeparator);
            rest.replace(u'\n', u' ');
            lines.append(metrics.elidedText(rest, Qt::ElideRight, width));
            break;
        }
        lines.append(flat.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines;
}

int LineLimitedLabel::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    const int lines = int(layoutLines(width - margins.left() - margins.right()).size());
    return std::max(1, lines) * QFontMetrics(font()).lineSpacing() + margins.top() + margins.bottom();
}

QSize LineLimitedLabel::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int width = std::min(metrics.horizontalAdvance(text()) + 1, 360);
    return {width, heightForWidth(width)};
}

QSize LineLimitedLabel::minimumSizeHint() const
{
    return {QFontMetrics(font()).horizontalAdvance(QStringLiteral("…")) * 2, QFontMetrics(font()).lineSpacing()};
}

void LineLimitedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QRect area = contentsRect();
    const int lineSpacing = QFontMetrics(font()).lineSpacing();
    int y = area.top();
    for (const QString& line : layoutLines(area.width())) {
        painter.drawText(QRect(area.left(), y, area.width(), lineSpacing), int(alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter, line);
        y += lineSpacing;
    }
}

} // namespace vantorel
