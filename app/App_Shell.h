// The program's shell: start-up, the application and window event handlers,
// the menu commands and the frame timer.
#pragma once

#include "Host_App.h"
#include "Host_Types.h"

enum { kMainMenu = 500 };

extern EventLoopTimerRef gTimer;
extern WindowRef gConfigWindow;
extern IBNibRef nibRef;
extern Boolean gfDevice;
extern EventHandlerUPP gEvtHandler;
extern EventHandlerUPP gWinEvtHandler;
extern EventHandlerUPP gConfigEvtHandler;

// Lets the user choose a sprite file and opens a window on it. The status of
// creating the window, or eventNotHandledErr when no sprite file was loaded.
OSStatus OpenSpriteFile();
OSStatus myEvtHndlr(EventHandlerCallRef handler, EventRef event, void* userData);
OSStatus myWindowEvtHndlr(EventHandlerCallRef handler, EventRef event, void* userData);
void HandleWindowUpdate(WindowRef window);
void IdleTimer(EventLoopTimerRef timer, void* userData);
EventLoopTimerUPP GetTimerUPP();

// Builds the device list again after input devices came or went, between
// ticks: the bindings in force find their elements in the new list, and the
// configuration window shows the change.
void UpdateDeviceList();

// Start-up up to the event loop: the interface description, the menu bar,
// the application handler and the first sprite file. A status other than
// noErr means start-up failed and the program should end with it.
OSStatus StartApplication();
// Everything after the event loop returns, in order.
void StopApplication();
