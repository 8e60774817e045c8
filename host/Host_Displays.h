// Display devices: the screens, each with its rectangle in global device
// pixels. Tests replace them with a fixture (testing/Host_GL_Hooks.h).
#pragma once

#include "Host_Types.h"
#include "Host_Window_Types.h"

struct GDevice {
    Rect gdRect;     // the device's rectangle in global coordinates
    int16_t gdFlags; // attribute bits, tested with TestDeviceAttribute
};
using GDPtr = GDevice*;
using GDHandle = GDevice**;

// Device attribute bits.
enum {
    screenDevice = 13,
    screenActive = 15,
};

// The first display device, or null when there is none. The list is taken
// afresh from the screens on every call; handles stay valid until the next.
GDHandle GetDeviceList();
// The device after gd in the list, or null at its end.
GDHandle GetNextDevice(GDHandle gd);
// True when the attribute bit is set in the device's flags.
Boolean TestDeviceAttribute(GDHandle gd, int16_t attribute);
// The intersection of two rectangles in *dst; an empty rectangle (all zero)
// and false when they do not meet.
Boolean SectRect(const Rect* src1, const Rect* src2, Rect* dst);
