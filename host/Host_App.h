// The application services: events and their handlers, the event loop and
// its timers, windows, menus, the interface description and the beep, on Qt.
// A file a job: Host_Events, Host_Event_Loop, Host_Menus, Host_Windows (with
// the window's reference constant), Host_Key_Events, Host_Ports,
// Host_Controls, Host_Beep.
//
// Every event that matters is turned into an event record (class, kind and
// parameters) and handed to the handlers installed on its target, in the
// order they were installed. A handler that returns eventNotHandledErr lets
// the next one run and, after the last, the standard handling: the 'quit'
// command ends the event loop, a close box disposes of the window.
#pragma once

#include <cstddef>

#include "Host_Types.h"
#include "Host_Window_Types.h"

// ---- events ----------------------------------------------------------------

constexpr OSType kEventClassCommand = FourCC("cmds");
constexpr OSType kEventClassMenu = FourCC("menu");
constexpr OSType kEventClassWindow = FourCC("wind");
constexpr OSType kEventClassKeyboard = FourCC("keyb");

constexpr UInt32 kEventCommandProcess = 1;
constexpr UInt32 kEventMenuOpening = 4;
constexpr UInt32 kEventWindowDrawContent = 2;
constexpr UInt32 kEventWindowActivated = 5;
constexpr UInt32 kEventWindowShown = 24;
constexpr UInt32 kEventWindowBoundsChanged = 27;
constexpr UInt32 kEventWindowResizeCompleted = 29;
constexpr UInt32 kEventWindowClose = 72;
constexpr UInt32 kEventWindowZoomed = 76;
constexpr UInt32 kEventRawKeyDown = 1;
constexpr UInt32 kEventRawKeyUp = 3;

// Parameter names and types.
constexpr OSType kEventParamDirectObject = FourCC("----");
constexpr OSType kEventParamKeyCode = FourCC("kcod");
constexpr OSType kEventParamKeyMacCharCodes = FourCC("kchr");
constexpr OSType typeHICommand = FourCC("hcmd");
constexpr OSType typeWindowRef = FourCC("wind");
constexpr OSType typeUInt32 = FourCC("magn");
constexpr OSType typeChar = FourCC("TEXT");
constexpr OSStatus eventParameterNotFoundErr = -9870;

constexpr OSType kHICommandQuit = FourCC("quit");

struct MenuRec;
using MenuRef = MenuRec*;

// A command sent by a menu item or a control. 14 bytes as the platform packs it.
#pragma pack(push, 2)
struct HICommand {
    UInt32 attributes;
    UInt32 commandID;
    struct {
        MenuRef menuRef;
        uint16_t menuItemIndex;
    } menu;
};
#pragma pack(pop)

struct EventTypeSpec {
    OSType eventClass;
    UInt32 eventKind;
};

struct OpaqueEventRef;
using EventRef = OpaqueEventRef*;
struct OpaqueEventHandlerCallRef;
using EventHandlerCallRef = OpaqueEventHandlerCallRef*;
struct OpaqueEventTargetRef;
using EventTargetRef = OpaqueEventTargetRef*;
struct OpaqueEventHandlerRef;
using EventHandlerRef = OpaqueEventHandlerRef*;

using EventHandlerProcPtr = OSStatus (*)(EventHandlerCallRef, EventRef, void*);
using EventHandlerUPP = EventHandlerProcPtr;
EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr proc);

OSType GetEventClass(EventRef event);
UInt32 GetEventKind(EventRef event);
// Copies a parameter of the event. eventParameterNotFoundErr when the event
// has none of that name and type; paramErr when the buffer is too small.
OSStatus GetEventParameter(EventRef event, OSType name, OSType desiredType, OSType* actualType, size_t bufferSize,
                           size_t* actualSize, void* data);

EventTargetRef GetApplicationEventTarget();
EventTargetRef GetWindowEventTarget(WindowRef window);
OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler, UInt32 numTypes, const EventTypeSpec* list,
                             void* userData, EventHandlerRef* outRef);

// Builds and sends events as the platform would: to the window's handlers
// (window and key events) or to the front window and then the application
// (commands, menu opening). Returns what the handlers returned, after the
// standard handling of events that none handled. Tests use these too.
OSStatus HostSendCommand(OSType commandID);
OSStatus HostSendMenuOpening();
OSStatus HostSendWindowEvent(WindowRef window, UInt32 kind);
OSStatus HostSendKeyEvent(WindowRef window, bool down, UInt32 keyCode, unsigned char charCode);

// ---- event loop and timers -------------------------------------------------

struct OpaqueEventLoopRef;
using EventLoopRef = OpaqueEventLoopRef*;
struct OpaqueEventLoopTimerRef;
using EventLoopTimerRef = OpaqueEventLoopTimerRef*;
using EventLoopTimerProcPtr = void (*)(EventLoopTimerRef, void*);
using EventLoopTimerUPP = EventLoopTimerProcPtr;
using EventTimerInterval = double; // seconds

EventLoopRef GetCurrentEventLoop();
EventLoopTimerUPP NewEventLoopTimerUPP(EventLoopTimerProcPtr proc);
// An interval below a millisecond fires whenever the event loop is idle.
OSStatus InstallEventLoopTimer(EventLoopRef loop, EventTimerInterval fireDelay, EventTimerInterval interval,
                               EventLoopTimerUPP proc, void* userData, EventLoopTimerRef* outTimer);
OSStatus RemoveEventLoopTimer(EventLoopTimerRef timer);
// Runs the event loop until the 'quit' command's standard handling ends it.
void RunApplicationEventLoop();
void QuitApplicationEventLoop();

// From now on SIGTERM, SIGINT and SIGHUP (each unless it was ignored when the
// program started) send the 'quit' command through the event loop, as the
// Quit menu item does, and end the event loop. Once one has arrived, another
// ends the program at once.
void HostQuitOnSignals();
// Runs proc once if the process is ended from inside the event loop, as the
// platform layer does when the display connection is lost (a logout): from
// exit() on X11, just before _exit() on Wayland. Never when the event loop
// returns. From then on SIGPIPE is ignored: a write to a lost display fails
// rather than killing the process.
void HostSetLostDisplayProc(void (*proc)());

// ---- interface description, menus and windows ------------------------------

struct OpaqueIBNibRef;
using IBNibRef = OpaqueIBNibRef*;

// Opens the interface description "main"; -1 for any other name.
OSStatus CreateNibReference(const char* name, IBNibRef* outNibRef);
// Installs the menu bar "MainMenu" in every window from now on.
OSStatus SetMenuBarFromNib(IBNibRef nibRef, const char* name);
// Creates a hidden window "MainWindow" (a sprite window with a GL surface)
// or "ConfigWindow".
OSStatus CreateWindowFromNib(IBNibRef nibRef, const char* name, WindowRef* outWindow);
void DisposeNibReference(IBNibRef nibRef);

MenuRef GetMenuHandle(int16_t menuID);
void CheckMenuItem(MenuRef menu, uint16_t item, Boolean checked);

void ShowWindow(WindowRef window);
void HideWindow(WindowRef window);
void DisposeWindow(WindowRef window);
void SetWTitle(WindowRef window, const char* title);
// Resizes the window so that its content (the GL surface of a sprite window)
// is w by h device pixels.
void SizeWindow(WindowRef window, int16_t w, int16_t h, Boolean fUpdate);
// The frontmost shown window, or null. The host keeps its own front-to-back
// order: a window comes to the front when it is shown, activated or clicked.
WindowRef FrontWindow();
OSStatus SetUserFocusWindow(WindowRef window);

// The GL surface's rectangle in device pixels, top-left at 0.
Rect* GetWindowPortBounds(WindowRef window, Rect* bounds);
// Asks for a redraw, which arrives as kEventWindowDrawContent.
OSStatus InvalWindowRect(WindowRef window, const Rect* bounds);

CGrafPtr GetWindowPort(WindowRef window);
void GetPort(GrafPtr* port);
void SetPort(GrafPtr port);
void SetPortWindowPort(WindowRef window);
// Converts a point of the current port's surface to screen coordinates in
// device pixels.
void LocalToGlobal(Point* point);

// ---- controls ----------------------------------------------------------------

// A control of a window from the interface description, found by its
// signature and number.
struct ControlID {
    OSType signature;
    SInt32 id;
};
struct OpaqueControlRef;
using ControlRef = OpaqueControlRef*;

constexpr int16_t kControlEntireControl = 0;
constexpr OSType kControlStaticTextTextTag = FourCC("text");

OSStatus GetControlByID(WindowRef window, const ControlID* inID, ControlRef* outControl);
// Radio buttons: 1 selected, 0 not.
void SetControlValue(ControlRef control, SInt32 value);
SInt32 GetControlValue(ControlRef control);
OSStatus DisableControl(ControlRef control);
OSStatus EnableControl(ControlRef control);
// Static texts: kControlStaticTextTextTag sets the whole text from size
// bytes of Latin-1 characters.
OSStatus SetControlData(ControlRef control, int16_t part, OSType tag, int32_t size, const void* data);
// Throws away the keys and clicks that came while the event loop was kept
// waiting, so that the program does not act on them afterwards.
void HostDiscardPendingInput();
// Redraws the window's controls at once, even while the event loop waits.
void DrawControls(WindowRef window);
// A click on a button of the window: the command goes to the window's
// handlers first, then to the application's.
OSStatus HostSendWindowCommand(WindowRef window, OSType commandID);

// ---- the rest ---------------------------------------------------------------

void SysBeep(int16_t duration);
