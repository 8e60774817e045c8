// Handles and geometry shared by the window, display and GL layers. The
// window record behind WindowRef belongs to the host's application layer
// (Host_App_Internal.h).
#pragma once

#include "Host_Types.h"

struct OpaqueWindowPtr;
using WindowRef = OpaqueWindowPtr*;
using WindowPtr = WindowRef;

// A drawing port: each window has one; the port of no window is null.
struct OpaqueGrafPtr;
using CGrafPtr = OpaqueGrafPtr*;
using GrafPtr = CGrafPtr;

struct Rect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

struct Point {
    int16_t v;
    int16_t h;
};

// A window's reference constant: the sprite window's record, or null for a
// window without one. Only a window of the host (CreateWindowFromNib) that
// has not been disposed of carries one; for any other handle SetWRefCon does
// nothing and GetWRefCon gives null.
using SRefCon = void*;
void SetWRefCon(WindowRef window, SRefCon data);
SRefCon GetWRefCon(WindowRef window);
