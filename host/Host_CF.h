// A minimal property-list value layer in the style of Core Foundation:
// dictionaries, arrays, numbers, strings, booleans and UUIDs, reference
// counted with CFRetain/CFRelease. The device registry hands its properties
// out in this form, and the HID layer reads them with these calls.
//
// Every object is created with one reference; CFRelease frees it when the
// last reference goes. Containers retain what is put into them. Constant
// strings (CFSTR), the two booleans and constant UUIDs live for the whole run.
// The getters are forgiving where the original platform would crash: a null
// or wrongly typed argument yields null, 0 or false.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Host_Types.h"

struct HostCFObject;

using CFTypeRef = const void*;
using CFStringRef = const HostCFObject*;
using CFNumberRef = const HostCFObject*;
using CFBooleanRef = const HostCFObject*;
using CFArrayRef = const HostCFObject*;
using CFMutableArrayRef = HostCFObject*;
using CFDictionaryRef = const HostCFObject*;
using CFMutableDictionaryRef = HostCFObject*;
using CFUUIDRef = const HostCFObject*;
using CFAllocatorRef = const void*;
using CFIndex = std::ptrdiff_t;
using CFTypeID = uint32_t;
using CFStringEncoding = uint32_t;

constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;

struct CFRange {
    CFIndex location;
    CFIndex length;
};
inline CFRange CFRangeMake(CFIndex location, CFIndex length)
{
    return CFRange{location, length};
}

using CFArrayApplierFunction = void (*)(const void* value, void* context);
using CFDictionaryApplierFunction = void (*)(const void* key, const void* value, void* context);

// Number types, with the values Core Foundation gives them.
enum CFNumberType : int32_t {
    kCFNumberSInt32Type = 3,
    kCFNumberSInt64Type = 4,
    kCFNumberFloat64Type = 6,
    kCFNumberIntType = 9,
    kCFNumberLongType = 10,
    kCFNumberDoubleType = 13,
};

constexpr CFStringEncoding kCFStringEncodingMacRoman = 0;
constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;

struct CFUUIDBytes {
    uint8_t bytes[16];
};

// --- every object
CFTypeRef CFRetain(CFTypeRef cf);
void CFRelease(CFTypeRef cf);
CFIndex CFGetRetainCount(CFTypeRef cf);
CFTypeID CFGetTypeID(CFTypeRef cf); // 0 for null
CFTypeID CFArrayGetTypeID();
CFTypeID CFDictionaryGetTypeID();
CFTypeID CFNumberGetTypeID();
CFTypeID CFStringGetTypeID();
CFTypeID CFBooleanGetTypeID();
CFTypeID CFUUIDGetTypeID();

// --- numbers: integers are kept in 64 bits, reals in double precision.
CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType theType, const void* valuePtr);
// Stores the value in the requested type and returns true, or returns false
// and leaves *valuePtr alone when the object is no number or the value does
// not fit the type exactly (out of range, or a real with a fraction for an
// integer type). kCFNumberSInt32Type and kCFNumberIntType are 32 bits;
// kCFNumberLongType and kCFNumberSInt64Type 64.
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr);

// --- strings, kept as UTF-8 bytes
CFStringRef CFStringCreateWithCString(CFAllocatorRef allocator, const char* cStr, CFStringEncoding encoding);
// Copies the text and its terminator into buffer; false, with an empty buffer,
// when the object is no string or the text does not fit in bufferSize bytes.
Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize, CFStringEncoding encoding);
CFStringEncoding CFStringGetSystemEncoding();
// The constant string with this text (one object per distinct text).
CFStringRef HostCFConstantString(const char* cStr);
#define CFSTR(text) HostCFConstantString(text)

// --- booleans
extern const CFBooleanRef kCFBooleanTrue;
extern const CFBooleanRef kCFBooleanFalse;
Boolean CFBooleanGetValue(CFBooleanRef boolean); // false for anything but kCFBooleanTrue

// --- arrays
CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity);
void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value);
CFIndex CFArrayGetCount(CFArrayRef theArray);
const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx);
// Calls applier for each entry of range, in index order; the range is clipped
// to the array.
void CFArrayApplyFunction(CFArrayRef theArray, CFRange range, CFArrayApplierFunction applier, void* context);

// --- dictionaries: string keys compared by their text, kept in insertion order
CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity);
const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key);
void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value);
void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void* key);
CFIndex CFDictionaryGetCount(CFDictionaryRef theDict);
void CFDictionaryApplyFunction(CFDictionaryRef theDict, CFDictionaryApplierFunction applier, void* context);

// --- UUIDs
CFUUIDRef CFUUIDGetConstantUUIDWithBytes(CFAllocatorRef alloc, uint8_t byte0, uint8_t byte1, uint8_t byte2,
                                         uint8_t byte3, uint8_t byte4, uint8_t byte5, uint8_t byte6, uint8_t byte7,
                                         uint8_t byte8, uint8_t byte9, uint8_t byte10, uint8_t byte11, uint8_t byte12,
                                         uint8_t byte13, uint8_t byte14, uint8_t byte15);
CFUUIDBytes CFUUIDGetUUIDBytes(CFUUIDRef uuid);
Boolean HostCFUUIDBytesEqual(const CFUUIDBytes& a, CFUUIDRef b);
