// Basic types and result codes shared by every module, in the widths the
// program's records and file formats rely on.
#pragma once

#include <cstdint>

using OSStatus = int32_t;
using OSErr = int16_t;
using Boolean = uint8_t;
using OSType = uint32_t;
using SInt16 = int16_t;
using SInt32 = int32_t;
using UInt32 = uint32_t;

// Length-prefixed strings: one length byte, then the characters, no terminator.
using Str255 = unsigned char[256];
using Str63 = unsigned char[64];
using StringPtr = unsigned char*;
using ConstStringPtr = const unsigned char*;

constexpr OSStatus noErr = 0;
constexpr OSStatus paramErr = -50;
constexpr OSStatus eventNotHandledErr = -9874;

// Builds a four-character code from its text, compared as a big-endian integer:
// FourCC("gogo").
constexpr OSType FourCC(const char (&code)[5])
{
    return (OSType(uint8_t(code[0])) << 24) | (OSType(uint8_t(code[1])) << 16) |
           (OSType(uint8_t(code[2])) << 8) | OSType(uint8_t(code[3]));
}

// The location of a file: the folder that holds it and its plain name. Files
// that lie beside a given file are reached by replacing the name. The name is
// a Str255: a Linux file name holds up to 255 bytes.
struct FSSpec {
    char folder[4096];
    Str255 name;
};
