#include "app/window/MonospaceEditor.h"

#include "app/ui/SystemColors.h"
#include "app/ui/UiFont.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontDatabase>

namespace vantorel {

MonospaceEditor::MonospaceEditor(int minimumHeight, QWidget* parent)
    : QPlainTextEdit(parent)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(UiFont::caption().pixelSize());
    setFont(font);
    setMinimumHeight(minimumHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setTabChangesFocus(true);
    applyOutline();
    QCoreApplication::instance()->installEventFilter(this);
}

QSize MonospaceEditor::sizeHint() const
{
    return {QPlainTextEdit::sizeHint().width(), minimumHeight()};
}

bool MonospaceEditor::eventFilter(QObject* watched, QEvent* event)
{
    // Qt tells no widget with a style sheet that the application palette changed; the
    // application object itself hears of it.
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange)
        applyOutline();
    return QPlainTextEdit::eventFilter(watched, event);
}

void MonospaceEditor::applyOutline()
{
    // A style sheet stops the palette from reaching the editor, so its colours are set here too.
    const SystemColors& colors = SystemColors::current();
    const auto rgba = [](const QColor& c) {
        return QStringLiteral("rgba(%1, %2, %3, %4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha());
    };
    const QString sheet =
        QStringLiteral("QPlainTextEdit { border: 1px solid %1; border-radius: 6px; background-color: %2; "
                       "color: %3; }")
            .arg(rgba(colors.textFieldBorder), rgba(colors.textBackground), rgba(colors.label));
    // Setting a sheet changes the palette again; only a new one is applied.
    if (sheet != styleSheet())
        setStyleSheet(sheet);
}

} // namespace vantorel
