// The six input actions that steer the world: each may be bound to a key, to
// a device element, or to both; once a tick they are polled into the turn,
// thrust and zoom inputs.
#pragma once

#include "HID_Config_Utilities.h"
#include "HID_Devices_External.h"
#include "Host_App.h"
#include "Host_Types.h"

enum {
    kActionXAxis = 0,
    kActionRotLeft = 1,
    kActionRotRight = 2,
    kActionThrust = 3,
    kActionZin = 4,
    kActionZout = 5,
    kNumActions = 6,
};

struct actionRec {
    UInt32 keyCode;       // key code of the bound key
    char charCode;        // the character it produced when bound; non-zero marks key code 0 as bound
    Boolean keyState;     // the bound key is held
    pRecElement pElement; // the bound element, owned by the device list
    pRecDevice pDevice;   // its device
    SInt32 value;         // the value of the latest poll
};

extern actionRec actionArray[kNumActions];

// The device binding in force of an action, kept as the record that saves
// it: it outlives the device list, so that a binding whose device went away
// reads 0, is saved as it was, and comes back when the device returns.
struct actionBinding {
    Boolean inForce;   // an element was bound or loaded for the action
    recSaveHID record; // the element's identity, as bound or loaded
    char name[256];    // "device: element" when it was last found, else empty
};

extern actionBinding bindingArray[kNumActions];

inline bool IsKeyBound(const actionRec& action)
{
    return action.keyCode != 0 || action.charCode != 0;
}

inline bool IsDeviceBound(const actionRec& action)
{
    return action.pDevice && action.pElement;
}

// The keys a first start steers with: Left and Right turn, Up thrusts, A and
// Z zoom in and out. Key codes are XKB key codes, which name physical keys.
void BindDemoKeys();

// Sets the element's user range to the one the action scales onto.
void SetActionUserRange(pRecElement pElement, int32_t action);

// Binds the action to the element, sets the element's user range for it and
// makes the binding the one in force.
void BindActionElement(int32_t action, pRecDevice pDevice, pRecElement pElement);
// Makes the record the binding in force of its action (its actionCookie),
// unless it binds nothing, and binds the element it names in the device
// list, if any.
void LoadActionBinding(const recSaveHID& record);
// Before the device list is released: every device binding is kept as its
// record in force, and no action points into the list any longer.
void ForgetActionElements();
// After the device list was built again: each binding in force finds its
// element in the new list, by the same passes as when it was loaded.
void RestoreActionElements();

// A raw key down (keyDown true) or up in a sprite window: every action bound
// to the key records whether it is held.
void GetKeyInput(EventRef event, Boolean keyDown);

// Polls every action: bound elements are read and scaled, held keys add
// their fixed amounts, and the X axis is clamped to -127..127.
void GetInput();
