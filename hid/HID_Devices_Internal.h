// Inside the HID device layer: the module state of the device list, the steps
// of building, releasing and iterating it, and the device interface
// operations (all in HID_Devices.cpp), and the queue operations
// (HID_Queue_Utilities.cpp).
#pragma once

#include "HID_Devices_External.h"
#include "Host_CF.h"
#include "Host_IOKit.h"

// --- module state
extern pRecDevice gpDeviceList;      // head of the list, null when none
extern UInt32 gNumDevices;           // devices in the list
extern pRecDevice gCurrentGetDevice; // the device being built, null otherwise
extern Boolean gfAddAsChild;         // the next element read becomes the current element's first child

// --- building
io_iterator_t HIDGetIterator(mach_port_t masterPort, UInt32 usagePage, UInt32 usage);
CFMutableDictionaryRef HIDSetUpMatchingDictionary(UInt32 usagePage, UInt32 usage);
pRecDevice HIDCreateDeviceList(io_iterator_t hidObjectIterator);
pRecDevice HIDBuildDevice(io_object_t hidDevice);
void HIDGetDeviceInfo(io_object_t hidDevice, CFMutableDictionaryRef hidProperties, pRecDevice pDevice);
void HIDTopLevelElementHandler(const void* value, void* parameter);
void HIDGetCollectionElements(CFDictionaryRef deviceProperties, pRecElement* ppCurrentCollection);
void HIDGetElements(CFTypeRef refElementCurrent, pRecElement* ppCurrentElement);
void HIDGetElementsCFArrayHandler(const void* value, void* parameter);
void HIDAddElement(CFTypeRef refElement, pRecElement* ppElementCurrent);
void HIDGetElementInfo(CFTypeRef refElement, pRecElement pElement);
void HIDAddDevice(pRecDevice* ppListDeviceHead, pRecDevice pNewDevice);
UInt32 HIDCountCurrentDevices();

// --- releasing
pRecDevice HIDDisposeDevice(pRecDevice* ppDevice);
void HIDDisposeDeviceElements(pRecElement pElement);

// --- iterating
Boolean HIDMatchElementTypeMask(IOHIDElementType type, HIDElementTypeMask typeMask);
pRecElement HIDGetDeviceElement(pRecElement pElement, HIDElementTypeMask typeMask);

// --- device interfaces
IOReturn HIDCreateOpenDeviceInterface(io_object_t hidDevice, pRecDevice pDevice);
IOReturn HIDCloseReleaseInterface(pRecDevice pDevice);

// --- queues (HID_Queue_Utilities.cpp)
IOReturn HIDReleaseAllDeviceQueues();
IOReturn HIDDequeueDevice(pRecDevice pDevice);
IOReturn HIDDisposeReleaseQueue(pRecDevice pDevice);
