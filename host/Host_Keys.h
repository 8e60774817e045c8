// Names of keys, for the keys that produce no printable character.
#pragma once

#include "Host_Types.h"

// The XKB keysym name of the key with this key code ("Left", "F1",
// "Return") in the default keyboard layout, cut to size - 1 characters. False
// (and an empty text) for a key code the layout does not know.
Boolean HostKeyName(UInt32 keyCode, char* name, int32_t size);
