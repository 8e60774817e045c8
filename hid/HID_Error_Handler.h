// Error reporting of the HID layer: the message is formatted and not shown.
// HID failures are silent; callers go on with their own failure path.
#pragma once

#include "Host_Types.h"

void HIDReportError(const char* strError);
void HIDReportErrorNum(const char* strError, int32_t numError);

// For tests: an observer that receives every formatted message (null: none).
// The program installs none, so its HID messages stay unseen.
using HIDReportObserver = void (*)(const char* message);
void HIDSetReportObserver(HIDReportObserver observer);
