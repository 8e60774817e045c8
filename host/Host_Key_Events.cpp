// Keys in the host's windows: raw key events to the window's handlers, then
// the menus' shortcuts, and the keys that press a window's buttons.
#include <QAbstractButton>
#include <QKeyEvent>

#include "Host_App_Internal.h"

bool HostTakeShortcutOverride(QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    event->accept();
    return true;
}

bool HostHandleKey(WindowRef window, QWidget* menuOwner, QKeyEvent* event, bool down)
{
    if (event->isAutoRepeat())
        return true;
    OSStatus result = eventNotHandledErr;
    if (window) {
        const QByteArray text = event->text().toLatin1();
        const unsigned char charCode = text.size() == 1 ? static_cast<unsigned char>(text[0]) : 0;
        result = HostSendKeyEvent(window, down, event->nativeScanCode(), charCode);
    }
    if (down && result == eventNotHandledErr)
        return HostTriggerShortcut(menuOwner, event);
    return true;
}

// A key that a window of controls left to the system: Return, Enter and
// Escape press its OK button, Alt with a button's underlined letter presses
// that button. Its buttons take no keyboard focus (every key may be one to
// bind), so this is how the window is used from the keyboard.
bool HostPressButtonForKey(QWidget* window, QKeyEvent* event)
{
    const int key = event->key();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const bool closing = plain && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape);
    const QKeySequence pressed(event->keyCombination());
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->isVisible() || !button->isEnabled())
            continue;
        const bool chosen = closing
                                ? button->property("commandID").toString() == QLatin1String("ok  ")
                                : QKeySequence::mnemonic(button->text()).matches(pressed) == QKeySequence::ExactMatch;
        if (chosen) {
            button->click();
            return true;
        }
    }
    return false;
}
