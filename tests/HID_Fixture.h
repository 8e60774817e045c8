// Helpers for the HID suites: element and device dictionaries for the fixture
// registry, a recorder of the HID layer's messages, and a test base that
// checks that every registry handle, plug-in, interface and property list
// handed out has been given back.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "HID_Devices_Internal.h"
#include "HID_Error_Handler.h"
#include "Host_Fixture_Registry.h"
#include "Host_Test_Seams.h"

namespace hidtest {

inline std::vector<std::string>& Messages()
{
    static std::vector<std::string> messages;
    return messages;
}

inline void RecordMessage(const char* message)
{
    Messages().emplace_back(message);
}

// How many messages start with text (a numbered message carries " #n (0xn)").
inline long CountSaid(const std::string& text)
{
    return std::count_if(Messages().begin(), Messages().end(),
                         [&](const std::string& m) { return m.rfind(text, 0) == 0; });
}

// An element dictionary as the registry describes it.
inline CFMutableDictionaryRef Element(uint32_t type, int64_t usagePage, int64_t usage, int64_t cookie)
{
    return FixtureDictionary({{"Type", FixtureNumber(type)},
                              {"UsagePage", FixtureNumber(usagePage)},
                              {"Usage", FixtureNumber(usage)},
                              {"ElementCookie", FixtureNumber(cookie)}});
}

inline CFMutableDictionaryRef Input(int64_t usagePage, int64_t usage, int64_t cookie)
{
    return Element(kIOHIDElementTypeInput_Misc, usagePage, usage, cookie);
}

inline CFMutableDictionaryRef Named(CFMutableDictionaryRef element, const char* name)
{
    FixtureSet(element, "Name", FixtureString(name));
    return element;
}

inline CFMutableDictionaryRef Ranged(CFMutableDictionaryRef element, int64_t min, int64_t max)
{
    FixtureSet(element, "Min", FixtureNumber(min));
    FixtureSet(element, "Max", FixtureNumber(max));
    return element;
}

inline CFMutableDictionaryRef Collection(int64_t usagePage, int64_t usage, int64_t cookie,
                                         std::initializer_list<CFTypeRef> children)
{
    CFMutableDictionaryRef collection = Element(kIOHIDElementTypeCollection, usagePage, usage, cookie);
    FixtureSet(collection, "Elements", FixtureArray(children));
    return collection;
}

// A device with these top-level elements, an empty USB-level dictionary and
// an interface that opens.
inline FixtureDevice Device(std::initializer_list<CFTypeRef> elements)
{
    FixtureDevice device;
    device.properties = FixtureDictionary({{"Elements", FixtureArray(elements)}});
    device.usbProperties = FixtureDictionary({});
    return device;
}

inline FixtureDevice NamedDevice(const char* product, std::initializer_list<CFTypeRef> elements = {})
{
    FixtureDevice device = Device(elements);
    FixtureSet(device.properties, "Product", FixtureString(product));
    return device;
}

inline std::vector<pRecDevice> ListedDevices()
{
    std::vector<pRecDevice> devices;
    for (pRecDevice pDevice = HIDGetFirstDevice(); pDevice; pDevice = HIDGetNextDevice(pDevice))
        devices.push_back(pDevice);
    return devices;
}

inline std::vector<std::string> IteratedNames(pRecDevice pDevice, HIDElementTypeMask typeMask)
{
    std::vector<std::string> names;
    for (pRecElement pElement = HIDGetFirstDeviceElement(pDevice, typeMask); pElement;
         pElement = HIDGetNextDeviceElement(pElement, typeMask))
        names.emplace_back(pElement->name);
    return names;
}

// Installs a registry per test and, at the end, releases the list and checks
// that nothing the registry handed out is still held.
class RegistryTest : public testing::Test {
protected:
    void SetUp() override
    {
        Messages().clear();
        HIDSetReportObserver(RecordMessage);
        mLiveObjects = FixtureLiveCFObjects();
    }

    void TearDown() override
    {
        HIDReleaseDeviceList();
        FixtureRegistryRemove();
        HIDSetReportObserver(nullptr);
        EXPECT_EQ(FixtureLiveRegistryHandles(), 0);
        EXPECT_EQ(FixtureLivePlugIns(), 0);
        EXPECT_EQ(FixtureLiveInterfaces(), 0);
        EXPECT_EQ(FixtureLiveCFObjects(), mLiveObjects);
        EXPECT_EQ(gCurrentGetDevice, nullptr);
    }

    void Install(std::vector<FixtureDevice> devices)
    {
        FixtureRegistry registry;
        registry.devices = std::move(devices);
        FixtureRegistryInstall(std::move(registry));
    }

    // Installs one device, builds the list and returns the device.
    pRecDevice BuildOne(FixtureDevice device)
    {
        std::vector<FixtureDevice> devices;
        devices.push_back(device);
        Install(std::move(devices));
        EXPECT_TRUE(HIDBuildDeviceList(0, 0));
        return HIDGetFirstDevice();
    }

private:
    long mLiveObjects = 0;
};

} // namespace hidtest
