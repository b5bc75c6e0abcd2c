#pragma once

#include <QFontMetrics>
#include <QProxyStyle>

namespace vantorel {

// The application's widget style: Fusion with the kit's own rules for what Fusion draws dated or
// inconsistent. Push buttons get one padding and one minimum width, scroll bars are thin with a
// visible handle and no arrow buttons, text fields keep a border that shows in both schemes, and
// password fields show small bullets. Push buttons and page scroll areas show the kit's focus ring
// when the keyboard brought the focus, as the kit's own controls do, and every button takes
// Return and Enter while it has the focus.
class KitStyle final : public QProxyStyle
{
    Q_OBJECT

public:
    KitStyle();

    // Space between a push button's frame and its icon or text on either side.
    static constexpr int buttonHorizontalPadding = 12;
    // No push button with text is narrower, so a row of buttons reads as one set.
    static constexpr int minimumButtonWidth = 88;
    static constexpr int scrollBarExtent = 8;
    static constexpr int minimumScrollHandleLength = 24;
    static constexpr char16_t passwordCharacter = u'\u2022';
    // A disabled text field's border: the secondary label colour at this strength, fainter than an
    // enabled field's (`SystemColors::textFieldBorder`) as every disabled control is.
    static constexpr qreal disabledTextFieldBorderOpacity = 0.25;
    // A push button with this property set to true is filled red with a white title: the action
    // of a confirmation that cannot be undone.
    static constexpr auto destructiveProperty = "kitDestructive";

    // The width a push button needs to show `text` and an icon `iconWidth` wide (0 without one)
    // in `metrics`, padding included.
    static int pushButtonWidth(const QFontMetrics& metrics, const QString& text, int iconWidth);

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    void polish(QWidget* widget) override;
    using QProxyStyle::polish;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                         const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
};

} // namespace vantorel
