// The HID device list: devices found through the registry, each with the
// tree of its elements read from the registry's property dictionaries;
// depth-first iteration over the trees; the device interfaces through which
// element values are read; element values, calibration and scaling.

#include <cstdlib>
#include <cstring>

#include "HID_Devices_Internal.h"
#include "HID_Error_Handler.h"
#include "HID_Name_Lookup.h"
#include "Host_HID_Usages.h"

pRecDevice gpDeviceList = nullptr;
UInt32 gNumDevices = 0;
pRecDevice gCurrentGetDevice = nullptr;
Boolean gfAddAsChild = true;

namespace {

// Reads a number property into a 32-bit field; the field keeps its value
// when the key is missing or the value does not convert. False only for a
// present value that does not convert.
bool ReadNumber(CFTypeRef ref, int32_t* field)
{
    if (!ref)
        return true;
    int32_t value = 0;
    if (!CFNumberGetValue(static_cast<CFNumberRef>(ref), kCFNumberSInt32Type, &value))
        return false;
    *field = value;
    return true;
}

bool ReadString(CFTypeRef ref, char* field)
{
    if (!ref)
        return true;
    return CFStringGetCString(static_cast<CFStringRef>(ref), field, 256, CFStringGetSystemEncoding());
}

CFTypeRef Property(CFDictionaryRef dictionary, const char* key)
{
    return dictionary ? CFDictionaryGetValue(dictionary, CFSTR(key)) : nullptr;
}

// The device's own value for key, or the USB-level one under fallbackKey.
CFTypeRef PropertyWithFallback(CFDictionaryRef device, CFDictionaryRef usb, const char* key, const char* fallbackKey)
{
    CFTypeRef ref = Property(device, key);
    if (!ref && fallbackKey)
        ref = Property(usb, fallbackKey);
    return ref;
}

// 32-bit differences and sums that wrap instead of overflowing.
int32_t Difference(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Truncation toward zero of a single-precision result, kept inside the
// 32-bit range so that out-of-range results stay defined.
int32_t TruncateToSInt32(float value)
{
    if (value >= 2147483648.0f)
        return INT32_MAX;
    if (value <= -2147483648.0f)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

// value moved from the range fromMin..fromMax onto toMin..toMax in single
// precision: its offset in the first range times the width of the second,
// divided by the width of the first, plus toMin. Unchanged when the first
// range is empty.
SInt32 MapToRange(SInt32 value, SInt32 fromMin, SInt32 fromMax, SInt32 toMin, SInt32 toMax)
{
    const float deviceScale = static_cast<float>(Difference(toMax, toMin));
    const float readScale = static_cast<float>(Difference(fromMax, fromMin));
    if (readScale == 0.0f)
        return value;
    float result = static_cast<float>(Difference(value, fromMin));
    result = result * deviceScale;
    result = result / readScale;
    result = result + static_cast<float>(toMin);
    return TruncateToSInt32(result);
}

// The element that follows pElement in depth-first pre-order, whatever its type.
pRecElement HIDNextElementInTree(pRecElement pElement)
{
    if (!pElement)
        return nullptr;
    if (pElement->pChild) {
        if (pElement->type != kIOHIDElementTypeCollection) {
            HIDReportError("Malformed element list: found child of element.");
            return nullptr;
        }
        return pElement->pChild;
    }
    if (pElement->pSibling)
        return pElement->pSibling;
    // The end of a chain: go back up to the nearest enclosing collection
    // that still has a sibling to visit.
    if (pElement->type == kIOHIDElementTypeCollection)
        HIDReportError("Malformed device: found collection at end of element chain.");
    pRecElement pLeft = nullptr;
    while (pElement->pPrevious) {
        pLeft = pElement;
        pElement = pElement->pPrevious;
        if (pElement->type == kIOHIDElementTypeCollection && pElement->pSibling && pElement->pSibling != pLeft)
            return pElement->pSibling;
    }
    return nullptr;
}

} // namespace

// ---------------------------------------------------------------- building

CFMutableDictionaryRef HIDSetUpMatchingDictionary(UInt32 usagePage, UInt32 usage)
{
    CFMutableDictionaryRef refHIDMatchDictionary = IOServiceMatching(kIOHIDDeviceKey);
    if (!refHIDMatchDictionary) {
        HIDReportError("Failed to get HID CFMutableDictionaryRef via IOServiceMatching.");
        return nullptr;
    }
    if (usagePage && usage) {
        const int32_t page = static_cast<int32_t>(usagePage);
        const int32_t use = static_cast<int32_t>(usage);
        CFNumberRef refUsagePage = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &page);
        CFDictionarySetValue(refHIDMatchDictionary, CFSTR("PrimaryUsagePage"), refUsagePage);
        CFRelease(refUsagePage);
        CFNumberRef refUsage = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &use);
        CFDictionarySetValue(refHIDMatchDictionary, CFSTR("PrimaryUsage"), refUsage);
        CFRelease(refUsage);
    }
    return refHIDMatchDictionary;
}

io_iterator_t HIDGetIterator(mach_port_t masterPort, UInt32 usagePage, UInt32 usage)
{
    CFMutableDictionaryRef hidMatchDictionary = HIDSetUpMatchingDictionary(usagePage, usage);
    if (!hidMatchDictionary) {
        HIDReportError("Couldn’t create a matching dictionary.");
        return 0;
    }
    io_iterator_t hidObjectIterator = 0;
    // The call consumes the dictionary.
    const kern_return_t result = IOServiceGetMatchingServices(masterPort, hidMatchDictionary, &hidObjectIterator);
    if (result != kIOReturnSuccess)
        HIDReportErrorNum("Failed to create IO object iterator, error:", result);
    else if (!hidObjectIterator)
        HIDReportError("Warning: Could not find any matching devices, thus iterator creation failed.");
    return result == kIOReturnSuccess ? hidObjectIterator : 0;
}

void HIDAddDevice(pRecDevice* ppListDeviceHead, pRecDevice pNewDevice)
{
    if (!ppListDeviceHead || !pNewDevice)
        return;
    pNewDevice->pNext = nullptr;
    if (!*ppListDeviceHead) {
        *ppListDeviceHead = pNewDevice;
        return;
    }
    pRecDevice pDevice = *ppListDeviceHead;
    while (pDevice->pNext)
        pDevice = pDevice->pNext;
    pDevice->pNext = pNewDevice;
}

void HIDTopLevelElementHandler(const void* value, void* parameter)
{
    if (CFGetTypeID(value) != CFDictionaryGetTypeID())
        return;
    auto* pDevice = static_cast<pRecDevice>(parameter);
    auto element = static_cast<CFDictionaryRef>(value);
    if (!CFNumberGetValue(static_cast<CFNumberRef>(Property(element, "UsagePage")), kCFNumberSInt32Type,
                          &pDevice->usagePage))
        HIDReportError("CFNumberGetValue error retrieving pDevice->usagePage.");
    if (!CFNumberGetValue(static_cast<CFNumberRef>(Property(element, "Usage")), kCFNumberSInt32Type, &pDevice->usage))
        HIDReportError("CFNumberGetValue error retrieving pDevice->usage.");
}

void HIDGetDeviceInfo(io_object_t hidDevice, CFMutableDictionaryRef hidProperties, pRecDevice pDevice)
{
    io_registry_entry_t parent1 = 0, parent2 = 0;
    CFMutableDictionaryRef usbProperties = nullptr;
    // The USB-level properties are those of the device entry's grandparent.
    if (IORegistryEntryGetParentEntry(hidDevice, kIOServicePlane, &parent1) != KERN_SUCCESS ||
        IORegistryEntryGetParentEntry(parent1, kIOServicePlane, &parent2) != KERN_SUCCESS ||
        IORegistryEntryCreateCFProperties(parent2, &usbProperties, kCFAllocatorDefault, kNilOptions) != KERN_SUCCESS) {
        // Nothing is read for this device; what was obtained goes back.
        if (usbProperties)
            CFRelease(usbProperties);
        if (parent2)
            IOObjectRelease(parent2);
        if (parent1)
            IOObjectRelease(parent1);
        return;
    }

    if (!usbProperties) {
        HIDReportError("IORegistryEntryCreateCFProperties failed to create usbProperties.");
    } else {
        if (!ReadString(Property(hidProperties, "Transport"), pDevice->transport))
            HIDReportError("CFStringGetCString error retrieving pDevice->transport.");
        if (!ReadNumber(PropertyWithFallback(hidProperties, usbProperties, "VendorID", "idVendor"), &pDevice->vendorID))
            HIDReportError("CFNumberGetValue error retrieving pDevice->vendorID.");
        if (!ReadNumber(PropertyWithFallback(hidProperties, usbProperties, "ProductID", "idProduct"),
                        &pDevice->productID))
            HIDReportError("CFNumberGetValue error retrieving pDevice->productID.");
        if (!ReadNumber(Property(hidProperties, "VersionNumber"), &pDevice->version))
            HIDReportError("CFNumberGetValue error retrieving pDevice->version.");
        if (!ReadString(PropertyWithFallback(hidProperties, usbProperties, "Manufacturer", "USB Vendor Name"),
                        pDevice->manufacturer))
            HIDReportError("CFStringGetCString error retrieving pDevice->manufacturer.");
        if (!ReadString(PropertyWithFallback(hidProperties, usbProperties, "Product", "USB Product Name"),
                        pDevice->product))
            HIDReportError("CFStringGetCString error retrieving pDevice->product.");
        if (!ReadString(Property(hidProperties, "SerialNumber"), pDevice->serial))
            HIDReportError("CFStringGetCString error retrieving pDevice->serial.");
        if (!ReadNumber(PropertyWithFallback(hidProperties, usbProperties, "LocationID", "locationID"),
                        &pDevice->locID))
            HIDReportError("CFNumberGetValue error retrieving pDevice->locID.");

        CFTypeRef refUsagePage = Property(hidProperties, "PrimaryUsagePage");
        CFTypeRef refUsage = nullptr;
        if (refUsagePage) {
            if (!ReadNumber(refUsagePage, &pDevice->usagePage))
                HIDReportError("CFNumberGetValue error retrieving pDevice->usagePage.");
            refUsage = Property(hidProperties, "PrimaryUsage");
            if (refUsage && !ReadNumber(refUsage, &pDevice->usage))
                HIDReportError("CFNumberGetValue error retrieving pDevice->usage.");
        }
        if (!refUsagePage || !refUsage) {
            // No primary usage: the last top-level element decides.
            CFTypeRef refElements = Property(hidProperties, "Elements");
            if (refElements && CFGetTypeID(refElements) == CFArrayGetTypeID()) {
                auto elements = static_cast<CFArrayRef>(refElements);
                CFArrayApplyFunction(elements, CFRangeMake(0, CFArrayGetCount(elements)), HIDTopLevelElementHandler,
                                     pDevice);
            }
        }
        CFRelease(usbProperties);
    }

    if (IOObjectRelease(parent2) != kIOReturnSuccess)
        HIDReportError("IOObjectRelease error with parent2.");
    if (IOObjectRelease(parent1) != kIOReturnSuccess)
        HIDReportError("IOObjectRelease error with parent1.");
}

void HIDGetElementInfo(CFTypeRef refElement, pRecElement pElement)
{
    auto element = static_cast<CFDictionaryRef>(refElement);
    int32_t cookie = 0;
    ReadNumber(Property(element, "ElementCookie"), &cookie);
    pElement->cookie = static_cast<IOHIDElementCookie>(cookie);

    ReadNumber(Property(element, "Min"), &pElement->min);
    pElement->maxReport = pElement->min;
    pElement->userMin = kDefaultUserMin;
    ReadNumber(Property(element, "Max"), &pElement->max);
    pElement->minReport = pElement->max;
    pElement->userMax = kDefaultUserMax;

    ReadNumber(Property(element, "ScaledMin"), &pElement->scaledMin);
    ReadNumber(Property(element, "ScaledMax"), &pElement->scaledMax);
    ReadNumber(Property(element, "Size"), &pElement->size);
    pElement->relative = CFBooleanGetValue(static_cast<CFBooleanRef>(Property(element, "IsRelative")));
    pElement->wrapping = CFBooleanGetValue(static_cast<CFBooleanRef>(Property(element, "IsWrapping")));
    pElement->nonLinear = CFBooleanGetValue(static_cast<CFBooleanRef>(Property(element, "IsNonLinear")));
    pElement->preferredState = CFBooleanGetValue(static_cast<CFBooleanRef>(Property(element, "HasPreferredState")));
    pElement->nullState = CFBooleanGetValue(static_cast<CFBooleanRef>(Property(element, "HasNullState")));
    ReadNumber(Property(element, "Unit"), &pElement->units);
    ReadNumber(Property(element, "UnitExponent"), &pElement->unitExp);

    if (!ReadString(Property(element, "Name"), pElement->name))
        HIDReportError("CFStringGetCString error retrieving pElement->name.");
    if (!*pElement->name && gCurrentGetDevice)
        GetElementNameFromVendorProduct(gCurrentGetDevice->vendorID, gCurrentGetDevice->productID,
                                        static_cast<int32_t>(pElement->cookie), pElement->name);
    if (!*pElement->name)
        HIDGetUsageName(pElement->usagePage, pElement->usage, pElement->name);
    if (!*pElement->name)
        std::strcpy(pElement->name, "Element");
}

void HIDAddElement(CFTypeRef refElement, pRecElement* ppElementCurrent)
{
    pRecDevice pDevice = gCurrentGetDevice;
    if (!pDevice || !ppElementCurrent)
        return;
    auto element = static_cast<CFDictionaryRef>(refElement);
    int32_t elementType = 0, usagePage = 0, usage = 0;
    ReadNumber(Property(element, "Type"), &elementType);
    ReadNumber(Property(element, "UsagePage"), &usagePage);
    ReadNumber(Property(element, "Usage"), &usage);

    auto allocate = [] { return static_cast<pRecElement>(std::malloc(sizeof(recElement))); };
    pRecElement pElement = nullptr;
    if (elementType == 0) {
        HIDReportError("CFNumberGetValue error when getting value for refElementType.");
    } else if (static_cast<IOHIDElementType>(elementType) == kIOHIDElementTypeCollection) {
        pElement = allocate();
    } else if (usagePage == 0 || usage == 0) {
        HIDReportError("CFNumberGetValue error when getting value for refUsage or refUsagePage.");
    } else if (usagePage == kHIDPage_GenericDesktop) {
        int32_t* counter = nullptr;
        if (usage >= kHIDUsage_GD_X && usage <= kHIDUsage_GD_Rz)
            counter = &pDevice->axis;
        else if (usage == kHIDUsage_GD_Slider)
            counter = &pDevice->sliders;
        else if (usage == kHIDUsage_GD_Dial)
            counter = &pDevice->dials;
        else if (usage == kHIDUsage_GD_Wheel)
            counter = &pDevice->wheels;
        else if (usage == kHIDUsage_GD_Hatswitch)
            counter = &pDevice->hats;
        if (counter) {
            pElement = allocate();
            if (pElement)
                ++*counter;
        }
    } else if (usagePage == kHIDPage_Button) {
        pElement = allocate();
        if (pElement)
            ++pDevice->buttons;
    } else {
        pElement = allocate();
    }
    if (!pElement)
        return;

    std::memset(pElement, 0, sizeof(recElement));
    pElement->type = static_cast<IOHIDElementType>(elementType);
    pElement->usagePage = usagePage;
    pElement->usage = usage;
    HIDGetElementInfo(refElement, pElement);

    ++pDevice->totalElements;
    switch (pElement->type) {
    case kIOHIDElementTypeInput_Misc:
    case kIOHIDElementTypeInput_Button:
    case kIOHIDElementTypeInput_Axis:
    case kIOHIDElementTypeInput_ScanCodes:
        ++pDevice->inputs;
        break;
    case kIOHIDElementTypeOutput:
        ++pDevice->outputs;
        break;
    case kIOHIDElementTypeFeature:
        ++pDevice->features;
        break;
    case kIOHIDElementTypeCollection:
        ++pDevice->collections;
        break;
    default:
        HIDReportErrorNum("Unknown element type : ", elementType);
    }

    // Link: first element of the device, first child of the current
    // element, or the next sibling in its chain.
    pRecElement pCurrent = *ppElementCurrent;
    if (!pCurrent) {
        pDevice->pListElements = pElement;
    } else if (gfAddAsChild) {
        while (pCurrent->pChild)
            pCurrent = pCurrent->pChild;
        pCurrent->pChild = pElement;
    } else {
        while (pCurrent->pSibling)
            pCurrent = pCurrent->pSibling;
        pCurrent->pSibling = pElement;
    }
    pElement->pPrevious = pCurrent;
    *ppElementCurrent = pElement;

    if (pElement->type == kIOHIDElementTypeCollection) {
        gfAddAsChild = true;
        pRecElement pCollection = pElement;
        HIDGetCollectionElements(element, &pCollection);
    }
    gfAddAsChild = false;
}

void HIDGetElementsCFArrayHandler(const void* value, void* parameter)
{
    if (CFGetTypeID(value) == CFDictionaryGetTypeID())
        HIDAddElement(value, static_cast<pRecElement*>(parameter));
}

void HIDGetElements(CFTypeRef refElementCurrent, pRecElement* ppCurrentElement)
{
    if (CFGetTypeID(refElementCurrent) != CFArrayGetTypeID())
        return;
    auto elements = static_cast<CFArrayRef>(refElementCurrent);
    CFArrayApplyFunction(elements, CFRangeMake(0, CFArrayGetCount(elements)), HIDGetElementsCFArrayHandler,
                         ppCurrentElement);
}

void HIDGetCollectionElements(CFDictionaryRef deviceProperties, pRecElement* ppCurrentCollection)
{
    CFTypeRef refElementTop = Property(deviceProperties, "Elements");
    if (refElementTop)
        HIDGetElements(refElementTop, ppCurrentCollection);
    else
        HIDReportError("CFDictionaryGetValue error when creating CFTypeRef for kIOHIDElementKey.");
}

pRecDevice HIDBuildDevice(io_object_t hidDevice)
{
    auto pDevice = static_cast<pRecDevice>(std::malloc(sizeof(recDevice)));
    if (!pDevice) {
        HIDReportError("malloc error when allocating pRecDevice.");
        return nullptr;
    }
    CFMutableDictionaryRef hidProperties = nullptr;
    const kern_return_t result =
        IORegistryEntryCreateCFProperties(hidDevice, &hidProperties, kCFAllocatorDefault, kNilOptions);
    std::memset(pDevice, 0, sizeof(recDevice));
    if (result != KERN_SUCCESS || !hidProperties) {
        HIDReportErrorNum("IORegistryEntryCreateCFProperties error when creating deviceProperties.", result);
        if (hidProperties)
            CFRelease(hidProperties);
        return pDevice;
    }

    const IOReturn interfaceResult = HIDCreateOpenDeviceInterface(hidDevice, pDevice);
    if (interfaceResult != kIOReturnSuccess)
        HIDReportErrorNum("HIDCreateOpenDeviceInterface failed.", interfaceResult);
    HIDGetDeviceInfo(hidDevice, hidProperties, pDevice);

    gCurrentGetDevice = pDevice;
    pRecElement pCurrentElement = nullptr;
    HIDGetCollectionElements(hidProperties, &pCurrentElement);
    gCurrentGetDevice = nullptr;

    CFRelease(hidProperties);
    return pDevice;
}

pRecDevice HIDCreateDeviceList(io_iterator_t hidObjectIterator)
{
    pRecDevice pListHead = nullptr;
    io_object_t ioHIDDeviceObject;
    while ((ioHIDDeviceObject = IOIteratorNext(hidObjectIterator)) != 0) {
        pRecDevice pNewDevice = HIDBuildDevice(ioHIDDeviceObject);
        const kern_return_t result = IOObjectRelease(ioHIDDeviceObject);
        if (result != KERN_SUCCESS)
            HIDReportErrorNum("IOObjectRelease error with ioHIDDeviceObject.", result);
        if (pNewDevice)
            HIDAddDevice(&pListHead, pNewDevice);
    }
    const kern_return_t result = IOObjectRelease(hidObjectIterator);
    if (result != KERN_SUCCESS)
        HIDReportErrorNum("IOObjectRelease error with hidObjectIterator.", result);
    return pListHead;
}

UInt32 HIDCountCurrentDevices()
{
    UInt32 count = 0;
    for (pRecDevice pDevice = gpDeviceList; pDevice; pDevice = pDevice->pNext)
        ++count;
    return count;
}

Boolean HIDBuildDeviceList(UInt32 usagePage, UInt32 usage)
{
    if (gpDeviceList)
        HIDReleaseDeviceList();

    mach_port_t masterPort = MACH_PORT_NULL;
    const kern_return_t result = IOMasterPort(bootstrap_port, &masterPort);
    if (result != KERN_SUCCESS) {
        HIDReportErrorNum("IOMasterPort error with bootstrap_port.", result);
        return false;
    }
    const io_iterator_t hidObjectIterator = HIDGetIterator(masterPort, usagePage, usage);
    if (!hidObjectIterator)
        return false;
    gpDeviceList = HIDCreateDeviceList(hidObjectIterator);
    gNumDevices = HIDCountCurrentDevices();
    return true;
}

// ---------------------------------------------------------------- releasing

void HIDDisposeDeviceElements(pRecElement pElement)
{
    // Children first, then the rest of the chain, then the element; the
    // chain is walked in a loop so that long chains need no deep recursion.
    while (pElement) {
        HIDDisposeDeviceElements(pElement->pChild);
        pRecElement pSibling = pElement->pSibling;
        std::free(pElement);
        pElement = pSibling;
    }
}

pRecDevice HIDDisposeDevice(pRecDevice* ppDevice)
{
    if (!ppDevice || !*ppDevice)
        return nullptr;
    pRecDevice pDevice = *ppDevice;
    pRecDevice pDeviceNext = pDevice->pNext;
    HIDDisposeDeviceElements(pDevice->pListElements);
    pDevice->pListElements = nullptr;
    const IOReturn result = HIDCloseReleaseInterface(pDevice);
    if (result != kIOReturnSuccess)
        HIDReportErrorNum("HIDCloseReleaseInterface failed when trying to dipose device.", result);
    std::free(pDevice);
    *ppDevice = nullptr;
    return pDeviceNext;
}

void HIDReleaseDeviceList()
{
    if (gpDeviceList) {
        const IOReturn result = HIDReleaseAllDeviceQueues();
        if (result != kIOReturnSuccess)
            HIDReportErrorNum("Could not Dequeue Device elements and release devices.", result);
    }
    while (gpDeviceList)
        gpDeviceList = HIDDisposeDevice(&gpDeviceList);
    gNumDevices = 0;
}

// ---------------------------------------------------------------- the list

Boolean HIDHaveDeviceList()
{
    return gpDeviceList != nullptr;
}

UInt32 HIDCountDevices()
{
    return gNumDevices;
}

UInt32 HIDCountDeviceElements(pRecDevice pDevice, HIDElementTypeMask typeMask)
{
    if (!pDevice)
        return 0;
    int32_t count = 0;
    if (typeMask & kHIDElementTypeInput)
        count += pDevice->inputs;
    if (typeMask & kHIDElementTypeOutput)
        count += pDevice->outputs;
    if (typeMask & kHIDElementTypeFeature)
        count += pDevice->features;
    if (typeMask & kHIDElementTypeCollection)
        count += pDevice->collections;
    return static_cast<UInt32>(count);
}

pRecDevice HIDGetFirstDevice()
{
    return gpDeviceList;
}

pRecDevice HIDGetNextDevice(pRecDevice pDevice)
{
    return pDevice ? pDevice->pNext : nullptr;
}

// ---------------------------------------------------------------- iterating

Boolean HIDMatchElementTypeMask(IOHIDElementType type, HIDElementTypeMask typeMask)
{
    switch (type) {
    case kIOHIDElementTypeInput_Misc:
    case kIOHIDElementTypeInput_Button:
    case kIOHIDElementTypeInput_Axis:
    case kIOHIDElementTypeInput_ScanCodes:
        return (typeMask & kHIDElementTypeInput) != 0;
    case kIOHIDElementTypeOutput:
        return (typeMask & kHIDElementTypeOutput) != 0;
    case kIOHIDElementTypeFeature:
        return (typeMask & kHIDElementTypeFeature) != 0;
    case kIOHIDElementTypeCollection:
        return (typeMask & kHIDElementTypeCollection) != 0;
    default:
        return false;
    }
}

pRecElement HIDGetDeviceElement(pRecElement pElement, HIDElementTypeMask typeMask)
{
    while (pElement && !HIDMatchElementTypeMask(pElement->type, typeMask))
        pElement = HIDNextElementInTree(pElement);
    return pElement;
}

pRecElement HIDGetFirstDeviceElement(pRecDevice pDevice, HIDElementTypeMask typeMask)
{
    if (!pDevice || !pDevice->pListElements)
        return nullptr;
    if (HIDMatchElementTypeMask(pDevice->pListElements->type, typeMask))
        return pDevice->pListElements;
    return HIDGetNextDeviceElement(pDevice->pListElements, typeMask);
}

pRecElement HIDGetNextDeviceElement(pRecElement pElement, HIDElementTypeMask typeMask)
{
    return HIDGetDeviceElement(HIDNextElementInTree(pElement), typeMask);
}

// ---------------------------------------------------------------- device interfaces

IOReturn HIDCreateOpenDeviceInterface(io_object_t hidDevice, pRecDevice pDevice)
{
    IOReturn result = kIOReturnSuccess;
    if (!pDevice->interface) {
        IOCFPlugInInterface** ppPlugInInterface = nullptr;
        SInt32 score = 0;
        result = IOCreatePlugInInterfaceForService(hidDevice, kIOHIDDeviceUserClientTypeID, kIOCFPlugInInterfaceID,
                                                   &ppPlugInInterface, &score);
        if (result == kIOReturnSuccess) {
            const HRESULT plugInResult =
                (*ppPlugInInterface)
                    ->QueryInterface(ppPlugInInterface, CFUUIDGetUUIDBytes(kIOHIDDeviceInterfaceID),
                                     &pDevice->interface);
            if (plugInResult != S_OK)
                HIDReportErrorNum("Couldn’t query HID class device interface from plugInInterface", plugInResult);
            IODestroyPlugInInterface(ppPlugInInterface);
        } else {
            HIDReportErrorNum("Failed to create **plugInInterface via IOCreatePlugInInterfaceForService.", result);
        }
    }
    if (pDevice->interface) {
        auto** interface = static_cast<IOHIDDeviceInterface**>(pDevice->interface);
        result = (*interface)->open(interface, 0);
        if (result != kIOReturnSuccess)
            HIDReportErrorNum("Failed to open pDevice->interface via open.", result);
    }
    return result;
}

IOReturn HIDCloseReleaseInterface(pRecDevice pDevice)
{
    IOReturn result = kIOReturnSuccess;
    if (pDevice && pDevice->interface) {
        auto** interface = static_cast<IOHIDDeviceInterface**>(pDevice->interface);
        result = (*interface)->close(interface);
        if (result != kIOReturnSuccess && result != kIOReturnNotOpen)
            HIDReportErrorNum("Failed to close IOHIDDeviceInterface.", result);
        result = static_cast<IOReturn>((*interface)->Release(interface));
        if (result != kIOReturnSuccess)
            HIDReportErrorNum("Failed to release IOHIDDeviceInterface.", result);
        pDevice->interface = nullptr;
    }
    return result;
}

// ---------------------------------------------------------------- element values

SInt32 HIDGetElementValue(pRecDevice pDevice, pRecElement pElement)
{
    SInt32 value = 0;
    if (!pDevice) {
        HIDReportError("Bad device passed to GetElementValue.");
    } else if (!pElement) {
        HIDReportError("Bad element passed to GetElementValue.");
        return 0;
    } else if (!pDevice->interface) {
        HIDReportError("Did not have interface for device prior to getting element value.");
    } else {
        IOHIDEventStruct hidEvent;
        std::memset(&hidEvent, 0, sizeof hidEvent);
        auto** interface = static_cast<IOHIDDeviceInterface**>(pDevice->interface);
        const IOReturn result = (*interface)->getElementValue(interface, pElement->cookie, &hidEvent);
        if (result != kIOReturnSuccess)
            HIDReportErrorNum("Could not get HID element value via getElementValue.", result);
        value = hidEvent.value;
        // A signed range read as unsigned: fold values above max back.
        if (pElement->min < 0 && value > pElement->max)
            value = static_cast<SInt32>(static_cast<uint32_t>(value) + static_cast<uint32_t>(pElement->min) -
                                        static_cast<uint32_t>(pElement->max) - 1u);
    }
    if (pElement) {
        if (value < pElement->minReport)
            pElement->minReport = value;
        if (value > pElement->maxReport)
            pElement->maxReport = value;
    }
    return value;
}

SInt32 HIDCalibrateValue(SInt32 value, pRecElement pElement)
{
    if (!pElement)
        return 0;
    return MapToRange(value, pElement->minReport, pElement->maxReport, pElement->min, pElement->max);
}

SInt32 HIDScaleValue(SInt32 value, pRecElement pElement)
{
    return MapToRange(value, pElement->min, pElement->max, pElement->userMin, pElement->userMax);
}
