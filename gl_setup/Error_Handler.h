// Error reporting for the application and graphics code: messages go to the
// developer's console and the program carries on.
#pragma once

#include "Host_Types.h"

// Copies a NUL-terminated text into a length-prefixed 256-byte buffer. Texts
// longer than 255 characters are cut at 255.
void CStrToPStr(StringPtr outString, const char* inString);

// Hands the message, followed by a newline, to DebugStr.
void ReportError(const char* strError);

// Reads and clears the pending AGL error and reports its text; the code, 0
// when there was none.
OSStatus aglReportError();

// Reads one pending OpenGL error and reports its text; further queued errors
// wait for the next call. The code, 0 when there was none.
OSStatus glReportError();
