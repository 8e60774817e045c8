// The developer's console: messages to standard error.
#pragma once

#include "Host_Types.h"

// Writes the length-prefixed text to standard error as one line (a newline is
// added when the text does not end with one) and returns.
void DebugStr(ConstStringPtr debuggerMsg);
