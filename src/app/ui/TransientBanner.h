#pragma once

#include <QWidget>

#include <optional>

class QLabel;

namespace vantorel {

class SymbolView;

// A short message floating over the bottom of its parent, in a rounded box that stands out
// from either appearance. It holds no timer: the owner shows a message and hides it again by
// setting none. The text is plain and wraps at punctuation; the label is named "banner.text".
class TransientBanner : public QWidget
{
    Q_OBJECT

public:
    static constexpr int margin = 10;
    static constexpr int padding = 8;
    static constexpr int symbolSpacing = 6;

    explicit TransientBanner(QWidget* parent);

    // Shows `message` over the parent's bottom edge, or hides the banner without one.
    void setMessage(const std::optional<QString>& message);
    QString text() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void place();

    SymbolView* m_symbol;
    QLabel* m_text;
};

} // namespace vantorel
