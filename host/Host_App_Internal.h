// Inside the host: the records and state that the files of the application
// services share (Host_Events, Host_Event_Loop, Host_Menus, Host_Windows,
// Host_Key_Events, Host_Ports, Host_Controls, Host_File_Dialog, Host_Beep),
// and that the test seams of testing/ look into. The system's code never
// includes it.
#pragma once

#include <QMainWindow>
#include <QPointer>

#include <vector>

#include "Host_App.h"

class QKeyEvent;
class QTimer;
class QWindow;

// One handler installed on a target, with the event types it takes.
struct HostEventHandler {
    EventHandlerUPP proc;
    std::vector<EventTypeSpec> types;
    void* userData;
};

struct OpaqueEventTargetRef {
    std::vector<HostEventHandler> handlers;
};

struct OpaqueEventRef {
    OSType eventClass = 0;
    UInt32 kind = 0;
    bool hasCommand = false;
    HICommand command{};
    WindowRef window = nullptr;
    bool hasKey = false;
    UInt32 keyCode = 0;
    unsigned char charCode = 0;
};

struct MenuRec {
    int16_t id;
    std::vector<Boolean> checked;
};

struct OpaqueEventLoopTimerRef {
    QTimer* timer;
};

struct OpaqueWindowPtr {
    QPointer<QMainWindow> main;
    QWindow* surface = nullptr; // the GL surface, owned by its container inside main
    OpaqueEventTargetRef target;
    bool spriteWindow = false; // a "MainWindow" with a GL surface
    bool visible = false;
    bool drawPending = false;
    QTimer* resizeDone = nullptr; // fires once after the last resize step
    SRefCon refCon = nullptr;     // the reference constant
};

// ---- events (Host_Events.cpp) ----
extern OpaqueEventTargetRef gApplicationTarget;

// ---- event loop and timers (Host_Event_Loop.cpp) ----
extern std::vector<EventLoopTimerRef> gTimers; // installed and not removed

// ---- menus (Host_Menus.cpp) ----
extern MenuRec gMainMenu;
extern bool gMenuBarInstalled;
// The small window that carries the menu bar while no sprite window is shown.
extern QPointer<QMainWindow> gMenuBarWindow;
// Puts the menu bar "MainMenu" into the window.
void HostInstallMenuBar(QMainWindow* window);
// Shows the menu bar window while no sprite window is shown, hides it otherwise.
void HostUpdateMenuBarWindow();
// Triggers the menu command whose shortcut the key press is. True when one matched.
bool HostTriggerShortcut(QWidget* window, QKeyEvent* event);

// ---- windows (Host_Windows.cpp) ----
extern std::vector<WindowRef> gWindows;     // every live window
extern std::vector<WindowRef> gFrontToBack; // shown windows, front first
// True for a window created and not yet disposed of.
bool HostIsLiveWindow(WindowRef window);
void HostBringToFront(WindowRef window);
// A four-character code that the interface description gives an item as text
// (a menu item's or button's "commandID", a control's "signature"), padded
// with spaces.
OSType HostCodeProperty(const QObject* object, const char* name);

// ---- keys (Host_Key_Events.cpp) ----
// Every key is a window's first, as a raw key event; the menus' shortcuts are
// matched after its handlers (HostHandleKey). So each window of the host
// takes Qt's shortcut override: true when the event was one.
bool HostTakeShortcutOverride(QEvent* event);
// A key press or release in a window: first the window's own handlers as a
// raw key event, then, if they left it unhandled, the menus' shortcuts of
// menuOwner. True when the key was used.
bool HostHandleKey(WindowRef window, QWidget* menuOwner, QKeyEvent* event, bool down);
// A key that a window of controls left to the system: presses the button it
// stands for. True when there was one.
bool HostPressButtonForKey(QWidget* window, QKeyEvent* event);

// ---- ports (Host_Ports.cpp) ----
extern CGrafPtr gCurrentPort;

// ---- the beep (Host_Beep.cpp) ----
extern int gBeeps; // beeps so far
