// Events: their records and parameters, the handlers of the application and
// of each window, and the sending of events to them.
#include <cstring>

#include "Host_App_Internal.h"

OpaqueEventTargetRef gApplicationTarget;

namespace {

bool Matches(const HostEventHandler& handler, const OpaqueEventRef& event)
{
    for (const EventTypeSpec& spec : handler.types)
        if (spec.eventClass == event.eventClass && spec.eventKind == event.kind)
            return true;
    return false;
}

// Hands the event to the target's handlers in order until one handles it.
// The handlers are copied first: one of them may dispose of the window that
// owns the target.
OSStatus Dispatch(OpaqueEventTargetRef* target, WindowRef owner, OpaqueEventRef* event)
{
    const std::vector<HostEventHandler> handlers = target->handlers;
    for (const HostEventHandler& handler : handlers) {
        if (owner && !HostIsLiveWindow(owner))
            break;
        if (!Matches(handler, *event))
            continue;
        const OSStatus result = handler.proc(nullptr, event, handler.userData);
        if (result != eventNotHandledErr)
            return result;
    }
    return eventNotHandledErr;
}

} // namespace

EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr proc)
{
    return proc;
}

OSType GetEventClass(EventRef event)
{
    return event ? event->eventClass : 0;
}

UInt32 GetEventKind(EventRef event)
{
    return event ? event->kind : 0;
}

OSStatus GetEventParameter(EventRef event, OSType name, OSType desiredType, OSType* actualType, size_t bufferSize,
                           size_t* actualSize, void* data)
{
    if (!event)
        return paramErr;
    const void* source = nullptr;
    size_t size = 0;
    UInt32 keyCode = event->keyCode;
    if (name == kEventParamDirectObject && desiredType == typeHICommand && event->hasCommand) {
        source = &event->command;
        size = sizeof(HICommand);
    } else if (name == kEventParamDirectObject && desiredType == typeWindowRef && event->window) {
        source = &event->window;
        size = sizeof(WindowRef);
    } else if (name == kEventParamKeyCode && desiredType == typeUInt32 && event->hasKey) {
        source = &keyCode;
        size = sizeof keyCode;
    } else if (name == kEventParamKeyMacCharCodes && desiredType == typeChar && event->hasKey) {
        source = &event->charCode;
        size = 1;
    } else {
        return eventParameterNotFoundErr;
    }
    if (bufferSize < size || !data)
        return paramErr;
    std::memcpy(data, source, size);
    if (actualType)
        *actualType = desiredType;
    if (actualSize)
        *actualSize = size;
    return noErr;
}

EventTargetRef GetApplicationEventTarget()
{
    return &gApplicationTarget;
}

EventTargetRef GetWindowEventTarget(WindowRef window)
{
    return HostIsLiveWindow(window) ? &window->target : nullptr;
}

OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler, UInt32 numTypes, const EventTypeSpec* list,
                             void* userData, EventHandlerRef* outRef)
{
    if (!target || !handler || (numTypes && !list))
        return paramErr;
    target->handlers.push_back(HostEventHandler{handler, std::vector<EventTypeSpec>(list, list + numTypes), userData});
    if (outRef)
        *outRef = reinterpret_cast<EventHandlerRef>(target);
    return noErr;
}

OSStatus HostSendCommand(OSType commandID)
{
    OpaqueEventRef event;
    event.eventClass = kEventClassCommand;
    event.kind = kEventCommandProcess;
    event.hasCommand = true;
    event.command.commandID = commandID;
    event.command.menu.menuRef = &gMainMenu;
    OSStatus result = eventNotHandledErr;
    if (WindowRef front = FrontWindow())
        result = Dispatch(&front->target, front, &event);
    if (result == eventNotHandledErr)
        result = Dispatch(&gApplicationTarget, nullptr, &event);
    if (result == eventNotHandledErr && commandID == kHICommandQuit)
        QuitApplicationEventLoop();
    return result;
}

OSStatus HostSendWindowCommand(WindowRef window, OSType commandID)
{
    if (!HostIsLiveWindow(window))
        return HostSendCommand(commandID);
    OpaqueEventRef event;
    event.eventClass = kEventClassCommand;
    event.kind = kEventCommandProcess;
    event.hasCommand = true;
    event.command.commandID = commandID;
    OSStatus result = Dispatch(&window->target, window, &event);
    if (result == eventNotHandledErr)
        result = Dispatch(&gApplicationTarget, nullptr, &event);
    if (result == eventNotHandledErr && commandID == kHICommandQuit)
        QuitApplicationEventLoop();
    return result;
}

OSStatus HostSendMenuOpening()
{
    OpaqueEventRef event;
    event.eventClass = kEventClassMenu;
    event.kind = kEventMenuOpening;
    return Dispatch(&gApplicationTarget, nullptr, &event);
}

OSStatus HostSendWindowEvent(WindowRef window, UInt32 kind)
{
    if (!HostIsLiveWindow(window))
        return paramErr;
    OpaqueEventRef event;
    event.eventClass = kEventClassWindow;
    event.kind = kind;
    event.window = window;
    const OSStatus result = Dispatch(&window->target, window, &event);
    if (result == eventNotHandledErr && kind == kEventWindowClose && HostIsLiveWindow(window))
        DisposeWindow(window);
    return result;
}

OSStatus HostSendKeyEvent(WindowRef window, bool down, UInt32 keyCode, unsigned char charCode)
{
    if (!HostIsLiveWindow(window))
        return paramErr;
    OpaqueEventRef event;
    event.eventClass = kEventClassKeyboard;
    event.kind = down ? kEventRawKeyDown : kEventRawKeyUp;
    event.window = window;
    event.hasKey = true;
    event.keyCode = keyCode;
    event.charCode = charCode;
    return Dispatch(&window->target, window, &event);
}
