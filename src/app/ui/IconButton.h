#pragma once

#include <QAbstractButton>

namespace vantorel {

// A borderless symbol-only button in a fixed 25 x 25 frame, whatever the symbol. The
// accessibility label is its only text; it shows no tooltip of its own.
class IconButton : public QAbstractButton
{
    Q_OBJECT

public:
    IconButton(const QString& systemName, const QString& accessibilityLabel, QWidget* parent = nullptr);

    void setSymbol(const QString& systemName);
    QString symbol() const { return m_symbol; }

    QSize sizeHint() const override { return {frameSize, frameSize}; }

    static constexpr int frameSize = 25;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
};

} // namespace vantorel
