// The HID device layer as the rest of the program sees it: the device list,
// each device's tree of elements, depth-first iteration by element type, and
// element values with auto-calibration and scaling.
//
// The list owns every device and element record; pointers handed out stay
// valid until the list is released or rebuilt.
#pragma once

#include <cstdint>

#include "Host_IOKit.h"
#include "Host_Types.h"

struct recElement;
using pRecElement = recElement*;

// One element of a device: a button, an axis, a hat switch, a collection...
struct recElement {
    IOHIDElementType type; // 1-4 inputs, 129 output, 257 feature, 513 collection
    int32_t usagePage;
    int32_t usage;
    IOHIDElementCookie cookie; // identifies the element within its device
    int32_t min;               // logical range
    int32_t max;
    int32_t scaledMin;
    int32_t scaledMax;
    int32_t size;
    uint8_t relative;
    uint8_t wrapping;
    uint8_t nonLinear;
    uint8_t preferredState;
    uint8_t nullState;
    int32_t units;
    int32_t unitExp;
    char name[256];
    int32_t minReport; // smallest and largest value read so far (calibration)
    int32_t maxReport;
    int32_t userMin; // the caller's scale
    int32_t userMax;
    pRecElement pPrevious; // parent when first child, otherwise the sibling before; null for the first element
    pRecElement pChild;    // first child (collections only)
    pRecElement pSibling;  // next element of the same level
};

struct recDevice;
using pRecDevice = recDevice*;

// One HID device of the list.
struct recDevice {
    void* interface; // opened device interface (IOHIDDeviceInterface**), or null
    void* queue;     // event queue interface; never created here
    char transport[256];
    int32_t vendorID;
    int32_t productID;
    int32_t version;
    char manufacturer[256];
    char product[256];
    char serial[256];
    int32_t locID;
    int32_t usage;
    int32_t usagePage;
    int32_t totalElements;
    int32_t features;
    int32_t inputs;
    int32_t outputs;
    int32_t collections;
    int32_t axis;
    int32_t buttons;
    int32_t hats;
    int32_t sliders;
    int32_t dials;
    int32_t wheels;
    pRecElement pListElements; // root of the element tree, or null
    pRecDevice pNext;
};

// Selects elements by type.
enum HIDElementTypeMask : uint32_t {
    kHIDElementTypeInput = 1 << 1,
    kHIDElementTypeOutput = 1 << 2,
    kHIDElementTypeFeature = 1 << 3,
    kHIDElementTypeCollection = 1 << 4,
    kHIDElementTypeIO = kHIDElementTypeInput | kHIDElementTypeOutput | kHIDElementTypeFeature,
    kHIDElementTypeAll = kHIDElementTypeIO | kHIDElementTypeCollection,
};

// The scale every element starts with.
constexpr int32_t kDefaultUserMin = 0;
constexpr int32_t kDefaultUserMax = 255;

// --- the device list
// Builds the list of the devices with this primary usage (0 and 0: all HID
// devices), replacing any list. True when the registry gave an iterator,
// even when it matched nothing.
Boolean HIDBuildDeviceList(UInt32 usagePage, UInt32 usage);
void HIDReleaseDeviceList();
Boolean HIDHaveDeviceList();
UInt32 HIDCountDevices();
// Kept elements of the types the mask selects (0 for a null device).
UInt32 HIDCountDeviceElements(pRecDevice pDevice, HIDElementTypeMask typeMask);
pRecDevice HIDGetFirstDevice();
pRecDevice HIDGetNextDevice(pRecDevice pDevice);
// Depth-first pre-order over a device's element tree, skipping the elements
// whose type the mask does not select.
pRecElement HIDGetFirstDeviceElement(pRecDevice pDevice, HIDElementTypeMask typeMask);
pRecElement HIDGetNextDeviceElement(pRecElement pElement, HIDElementTypeMask typeMask);

// --- element values
// The element's current value (0 when it cannot be read); widens the
// element's observed range (minReport..maxReport) with it.
SInt32 HIDGetElementValue(pRecDevice pDevice, pRecElement pElement);
// Stretches a value from the observed range onto the logical range.
SInt32 HIDCalibrateValue(SInt32 value, pRecElement pElement);
// Maps a value from the logical range onto userMin..userMax. pElement must not be null.
SInt32 HIDScaleValue(SInt32 value, pRecElement pElement);
