#include "HID_Config_Utilities.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "Host_Time.h"

namespace {

bool SameUsage(const recElement* element, const recSaveHID& record)
{
    return element->usage == record.usageE && element->usagePage == record.usagePageE;
}

// The first element of the device with the record's cookie, else (when the
// cookie may not be used or matches none) the first with its usage pair.
pRecElement FindElement(pRecDevice device, const recSaveHID& record, bool byCookie)
{
    if (byCookie)
        for (pRecElement e = HIDGetFirstDeviceElement(device, kHIDElementTypeIO); e;
             e = HIDGetNextDeviceElement(e, kHIDElementTypeIO))
            if (e->cookie == record.cookie)
                return e;
    for (pRecElement e = HIDGetFirstDeviceElement(device, kHIDElementTypeIO); e;
         e = HIDGetNextDeviceElement(e, kHIDElementTypeIO))
        if (SameUsage(e, record))
            return e;
    return nullptr;
}

template <typename Match>
pRecDevice FindDevice(Match match)
{
    for (pRecDevice d = HIDGetFirstDevice(); d; d = HIDGetNextDevice(d))
        if (match(d))
            return d;
    return nullptr;
}

} // namespace

Boolean HIDCanConfigureElement(pRecDevice pDevice, pRecElement pElement)
{
    // Motion sensors (accelerometers, gyroscopes) move with the hand that
    // holds the device, never on purpose.
    return pDevice && pElement && pDevice->usagePage != kHIDPage_Sensor && pElement->usagePage != kHIDPage_Sensor &&
           pElement->min < pElement->max;
}

Boolean HIDHaveConfigurableElement()
{
    for (pRecDevice d = HIDGetFirstDevice(); d; d = HIDGetNextDevice(d))
        for (pRecElement e = HIDGetFirstDeviceElement(d, kHIDElementTypeIO); e;
             e = HIDGetNextDeviceElement(e, kHIDElementTypeIO))
            if (HIDCanConfigureElement(d, e))
                return true;
    return false;
}

void HIDPackSaveRecord(const recSaveHID& record, unsigned char bytes[kSaveHIDBytes])
{
    const uint32_t fields[9] = {uint32_t(record.actionCookie), uint32_t(record.vendorID), uint32_t(record.productID),
                                uint32_t(record.locID),        uint32_t(record.usage),    uint32_t(record.usagePage),
                                uint32_t(record.usagePageE),   uint32_t(record.usageE),   record.cookie};
    for (int i = 0; i < 9; ++i)
        PutBigEndian32(bytes + 4 * i, fields[i]);
}

recSaveHID HIDUnpackSaveRecord(const unsigned char bytes[kSaveHIDBytes])
{
    recSaveHID record{};
    record.actionCookie = SInt32(GetBigEndian32(bytes));
    record.vendorID = SInt32(GetBigEndian32(bytes + 4));
    record.productID = SInt32(GetBigEndian32(bytes + 8));
    record.locID = SInt32(GetBigEndian32(bytes + 12));
    record.usage = SInt32(GetBigEndian32(bytes + 16));
    record.usagePage = SInt32(GetBigEndian32(bytes + 20));
    record.usagePageE = SInt32(GetBigEndian32(bytes + 24));
    record.usageE = SInt32(GetBigEndian32(bytes + 28));
    record.cookie = GetBigEndian32(bytes + 32);
    return record;
}

Boolean HIDConfigureAction(pRecDevice* ppDevice, pRecElement* ppElement, float timeout)
{
    // Waiting is measured on the uptime clock: processor time would not
    // count the time the user takes.
    const AbsoluteTime start = UpTime();
    if (!HIDHaveDeviceList() && !HIDBuildDeviceList(1, 5))
        return false;

    const UInt32 numDevices = HIDCountDevices();
    UInt32 maxElements = 0;
    for (pRecDevice d = HIDGetFirstDevice(); d; d = HIDGetNextDevice(d))
        maxElements = std::max(maxElements, HIDCountDeviceElements(d, kHIDElementTypeIO));
    const size_t cells = size_t(numDevices) * size_t(maxElements);
    auto* saveValueArray = static_cast<SInt32*>(std::calloc(cells ? cells : 1, sizeof(SInt32)));
    *ppDevice = nullptr;
    *ppElement = nullptr;
    if (!saveValueArray)
        return false;

    UInt32 deviceIndex = 0;
    for (pRecDevice d = HIDGetFirstDevice(); d && deviceIndex < numDevices; d = HIDGetNextDevice(d), ++deviceIndex) {
        UInt32 elementIndex = 0;
        for (pRecElement e = HIDGetFirstDeviceElement(d, kHIDElementTypeIO); e && elementIndex < maxElements;
             e = HIDGetNextDeviceElement(e, kHIDElementTypeIO), ++elementIndex)
            saveValueArray[deviceIndex * maxElements + elementIndex] = HIDGetElementValue(d, e);
    }

    pRecDevice movedDevice = nullptr;
    pRecElement movedElement = nullptr;
    bool timeUp = false;
    while (!movedElement && !timeUp) {
        if (HostDurationSeconds(AbsoluteDeltaToDuration(UpTime(), start)) > double(timeout))
            timeUp = true;
        deviceIndex = 0;
        for (pRecDevice d = HIDGetFirstDevice(); d && !movedElement && deviceIndex < numDevices;
             d = HIDGetNextDevice(d), ++deviceIndex) {
            UInt32 elementIndex = 0;
            for (pRecElement e = HIDGetFirstDeviceElement(d, kHIDElementTypeIO); e && elementIndex < maxElements;
                 e = HIDGetNextDeviceElement(e, kHIDElementTypeIO), ++elementIndex) {
                if (!HIDCanConfigureElement(d, e))
                    continue;
                const SInt32 value = HIDGetElementValue(d, e);
                const SInt32 initial = saveValueArray[deviceIndex * maxElements + elementIndex];
                const int64_t threshold = int64_t((int64_t(e->max) - e->min) * kPercentMove * 0.01);
                if (value > initial + threshold || value < initial - threshold) {
                    movedDevice = d;
                    movedElement = e;
                    break;
                }
            }
        }
    }
    std::free(saveValueArray);
    if (!movedElement)
        return false;
    *ppDevice = movedDevice;
    *ppElement = movedElement;
    return true;
}

recSaveHID HIDMakeSaveRecord(pRecDevice pDevice, pRecElement pElement, SInt32 actionCookie)
{
    recSaveHID record{};
    record.actionCookie = actionCookie;
    if (pDevice && pElement) {
        record.vendorID = pDevice->vendorID;
        record.productID = pDevice->productID;
        record.locID = pDevice->locID;
        record.usage = pDevice->usage;
        record.usagePage = pDevice->usagePage;
        record.usagePageE = pElement->usagePage;
        record.usageE = pElement->usage;
        record.cookie = pElement->cookie;
    }
    return record;
}

void HIDSaveElementConfig(FILE* fileRef, pRecDevice pDevice, pRecElement pElement, SInt32 actionCookie)
{
    unsigned char bytes[kSaveHIDBytes];
    HIDPackSaveRecord(HIDMakeSaveRecord(pDevice, pElement, actionCookie), bytes);
    if (fileRef)
        std::fwrite(bytes, 1, sizeof bytes, fileRef);
}

SInt32 HIDRestoreElementConfig(FILE* fileRef, pRecDevice* ppDevice, pRecElement* ppElement)
{
    *ppDevice = nullptr;
    *ppElement = nullptr;
    unsigned char bytes[kSaveHIDBytes];
    if (!fileRef || std::fread(bytes, 1, sizeof bytes, fileRef) != sizeof bytes)
        return 0;
    const recSaveHID record = HIDUnpackSaveRecord(bytes);
    HIDFindSavedElement(record, ppDevice, ppElement);
    return record.actionCookie;
}

void HIDFindSavedElement(const recSaveHID& record, pRecDevice* ppDevice, pRecElement* ppElement)
{
    *ppDevice = nullptr;
    *ppElement = nullptr;
    pRecDevice device = nullptr;
    pRecElement element = nullptr;
    if (record.locID && record.vendorID && record.productID) {
        device = FindDevice([&](pRecDevice d) {
            return d->locID == record.locID && d->vendorID == record.vendorID && d->productID == record.productID;
        });
        if (device)
            element = FindElement(device, record, true);
    }
    if (!device && record.vendorID && record.productID) {
        // A device of the same model elsewhere. Of its nodes (a pad and its
        // touchpad, a Wii Remote's IR camera, buttons and Nunchuk) the one of
        // the saved kind whose element under the saved cookie is the saved
        // control; else the first.
        auto sameModel = [&](pRecDevice d) {
            return d->vendorID == record.vendorID && d->productID == record.productID;
        };
        device = FindDevice([&](pRecDevice d) {
            if (!sameModel(d) || d->usage != record.usage || d->usagePage != record.usagePage)
                return false;
            const pRecElement e = FindElement(d, record, true);
            return e && e->cookie == record.cookie && SameUsage(e, record);
        });
        if (!device)
            device = FindDevice(sameModel);
        if (device)
            element = FindElement(device, record, true);
    }
    if (!device && record.usage && record.usagePage) {
        device = FindDevice([&](pRecDevice d) { return d->usage == record.usage && d->usagePage == record.usagePage; });
        if (device)
            element = FindElement(device, record, false);
    }
    if (!device) {
        device = HIDGetFirstDevice();
        if (device)
            element = FindElement(device, record, false);
    }
    if (device && element) {
        *ppDevice = device;
        *ppElement = element;
    }
}
