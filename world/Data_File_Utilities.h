// Reads a whole text data file into memory and hands out its values one line
// at a time: integers, floats, Booleans and strings.
//
// A line ends at a carriage return, a line feed, or a carriage return followed
// by a line feed (one line end). A line whose first two bytes are "//" is a
// comment and is skipped before a value; "//" later in a line ends the value.
// Every other line, blank ones included, holds exactly one value.
#pragma once

#include "Host_Types.h"

// Asks the user for a file and reads it whole. Returns the new buffer (owned
// by the caller, released with DisposeDataBuffer) with its size and location,
// or nullptr when no file was read. A chosen file that is not read (missing,
// unreadable, a folder, FIFO or device, over 2 GiB) is reported on the
// console with its name and the reason; a cancelled dialog is not.
char* ReadDataFile(int32_t* pBufferSize, FSSpec* pfsspecData);
void DisposeDataBuffer(char** ppBuffer);

// Each read consumes one value line and leaves *pIndex at the start of the
// next line. Reads at or past the end give 0, 0.0, false or "".
int32_t GetLongFromData(const char* pBuffer, int32_t* pIndex, int32_t bufferSize);
float GetFloatFromData(const char* pBuffer, int32_t* pIndex, int32_t bufferSize);
Boolean GetBooleanFromData(const char* pBuffer, int32_t* pIndex, int32_t bufferSize);
// cstr must hold 256 bytes; longer values are cut at 255 characters.
void GetCStrFromData(const char* pBuffer, int32_t* pIndex, int32_t bufferSize, char* cstr);
