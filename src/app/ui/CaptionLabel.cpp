#include "app/ui/CaptionLabel.h"

#include "app/ui/TextColor.h"
#include "app/ui/UiFont.h"

namespace vantorel {

CaptionLabel::CaptionLabel(const QString& text, QWidget* parent)
    : LineLimitedLabel(unlimited, text, parent)
{
    setFont(UiFont::caption());
    setTextColor(this, colors::secondary);
}

SectionTitle::SectionTitle(const QString& text, QWidget* parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setFont(UiFont::sectionTitle());
    setText(text);
}

} // namespace vantorel
