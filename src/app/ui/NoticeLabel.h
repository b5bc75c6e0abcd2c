#pragma once

#include <QWidget>

class QLabel;

namespace vantorel {

class SymbolView;

// A hint or warning line: a symbol, then text that wraps, both in the caption font and the
// secondary colour. The text label is named "notice.text".
class NoticeLabel : public QWidget
{
    Q_OBJECT

public:
    NoticeLabel(const QString& text, const QString& systemName, QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const;
    void setSymbol(const QString& systemName);

private:
    SymbolView* m_symbol;
    QLabel* m_text;
};

} // namespace vantorel
