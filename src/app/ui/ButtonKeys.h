#pragma once

class QAbstractButton;

namespace vantorel {

// Return and Enter press the button that shows the focus ring, as Space does, and no window
// shortcut or dialog default takes them from it: the key acts on the control the ring is on. A
// button that holds the focus without a ring leaves them to the window, and so does a switch. The
// kit's style gives this to every button it polishes.
class ButtonKeys
{
public:
    ButtonKeys() = delete;

    // Once per button is enough; later calls change nothing.
    static void install(QAbstractButton* button);
};

} // namespace vantorel
