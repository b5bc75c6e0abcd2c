#include "app/ui/ButtonKeys.h"

#include "app/ui/FocusRing.h"
#include "app/ui/ToggleSwitch.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace vantorel {

namespace {

bool isActivationKey(const QKeyEvent* event)
{
    // Enter on the keypad arrives with the keypad modifier; any other modifier makes another key.
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier;
}

// One filter for every button: it holds no state of its own.
class ButtonKeyFilter final : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        auto* button = static_cast<QAbstractButton*>(watched);
        // A button that holds the focus without showing it (given it as its window opened, or
        // clicked) leaves the key to the window: it acts where the user sees the ring.
        if (!isActivationKey(key) || !button->isEnabled() || !FocusRing::isShown(button))
            return false;
        // An accepted override keeps the key from the window's shortcuts: the press comes here.
        key->accept();
        // One press, one click: a held key does not repeat the action.
        if (type == QEvent::KeyPress && !key->isAutoRepeat())
            button->click();
        return true;
    }
};

} // namespace

void ButtonKeys::install(QAbstractButton* button)
{
    // A switch takes Space only, as Qt's and KDE's switches and check boxes do: Return stays the
    // window's, so it does not flip a setting on its way to the forward button.
    if (qobject_cast<ToggleSwitch*>(button))
        return;
    static ButtonKeyFilter filter;
    // Qt moves a filter installed twice instead of adding it again.
    button->installEventFilter(&filter);
}

} // namespace vantorel
