// Device registries made from arbitrary bytes: property dictionaries of any
// nesting, missing and mistyped keys, failing entries and interfaces. The
// list is built, walked, read and released; nothing may leak.
#include <cstring>
#include <string>

#include "HID_Devices_External.h"
#include "Host_CF.h"
#include "Host_Fixture_Registry.h"
#include "Host_Test_Seams.h"

namespace {

// The keys the device layer reads; "Elements" and "Type" stand more than once
// so that nested element trees come up often.
// clang-format off
const char* const kKeys[] = {"Type", "UsagePage", "Usage", "ElementCookie", "Min", "Max", "ScaledMin", "ScaledMax",
                             "Size", "IsRelative", "IsWrapping", "IsNonLinear", "HasPreferredState", "HasNullState",
                             "Unit", "UnitExponent", "Name", "Elements", "Transport", "VendorID", "ProductID",
                             "VersionNumber", "Manufacturer", "Product", "SerialNumber", "LocationID",
                             "PrimaryUsagePage", "PrimaryUsage", "idVendor", "idProduct", "USB Vendor Name",
                             "USB Product Name", "locationID", "Elements", "Elements", "Type"};
// clang-format on
constexpr size_t kNumKeys = sizeof kKeys / sizeof kKeys[0];

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t Byte() { return at < size ? data[at++] : 0; }
    int64_t Number()
    {
        switch (Byte() % 4) {
        case 0:
            return Byte() % 16;
        case 1:
            return int8_t(Byte());
        case 2:
            return 0x100 * Byte() + Byte();
        default: {
            uint32_t value = 0;
            for (int i = 0; i < 4; ++i)
                value = value << 8 | Byte();
            return int32_t(value);
        }
        }
    }
};

CFMutableDictionaryRef Dictionary(Reader& in, int depth);

CFTypeRef Value(Reader& in, int depth)
{
    switch (depth > 6 ? 0 : in.Byte() % 7) {
    case 0:
        return FixtureNumber(in.Number());
    case 1:
        return FixtureReal(double(in.Number()) / 3.0);
    case 2: {
        std::string text(in.Byte() % 300, 'a');
        for (char& c : text)
            c = char(in.Byte() | 1);
        return FixtureString(text.c_str());
    }
    case 3:
        return FixtureBoolean(in.Byte() & 1);
    case 4: {
        CFMutableArrayRef array = FixtureArray({});
        for (int n = in.Byte() % 6; n > 0; --n) {
            CFTypeRef item = Value(in, depth + 1);
            CFArrayAppendValue(array, item);
            CFRelease(item);
        }
        return array;
    }
    default:
        return Dictionary(in, depth + 1);
    }
}

CFMutableDictionaryRef Dictionary(Reader& in, int depth)
{
    CFMutableDictionaryRef dictionary = FixtureDictionary({});
    for (int n = in.Byte() % 10; n > 0; --n)
        FixtureSet(dictionary, kKeys[in.Byte() % kNumKeys], Value(in, depth));
    return dictionary;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const long liveObjects = FixtureLiveCFObjects();
    Reader in{data, size};
    FixtureRegistry registry;
    const uint8_t flags = in.Byte();
    registry.noIterator = flags & 1;
    registry.matchingFails = (flags & 6) == 6;
    for (int n = in.Byte() % 4; n > 0; --n) {
        FixtureDevice device;
        const uint8_t how = in.Byte();
        device.properties = (how & 1) ? Dictionary(in, 0) : nullptr;
        device.usbProperties = (how & 2) ? Dictionary(in, 0) : nullptr;
        device.propertiesResult = (how & 4) ? kIOReturnNoDevice : KERN_SUCCESS;
        device.parent1Result = (how & 8) ? kIOReturnNoDevice : KERN_SUCCESS;
        device.plugInResult = (how & 16) ? kIOReturnUnsupported : KERN_SUCCESS;
        device.queryResult = (how & 32) ? E_NOINTERFACE : S_OK;
        device.interface->openResult = (how & 64) ? kIOReturnNotOpen : kIOReturnSuccess;
        device.interface->valueResult = (how & 128) ? kIOReturnBadArgument : kIOReturnSuccess;
        for (int v = in.Byte() % 8; v > 0; --v)
            device.interface->values[IOHIDElementCookie(in.Byte() % 16)] = int32_t(in.Number());
        registry.devices.push_back(device);
    }
    FixtureRegistryInstall(std::move(registry));
    const uint8_t page = in.Byte() % 3, usage = in.Byte() % 7;
    if (HIDBuildDeviceList(page, usage)) {
        const HIDElementTypeMask masks[] = {kHIDElementTypeAll, kHIDElementTypeIO, kHIDElementTypeInput,
                                            kHIDElementTypeCollection};
        for (pRecDevice d = HIDGetFirstDevice(); d; d = HIDGetNextDevice(d)) {
            for (HIDElementTypeMask mask : masks) {
                UInt32 seen = 0;
                for (pRecElement e = HIDGetFirstDeviceElement(d, mask); e && seen < 100000;
                     e = HIDGetNextDeviceElement(e, mask), ++seen) {
                    if (std::strlen(e->name) > 255)
                        __builtin_trap();
                    const SInt32 value = HIDGetElementValue(d, e);
                    HIDScaleValue(HIDCalibrateValue(value, e), e);
                }
                if (seen >= 100000) // the walk must end
                    __builtin_trap();
            }
            HIDCountDeviceElements(d, kHIDElementTypeAll);
        }
    }
    HIDReleaseDeviceList();
    FixtureRegistryRemove();
    if (FixtureLiveCFObjects() != liveObjects || FixtureLiveRegistryHandles() != 0 || FixtureLiveInterfaces() != 0)
        __builtin_trap(); // something handed out was not given back
    return 0;
}
