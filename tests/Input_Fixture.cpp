#include "Input_Fixture.h"

#include <gtest/gtest.h>

#include "App_Shell.h"
#include "HID_Devices_External.h"
#include "HID_Fixture.h"
#include "Host_App_Seams.h"

using hidtest::Element;
using hidtest::Ranged;

FixtureDevice FixturePad(int32_t vendorID, int32_t productID, int32_t locationID, const char* product)
{
    CFMutableDictionaryRef collection = Ranged(Element(kIOHIDElementTypeCollection, 1, 5, kPadCollection), 0, 0);
    FixtureSet(collection, "Elements",
               FixtureArray({Ranged(Element(kIOHIDElementTypeInput_Misc, 1, 0x30, kPadX), 0, 255),
                             Ranged(Element(kIOHIDElementTypeInput_Misc, 1, 0x31, kPadY), 0, 255),
                             Ranged(Element(kIOHIDElementTypeInput_Button, 9, 1, kPadButton1), 0, 1),
                             Ranged(Element(kIOHIDElementTypeInput_Button, 9, 2, kPadButton2), 0, 1),
                             Ranged(Element(kIOHIDElementTypeInput_Misc, 1, 0x32, kPadZ), 0, 1023)}));
    FixtureDevice device;
    device.properties = FixtureDictionary({{"Transport", FixtureString("USB")},
                                           {"VendorID", FixtureNumber(vendorID)},
                                           {"ProductID", FixtureNumber(productID)},
                                           {"VersionNumber", FixtureNumber(1)},
                                           {"Manufacturer", FixtureString("Fixture Inc.")},
                                           {"Product", FixtureString(product)},
                                           {"SerialNumber", FixtureString("1")},
                                           {"LocationID", FixtureNumber(locationID)},
                                           {"PrimaryUsagePage", FixtureNumber(1)},
                                           {"PrimaryUsage", FixtureNumber(5)},
                                           {"Elements", FixtureArray({collection})}});
    device.usbProperties = FixtureDictionary({{"idVendor", FixtureNumber(vendorID)},
                                              {"idProduct", FixtureNumber(productID)},
                                              {"USB Vendor Name", FixtureString("Fixture Inc.")},
                                              {"USB Product Name", FixtureString(product)},
                                              {"locationID", FixtureNumber(locationID)}});
    return device;
}

void InstallPads(std::initializer_list<FixtureDevice> devices)
{
    FixtureRegistry registry;
    registry.devices.assign(devices);
    FixtureRegistryInstall(std::move(registry));
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    ASSERT_EQ(HIDCountDevices(), UInt32(devices.size()));
}

void SetPadValue(int device, IOHIDElementCookie cookie, int32_t value)
{
    FixtureRegistryCurrent().devices.at(size_t(device)).interface->values[cookie] = value;
}

std::string ConfigText(const char (&signature)[5], SInt32 number)
{
    const ControlID id{FourCC(signature), number};
    ControlRef control = nullptr;
    if (GetControlByID(gConfigWindow, &id, &control) != noErr)
        return "<no control>";
    char text[256];
    FixtureGetControlText(control, text, sizeof text);
    return text;
}
