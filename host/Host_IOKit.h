// The device registry and the HID device interfaces, in the shape of the
// platform calls that the HID layer is written against: registry objects are
// 32-bit handles, properties come as dictionaries of the value layer
// (Host_CF.h), and a device interface is a pointer to a pointer to a function
// table.
//
// Behind the calls sits one registry at a time: the Linux one (udev and evdev,
// Host_Linux_HID.cpp) unless a test has installed the fixture registry
// (Host_Fixture_Registry.h).
#pragma once

#include <cstdint>

#include "Host_CF.h"
#include "Host_Types.h"

using kern_return_t = int32_t;
using IOReturn = int32_t;
using mach_port_t = uint32_t;
using io_object_t = uint32_t;
using io_iterator_t = io_object_t;
using io_service_t = io_object_t;
using io_registry_entry_t = io_object_t;
using IOOptionBits = uint32_t;
using IOHIDElementCookie = uint32_t;
using IOHIDElementType = uint32_t;
using HRESULT = int32_t;
using ULONG = uint32_t;
using LPVOID = void*;
using REFIID = CFUUIDBytes;

constexpr mach_port_t MACH_PORT_NULL = 0;
extern mach_port_t bootstrap_port;
constexpr IOOptionBits kNilOptions = 0;

constexpr kern_return_t KERN_SUCCESS = 0;
constexpr IOReturn kIOReturnSuccess = 0;
constexpr IOReturn kIOReturnError = static_cast<IOReturn>(0xE00002BC);
constexpr IOReturn kIOReturnNoMemory = static_cast<IOReturn>(0xE00002BD);
constexpr IOReturn kIOReturnNoDevice = static_cast<IOReturn>(0xE00002C0);
constexpr IOReturn kIOReturnNotPrivileged = static_cast<IOReturn>(0xE00002C1);
constexpr IOReturn kIOReturnBadArgument = static_cast<IOReturn>(0xE00002C2);
constexpr IOReturn kIOReturnExclusiveAccess = static_cast<IOReturn>(0xE00002C5);
constexpr IOReturn kIOReturnUnsupported = static_cast<IOReturn>(0xE00002C7);
constexpr IOReturn kIOReturnNotOpen = static_cast<IOReturn>(0xE00002CD);
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80000004);

#define kIOServicePlane "IOService"
#define kIOHIDDeviceKey "IOHIDDevice"

// Element types of the registry's element dictionaries ("Type").
constexpr IOHIDElementType kIOHIDElementTypeInput_Misc = 1;
constexpr IOHIDElementType kIOHIDElementTypeInput_Button = 2;
constexpr IOHIDElementType kIOHIDElementTypeInput_Axis = 3;
constexpr IOHIDElementType kIOHIDElementTypeInput_ScanCodes = 4;
constexpr IOHIDElementType kIOHIDElementTypeOutput = 129;
constexpr IOHIDElementType kIOHIDElementTypeFeature = 257;
constexpr IOHIDElementType kIOHIDElementTypeCollection = 513;

// The published identifiers of the HID user client, the plug-in interface
// and the device interface.
#define kIOHIDDeviceUserClientTypeID                                                                                   \
    CFUUIDGetConstantUUIDWithBytes(nullptr, 0xFA, 0x12, 0xFA, 0x38, 0x6F, 0x1A, 0x11, 0xD4, 0xBA, 0x0C, 0x00, 0x05,    \
                                   0x02, 0x8F, 0x18, 0xD5)
#define kIOCFPlugInInterfaceID                                                                                         \
    CFUUIDGetConstantUUIDWithBytes(nullptr, 0xC2, 0x44, 0xE8, 0x58, 0x10, 0x9C, 0x11, 0xD4, 0x91, 0xD4, 0x00, 0x50,    \
                                   0xE4, 0xC6, 0x42, 0x6F)
#define kIOHIDDeviceInterfaceID                                                                                        \
    CFUUIDGetConstantUUIDWithBytes(nullptr, 0x78, 0xBD, 0x42, 0x0C, 0x6F, 0x14, 0x11, 0xD4, 0x94, 0x74, 0x00, 0x05,    \
                                   0x02, 0x8F, 0x18, 0xD5)

// The value of one element as the device interface reports it.
struct IOHIDEventStruct {
    IOHIDElementType type;
    IOHIDElementCookie elementCookie;
    int32_t value;
    uint64_t timestamp;
    uint32_t longValueSize;
    void* longValue;
};

// A plug-in: the object through which a device interface is asked for.
struct IOCFPlugInInterface {
    void* _reserved;
    HRESULT (*QueryInterface)(void* thisPointer, REFIID iid, LPVOID* ppv);
    ULONG (*AddRef)(void* thisPointer);
    ULONG (*Release)(void* thisPointer);
};

// A device interface. Release returns the number of references left (0 when
// the interface is gone). getElementValue fails with kIOReturnNotOpen before
// open.
struct IOHIDDeviceInterface {
    void* _reserved;
    HRESULT (*QueryInterface)(void* thisPointer, REFIID iid, LPVOID* ppv);
    ULONG (*AddRef)(void* thisPointer);
    ULONG (*Release)(void* thisPointer);
    IOReturn (*open)(void* self, uint32_t flags);
    IOReturn (*close)(void* self);
    IOReturn (*getElementValue)(void* self, IOHIDElementCookie elementCookie, IOHIDEventStruct* valueEvent);
};

// An event queue of a device. Nothing in this program creates one; the
// table is here so that releasing one can be written down.
struct IOHIDQueueInterface {
    void* _reserved;
    HRESULT (*QueryInterface)(void* thisPointer, REFIID iid, LPVOID* ppv);
    ULONG (*AddRef)(void* thisPointer);
    ULONG (*Release)(void* thisPointer);
    IOReturn (*dispose)(void* self);
    IOReturn (*stop)(void* self);
};

// --- registry calls
kern_return_t IOMasterPort(mach_port_t bootstrapPort, mach_port_t* masterPort);
// A new matching dictionary for the class name ("IOProviderClass"); null on failure.
CFMutableDictionaryRef IOServiceMatching(const char* name);
// Consumes one reference of matching. Yields an iterator over the matching
// devices, in registry order; "PrimaryUsagePage" and "PrimaryUsage" in the
// dictionary must equal the device's own.
kern_return_t IOServiceGetMatchingServices(mach_port_t masterPort, CFDictionaryRef matching, io_iterator_t* existing);
io_object_t IOIteratorNext(io_iterator_t iterator); // 0 at the end
kern_return_t IOObjectRelease(io_object_t object);
kern_return_t IORegistryEntryCreateCFProperties(io_registry_entry_t entry, CFMutableDictionaryRef* properties,
                                                CFAllocatorRef allocator, IOOptionBits options);
kern_return_t IORegistryEntryGetParentEntry(io_registry_entry_t entry, const char* plane, io_registry_entry_t* parent);

// --- device interfaces
kern_return_t IOCreatePlugInInterfaceForService(io_service_t service, CFUUIDRef pluginType, CFUUIDRef interfaceType,
                                                IOCFPlugInInterface*** theInterface, SInt32* theScore);
kern_return_t IODestroyPlugInInterface(IOCFPlugInInterface** interface);
