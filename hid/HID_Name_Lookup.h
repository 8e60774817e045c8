// Readable names for HID usages and for the elements of known devices.
#pragma once

#include "Host_Types.h"

// Names a usage after the HID usage tables, or formats its numbers when the
// tables have no name for it. cstrName holds 256 bytes.
void HIDGetUsageName(int32_t valueUsagePage, int32_t valueUsage, char* cstrName);

// The name a known device gives the element with this cookie, or the empty
// string. pName holds 256 bytes.
void GetElementNameFromVendorProduct(int32_t vendorID, int32_t productID, int32_t cookie, char* pName);
