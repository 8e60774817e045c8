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

// Four bytes, the most significant first (big-endian), as one 32-bit value,
// and back: the order of four-character codes and of the bindings file.
template <typename Byte>
constexpr uint32_t GetBigEndian32(const Byte* in)
{
    return uint32_t(uint8_t(in[0])) << 24 | uint32_t(uint8_t(in[1])) << 16 | uint32_t(uint8_t(in[2])) << 8 |
           uint32_t(uint8_t(in[3]));
}

constexpr void PutBigEndian32(unsigned char* out, uint32_t value)
{
    out[0] = uint8_t(value >> 24);
    out[1] = uint8_t(value >> 16);
    out[2] = uint8_t(value >> 8);
    out[3] = uint8_t(value);
}

// Builds a four-character code from its text, compared as a big-endian integer:
// FourCC("gogo").
constexpr OSType FourCC(const char (&code)[5])
{
    return GetBigEndian32(code);
}

// The location of a file: the folder that holds it and its plain name. Files
// that lie beside a given file are reached by replacing the name. The name is
// a Str255: a Linux file name holds up to 255 bytes.
struct FSSpec {
    char folder[4096];
    Str255 name;
};
