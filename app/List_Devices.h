// What the program sees of the machine's input devices, for the user.
#pragma once

#include <cstdio>

// Builds the list of all devices, prints each device with its element tree
// and releases the list. 0, or 1 when no device list could be built.
int ListDevices(FILE* out);
