// The control configuration window: two radio buttons choose between binding
// keys and binding device elements, six buttons start the binding of an
// action, eleven texts show the bindings.
#pragma once

#include "HID_Devices_External.h"
#include "Host_App.h"
#include "Host_Types.h"

struct actionBinding;

// Opens the configuration window, creating it on first use (the 'conf'
// command). The status of creating it, or eventNotHandledErr when it existed.
OSStatus OpenConfigWindow();

OSStatus ConfigEvtHndlr(EventHandlerCallRef handler, EventRef event, void* userData);

// Refreshes the device texts of all six actions and the key texts of the
// last five, then redraws the controls.
void SetControlNames(WindowRef window);
// Enables the device-mode radio button while some device has an element to
// bind by movement, else disables it, going back to key mode if it was on.
void SetDeviceMode(WindowRef window);
void SetControlText(WindowRef window, OSType signature, SInt32 number, const char* text);
// Turns radio button 'ZaVo' n on or off and the other one the opposite way.
void SetControlRadio(WindowRef window, SInt32 number, Boolean value);
Boolean GetControlRadio(WindowRef window, SInt32 number);
// "device: element" for a binding, from names or usage names, in a buffer
// of 256 bytes (longer texts are cut).
void GetDeviceElementNameString(pRecDevice pDevice, pRecElement pElement, char* cstrName);
// The text of a binding in force whose device is away: its name when it was
// last found (else the kinds of device and element), then " (not connected)".
void GetAbsentElementNameString(const actionBinding& binding, char* cstrName);
// The key text of an action: its character in single quotes, or for a key
// that produces no printable character the key's name in quotes ('Left').
void GetKeyNameString(UInt32 keyCode, char charCode, char* cstrName);
