// The six input actions that steer the world: each may be bound to a key, to
// a device element, or to both; once a tick they are polled into the turn,
// thrust and zoom inputs.
#pragma once

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
    UInt32 keyCode;      // key code of the bound key
    char charCode;       // the character it produced when bound; non-zero marks key code 0 as bound
    Boolean keyState;    // the bound key is held
    pRecElement pElement; // the bound element, owned by the device list
    pRecDevice pDevice;   // its device
    SInt32 value;         // the value of the latest poll
};

extern actionRec actionArray[kNumActions];

inline bool IsKeyBound(const actionRec& action)
{
    return action.keyCode != 0 || action.charCode != 0;
}

inline bool IsDeviceBound(const actionRec& action)
{
    return action.pDevice && action.pElement;
}

// Sets the element's user range to the one the action scales onto.
void SetActionUserRange(pRecElement pElement, int32_t action);

// A raw key down (keyDown true) or up in a sprite window: every action bound
// to the key records whether it is held.
void GetKeyInput(EventRef event, Boolean keyDown);

// Polls every action: bound elements are read and scaled, held keys add
// their fixed amounts, and the X axis is clamped to -127..127.
void GetInput();
