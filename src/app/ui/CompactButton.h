#pragma once

#include <QAbstractButton>

namespace vantorel {

// A labelled action chip: the title, then its symbol, on a rounded window-coloured background
// with a light shadow. Disabled, it dims like any control; tooltips are the caller's.
class CompactButton : public QAbstractButton
{
    Q_OBJECT

public:
    CompactButton(const QString& title, const QString& systemName, QWidget* parent = nullptr);

    void setSymbol(const QString& systemName);
    QString symbol() const { return m_symbol; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Space kept around the chip for its shadow.
    static constexpr int shadowMargin = 2;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
};

} // namespace vantorel
