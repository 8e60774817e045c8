// Binding actions to device elements: waiting for the user to move one, and
// saving and finding again the identity of an element.
#pragma once

#include <cstdio>

#include "HID_Devices_External.h"
#include "Host_HID_Usages.h"
#include "Host_Types.h"

// Share of an element's logical range, in percent, its value must move by.
constexpr int32_t kPercentMove = 10;

// The saved identity of one device element: nine big-endian 32-bit fields.
struct recSaveHID {
    SInt32 actionCookie; // the caller's number
    SInt32 vendorID;
    SInt32 productID;
    SInt32 locID;
    SInt32 usage;
    SInt32 usagePage;
    SInt32 usagePageE;
    SInt32 usageE;
    UInt32 cookie;
};
constexpr int32_t kSaveHIDBytes = 36;

// Whether binding by movement may take the element: not one of a motion
// sensor nor a motion axis of another device (a Wii Nunchuk's accelerometer
// beside its stick), and not an axis whose range is empty or reversed (its
// share of the range would be zero or negative, so it would count as moved at
// rest).
Boolean HIDCanConfigureElement(pRecDevice pDevice, pRecElement pElement);

// Whether some device of the list has an element binding by movement may take.
Boolean HIDHaveConfigurableElement();

// Waits until an element of some device that binding may take moves by more
// than kPercentMove of its range from where it was when the call began (any
// change for a button), polling without pause, for at most timeout seconds of wall-clock
// time. True with the device and element; false with both null when nothing
// moved. Without a device list one of game pads is built; when that fails,
// false with the outputs left as they were.
Boolean HIDConfigureAction(pRecDevice* ppDevice, pRecElement* ppElement, float timeout);

// Writes the 36-byte record of the binding (all zero but actionCookie when
// either is null) to fileRef, when it is not null.
void HIDSaveElementConfig(FILE* fileRef, pRecDevice pDevice, pRecElement pElement, SInt32 actionCookie);

// Reads one record and finds its device and element in the device list: the
// same device at the same place, then the same model anywhere, then the same
// kind of device, then the first device. Both outputs null when nothing was
// found or the record could not be read whole. The record's actionCookie.
SInt32 HIDRestoreElementConfig(FILE* fileRef, pRecDevice* ppDevice, pRecElement* ppElement);

// The record of a binding (all zero but actionCookie when either is null),
// and the device and element of the list it names, found by the passes
// above (both null when none is).
recSaveHID HIDMakeSaveRecord(pRecDevice pDevice, pRecElement pElement, SInt32 actionCookie);
void HIDFindSavedElement(const recSaveHID& record, pRecDevice* ppDevice, pRecElement* ppElement);

// The record's bytes as written, and read back from them.
void HIDPackSaveRecord(const recSaveHID& record, unsigned char bytes[kSaveHIDBytes]);
recSaveHID HIDUnpackSaveRecord(const unsigned char bytes[kSaveHIDBytes]);
