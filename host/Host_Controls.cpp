// Controls: the buttons, radio buttons and static texts of a window of the
// interface description, found by signature and number.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>

#include <algorithm>
#include <cstring>

#include "Host_App_Internal.h"

namespace {

QWidget* Widget(ControlRef control)
{
    return reinterpret_cast<QWidget*>(control);
}

} // namespace

OSStatus GetControlByID(WindowRef window, const ControlID* inID, ControlRef* outControl)
{
    if (!outControl)
        return paramErr;
    *outControl = nullptr;
    if (!HostIsLiveWindow(window) || !inID)
        return paramErr;
    for (QWidget* widget : window->main->findChildren<QWidget*>()) {
        if (widget->property("signature").isNull())
            continue;
        if (HostCodeProperty(widget, "signature") == inID->signature &&
            widget->property("number").toInt() == inID->id) {
            *outControl = reinterpret_cast<ControlRef>(widget);
            return noErr;
        }
    }
    return -30584; // errUnknownControl
}

void SetControlValue(ControlRef control, SInt32 value)
{
    if (auto* button = qobject_cast<QAbstractButton*>(Widget(control)))
        button->setChecked(value != 0);
}

SInt32 GetControlValue(ControlRef control)
{
    auto* button = qobject_cast<QAbstractButton*>(Widget(control));
    return button && button->isChecked() ? 1 : 0;
}

OSStatus DisableControl(ControlRef control)
{
    if (!control)
        return paramErr;
    Widget(control)->setEnabled(false);
    return noErr;
}

OSStatus EnableControl(ControlRef control)
{
    if (!control)
        return paramErr;
    Widget(control)->setEnabled(true);
    return noErr;
}

void HostDiscardPendingInput()
{
    // Every pending event is delivered, the keys and clicks into a filter
    // that keeps them from their windows.
    struct InputEater : QObject {
        bool eventFilter(QObject*, QEvent* event) override
        {
            switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
                return true;
            default:
                return false;
            }
        }
    } eater;
    qApp->installEventFilter(&eater);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(&eater);
}

OSStatus SetControlData(ControlRef control, int16_t part, OSType tag, int32_t size, const void* data)
{
    auto* label = qobject_cast<QLabel*>(control ? Widget(control) : nullptr);
    if (!label || part != kControlEntireControl || tag != kControlStaticTextTextTag || size < 0 || (!data && size))
        return paramErr;
    label->setText(QString::fromLatin1(static_cast<const char*>(data), size));
    return noErr;
}

void DrawControls(WindowRef window)
{
    if (HostIsLiveWindow(window) && window->main->isVisible())
        window->main->repaint();
}
