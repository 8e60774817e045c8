// The device list against the fixture registry: building and releasing,
// device identity, the keep-or-drop rules and counters of elements, the
// linking of element trees, depth-first iteration and element names.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "HID_Fixture.h"

using namespace hidtest;

namespace {

// ------------------------------------------------------------ building the list

using DeviceList = RegistryTest;

TEST_F(DeviceList, NoIteratorGivesFalseAndNoList)
{
    FixtureRegistry registry;
    registry.noIterator = true;
    registry.devices.push_back(NamedDevice("pad"));
    FixtureRegistryInstall(std::move(registry));
    EXPECT_FALSE(HIDBuildDeviceList(0, 0));
    EXPECT_FALSE(HIDHaveDeviceList());
    EXPECT_EQ(HIDCountDevices(), 0u);
    EXPECT_EQ(HIDGetFirstDevice(), nullptr);
    EXPECT_EQ(CountSaid("Warning: Could not find any matching devices, thus iterator creation failed."), 1);
}

TEST_F(DeviceList, EmptyIteratorGivesTrueAndAnEmptyList)
{
    Install({});
    EXPECT_TRUE(HIDBuildDeviceList(0, 0));
    EXPECT_FALSE(HIDHaveDeviceList());
    EXPECT_EQ(HIDCountDevices(), 0u);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(DeviceList, RegistryFailuresGiveFalseWithTheirMessages)
{
    FixtureRegistry registry;
    registry.masterPortResult = kIOReturnNotPrivileged;
    FixtureRegistryInstall(std::move(registry));
    EXPECT_FALSE(HIDBuildDeviceList(0, 0));
    EXPECT_EQ(Messages(), std::vector<std::string>{"IOMasterPort error with bootstrap_port. #-536870207 (0xe00002c1)"});

    Messages().clear();
    FixtureRegistryCurrent().masterPortResult = KERN_SUCCESS;
    FixtureRegistryCurrent().matchingFails = true;
    EXPECT_FALSE(HIDBuildDeviceList(0, 0));
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Failed to get HID CFMutableDictionaryRef via IOServiceMatching.",
                                                    "Couldn’t create a matching dictionary."}));

    Messages().clear();
    FixtureRegistryCurrent().matchingFails = false;
    FixtureRegistryCurrent().matchingResult = kIOReturnNoMemory;
    EXPECT_FALSE(HIDBuildDeviceList(0, 0));
    EXPECT_EQ(CountSaid("Failed to create IO object iterator, error: #"), 1);
    EXPECT_FALSE(HIDHaveDeviceList());
}

TEST_F(DeviceList, DevicesComeInRegistryOrder)
{
    Install({NamedDevice("first"), NamedDevice("second"), NamedDevice("third")});
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    EXPECT_TRUE(HIDHaveDeviceList());
    ASSERT_EQ(HIDCountDevices(), 3u);
    std::vector<std::string> products;
    for (pRecDevice pDevice : ListedDevices())
        products.emplace_back(pDevice->product);
    EXPECT_EQ(products, (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(HIDGetNextDevice(nullptr), nullptr);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(DeviceList, BuildingTwiceReleasesTheFirstList)
{
    std::vector<FixtureDevice> first{NamedDevice("a"), NamedDevice("b"), NamedDevice("c")};
    std::vector<std::shared_ptr<FixtureInterface>> firstInterfaces;
    for (const FixtureDevice& device : first)
        firstInterfaces.push_back(device.interface);
    Install(first);
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    EXPECT_EQ(FixtureLiveInterfaces(), 3);

    Install({NamedDevice("only")});
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    EXPECT_EQ(HIDCountDevices(), 1u);
    EXPECT_STREQ(HIDGetFirstDevice()->product, "only");
    for (const auto& interface : firstInterfaces) {
        EXPECT_EQ(interface->closes, 1);
        EXPECT_EQ(interface->releases, 1);
        EXPECT_FALSE(interface->isOpen);
    }
    EXPECT_EQ(FixtureLiveInterfaces(), 1);
}

TEST_F(DeviceList, PrimaryUsageRestrictsTheList)
{
    auto pad = [](const char* name, int64_t page, int64_t usage) {
        FixtureDevice device = NamedDevice(name);
        FixtureSet(device.properties, "PrimaryUsagePage", FixtureNumber(page));
        FixtureSet(device.properties, "PrimaryUsage", FixtureNumber(usage));
        return device;
    };
    Install({pad("mouse", 1, 2), pad("pad", 1, 5), pad("keyboard", 1, 6), pad("pad2", 1, 5)});
    ASSERT_TRUE(HIDBuildDeviceList(1, 5));
    ASSERT_EQ(HIDCountDevices(), 2u);
    EXPECT_STREQ(HIDGetFirstDevice()->product, "pad");
    EXPECT_STREQ(HIDGetNextDevice(HIDGetFirstDevice())->product, "pad2");

    // A zero page or usage asks for every device.
    ASSERT_TRUE(HIDBuildDeviceList(1, 0));
    EXPECT_EQ(HIDCountDevices(), 4u);
    ASSERT_TRUE(HIDBuildDeviceList(0, 5));
    EXPECT_EQ(HIDCountDevices(), 4u);
}

TEST_F(DeviceList, DeviceWhosePropertiesCannotBeReadStaysAsAZeroedRecord)
{
    FixtureDevice broken = NamedDevice("broken", {Input(1, 0x30, 1)});
    broken.propertiesResult = kIOReturnNotPrivileged;
    std::shared_ptr<FixtureInterface> brokenInterface = broken.interface;
    FixtureDevice noDictionary;
    noDictionary.usbProperties = FixtureDictionary({});
    Install({broken, noDictionary, NamedDevice("fine")});
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    ASSERT_EQ(HIDCountDevices(), 3u);
    std::vector<pRecDevice> devices = ListedDevices();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(devices[i]->interface, nullptr);
        EXPECT_STREQ(devices[i]->product, "");
        EXPECT_EQ(devices[i]->pListElements, nullptr);
        EXPECT_EQ(devices[i]->totalElements, 0);
    }
    EXPECT_EQ(brokenInterface->opens, 0);
    EXPECT_STREQ(devices[2]->product, "fine");
    EXPECT_EQ(CountSaid("IORegistryEntryCreateCFProperties error when creating deviceProperties. #-536870207"), 1);
    EXPECT_EQ(CountSaid("IORegistryEntryCreateCFProperties error when creating deviceProperties. #0 (0x0)"), 1);
}

// ------------------------------------------------------------ device identity

using DeviceIdentity = RegistryTest;

TEST_F(DeviceIdentity, OwnKeysAreRead)
{
    FixtureDevice device = Device({});
    FixtureSet(device.properties, "Transport", FixtureString("USB"));
    FixtureSet(device.properties, "VendorID", FixtureNumber(0x046d));
    FixtureSet(device.properties, "ProductID", FixtureNumber(0xc216));
    FixtureSet(device.properties, "VersionNumber", FixtureNumber(0x0110));
    FixtureSet(device.properties, "Manufacturer", FixtureString("Logitech"));
    FixtureSet(device.properties, "Product", FixtureString("Dual Action"));
    FixtureSet(device.properties, "SerialNumber", FixtureString("A1B2"));
    FixtureSet(device.properties, "LocationID", FixtureNumber(0x14200000));
    FixtureSet(device.properties, "PrimaryUsagePage", FixtureNumber(1));
    FixtureSet(device.properties, "PrimaryUsage", FixtureNumber(5));
    // The device's own values win over the USB-level ones.
    FixtureSet(device.usbProperties, "idVendor", FixtureNumber(1));
    FixtureSet(device.usbProperties, "USB Product Name", FixtureString("usb name"));
    pRecDevice pDevice = BuildOne(device);
    ASSERT_NE(pDevice, nullptr);
    EXPECT_STREQ(pDevice->transport, "USB");
    EXPECT_EQ(pDevice->vendorID, 0x046d);
    EXPECT_EQ(pDevice->productID, 0xc216);
    EXPECT_EQ(pDevice->version, 0x0110);
    EXPECT_STREQ(pDevice->manufacturer, "Logitech");
    EXPECT_STREQ(pDevice->product, "Dual Action");
    EXPECT_STREQ(pDevice->serial, "A1B2");
    EXPECT_EQ(pDevice->locID, 0x14200000);
    EXPECT_EQ(pDevice->usagePage, 1);
    EXPECT_EQ(pDevice->usage, 5);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(DeviceIdentity, MissingKeysFallBackToTheUSBLevelOrStayEmpty)
{
    FixtureDevice device = Device({});
    FixtureSet(device.usbProperties, "idVendor", FixtureNumber(0x2222));
    FixtureSet(device.usbProperties, "idProduct", FixtureNumber(0x4010));
    FixtureSet(device.usbProperties, "USB Vendor Name", FixtureString("Maker"));
    FixtureSet(device.usbProperties, "USB Product Name", FixtureString("Pad"));
    FixtureSet(device.usbProperties, "locationID", FixtureNumber(0x1a110000));
    // Keys without a fallback are not taken from the USB level.
    FixtureSet(device.usbProperties, "Transport", FixtureString("USB"));
    FixtureSet(device.usbProperties, "SerialNumber", FixtureString("S"));
    FixtureSet(device.usbProperties, "VersionNumber", FixtureNumber(3));
    pRecDevice pDevice = BuildOne(device);
    ASSERT_NE(pDevice, nullptr);
    EXPECT_EQ(pDevice->vendorID, 0x2222);
    EXPECT_EQ(pDevice->productID, 0x4010);
    EXPECT_STREQ(pDevice->manufacturer, "Maker");
    EXPECT_STREQ(pDevice->product, "Pad");
    EXPECT_EQ(pDevice->locID, 0x1a110000);
    EXPECT_STREQ(pDevice->transport, "");
    EXPECT_STREQ(pDevice->serial, "");
    EXPECT_EQ(pDevice->version, 0);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(DeviceIdentity, ValuesThatDoNotConvertAreReportedInTableOrder)
{
    FixtureDevice device = Device({});
    FixtureSet(device.properties, "Transport", FixtureNumber(1));
    FixtureSet(device.properties, "VendorID", FixtureString("046d"));
    FixtureSet(device.properties, "ProductID", FixtureReal(1.5));
    FixtureSet(device.properties, "VersionNumber", FixtureNumber(int64_t{1} << 40));
    FixtureSet(device.properties, "Manufacturer", FixtureString(std::string(256, 'm').c_str()));
    FixtureSet(device.properties, "Product", FixtureString(std::string(255, 'p').c_str()));
    FixtureSet(device.properties, "SerialNumber", FixtureBoolean(true));
    FixtureSet(device.usbProperties, "locationID", FixtureString("here"));
    FixtureSet(device.properties, "PrimaryUsagePage", FixtureString("one"));
    FixtureSet(device.properties, "PrimaryUsage", FixtureString("five"));
    pRecDevice pDevice = BuildOne(device);
    ASSERT_NE(pDevice, nullptr);
    EXPECT_EQ(Messages(), (std::vector<std::string>{
                              "CFStringGetCString error retrieving pDevice->transport.",
                              "CFNumberGetValue error retrieving pDevice->vendorID.",
                              "CFNumberGetValue error retrieving pDevice->productID.",
                              "CFNumberGetValue error retrieving pDevice->version.",
                              "CFStringGetCString error retrieving pDevice->manufacturer.",
                              "CFStringGetCString error retrieving pDevice->serial.",
                              "CFNumberGetValue error retrieving pDevice->locID.",
                              "CFNumberGetValue error retrieving pDevice->usagePage.",
                              "CFNumberGetValue error retrieving pDevice->usage.",
                          }));
    EXPECT_EQ(pDevice->vendorID, 0);
    EXPECT_EQ(pDevice->productID, 0);
    EXPECT_STREQ(pDevice->manufacturer, "");
    EXPECT_EQ(std::strlen(pDevice->product), 255u); // 255 characters and the terminator fit
}

TEST_F(DeviceIdentity, WithoutPrimaryUsageTheLastTopLevelDictionaryDecides)
{
    FixtureDevice device =
        Device({Collection(1, 2, 1, {}), FixtureString("not an element"), Collection(1, 5, 2, {Input(9, 1, 3)})});
    pRecDevice pDevice = BuildOne(device);
    ASSERT_NE(pDevice, nullptr);
    EXPECT_EQ(pDevice->usagePage, 1);
    EXPECT_EQ(pDevice->usage, 5);
}

TEST_F(DeviceIdentity, PrimaryUsageWithoutPageIsNotLookedUp)
{
    FixtureDevice withoutPage = Device({Collection(1, 4, 1, {})});
    FixtureSet(withoutPage.properties, "PrimaryUsage", FixtureNumber(6));
    FixtureDevice withoutUsage = Device({Collection(1, 4, 1, {})});
    FixtureSet(withoutUsage.properties, "PrimaryUsagePage", FixtureNumber(0xFF00));
    FixtureDevice noElements;
    noElements.properties = FixtureDictionary({{"PrimaryUsagePage", FixtureNumber(1)}});
    noElements.usbProperties = FixtureDictionary({});
    Install({withoutPage, withoutUsage, noElements});
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    std::vector<pRecDevice> devices = ListedDevices();
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0]->usagePage, 1);
    EXPECT_EQ(devices[0]->usage, 4);
    // The elements overwrite the page that the device gave.
    EXPECT_EQ(devices[1]->usagePage, 1);
    EXPECT_EQ(devices[1]->usage, 4);
    EXPECT_EQ(devices[2]->usagePage, 1);
    EXPECT_EQ(devices[2]->usage, 0);
}

TEST_F(DeviceIdentity, TopLevelElementWithoutUsageIsReported)
{
    CFMutableDictionaryRef bare = FixtureDictionary({{"Type", FixtureNumber(513)}});
    pRecDevice pDevice = BuildOne(Device({bare}));
    ASSERT_NE(pDevice, nullptr);
    EXPECT_EQ(CountSaid("CFNumberGetValue error retrieving pDevice->usagePage."), 1);
    EXPECT_EQ(CountSaid("CFNumberGetValue error retrieving pDevice->usage."), 1);
}

TEST_F(DeviceIdentity, MissingParentsLeaveTheIdentityEmptyButTheElementsAreRead)
{
    FixtureDevice noParent = NamedDevice("no parent", {Input(1, 0x30, 1)});
    noParent.parent1Result = kIOReturnNoDevice;
    FixtureDevice noGrandparent = NamedDevice("no grandparent", {Input(1, 0x30, 1)});
    noGrandparent.parent2Result = kIOReturnNoDevice;
    FixtureDevice unreadable = NamedDevice("unreadable", {Input(1, 0x30, 1)});
    unreadable.usbPropertiesResult = kIOReturnNotPrivileged;
    Install({noParent, noGrandparent, unreadable});
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    for (pRecDevice pDevice : ListedDevices()) {
        EXPECT_STREQ(pDevice->product, "");
        EXPECT_EQ(pDevice->usagePage, 0);
        EXPECT_EQ(pDevice->totalElements, 1);
        EXPECT_NE(pDevice->interface, nullptr);
    }
    EXPECT_TRUE(Messages().empty());
}

TEST_F(DeviceIdentity, NoUSBLevelDictionaryIsReportedAndNothingIsRead)
{
    FixtureDevice device = NamedDevice("pad", {Collection(1, 5, 1, {})});
    CFRelease(device.usbProperties);
    device.usbProperties = nullptr;
    pRecDevice pDevice = BuildOne(device);
    ASSERT_NE(pDevice, nullptr);
    EXPECT_STREQ(pDevice->product, "");
    EXPECT_EQ(pDevice->usage, 0);
    EXPECT_EQ(pDevice->collections, 1);
    EXPECT_EQ(CountSaid("IORegistryEntryCreateCFProperties failed to create usbProperties."), 1);
}

// ------------------------------------------------------------ device interfaces

using DeviceInterfaces = RegistryTest;

TEST_F(DeviceInterfaces, EachDeviceIsOpenedOnceAndClosedAndReleasedAtRelease)
{
    FixtureDevice device = NamedDevice("pad");
    std::shared_ptr<FixtureInterface> state = device.interface;
    pRecDevice pDevice = BuildOne(device);
    ASSERT_NE(pDevice, nullptr);
    EXPECT_NE(pDevice->interface, nullptr);
    EXPECT_EQ(pDevice->queue, nullptr);
    EXPECT_EQ(state->opens, 1);
    EXPECT_TRUE(state->isOpen);
    EXPECT_EQ(FixtureLivePlugIns(), 0); // the plug-in is destroyed right away

    EXPECT_EQ(HIDReleaseAllDeviceQueues(), kIOReturnSuccess);
    EXPECT_EQ(HIDDequeueDevice(pDevice), kIOReturnSuccess);
    HIDReleaseDeviceList();
    EXPECT_EQ(state->closes, 1);
    EXPECT_EQ(state->releases, 1);
    EXPECT_EQ(HIDCountDevices(), 0u);
    EXPECT_FALSE(HIDHaveDeviceList());
    EXPECT_TRUE(Messages().empty());
}

TEST_F(DeviceInterfaces, PlugInThatCannotBeMadeLeavesNoInterface)
{
    FixtureDevice device = NamedDevice("pad");
    device.plugInResult = kIOReturnUnsupported;
    std::shared_ptr<FixtureInterface> state = device.interface;
    pRecDevice pDevice = BuildOne(device);
    ASSERT_NE(pDevice, nullptr);
    EXPECT_EQ(pDevice->interface, nullptr);
    EXPECT_STREQ(pDevice->product, "pad");
    EXPECT_EQ(CountSaid("Failed to create **plugInInterface via IOCreatePlugInInterfaceForService. #-536870201"), 1);
    EXPECT_EQ(CountSaid("HIDCreateOpenDeviceInterface failed. #-536870201"), 1);
    HIDReleaseDeviceList();
    EXPECT_EQ(state->closes + state->releases, 0);
}

TEST_F(DeviceInterfaces, FailedQueryIsReportedButIsNoFailureOfTheDevice)
{
    FixtureDevice device = NamedDevice("pad");
    device.queryResult = E_NOINTERFACE;
    pRecDevice pDevice = BuildOne(device);
    ASSERT_NE(pDevice, nullptr);
    EXPECT_EQ(pDevice->interface, nullptr);
    EXPECT_EQ(Messages(),
              std::vector<std::string>{
                  "Couldn’t query HID class device interface from plugInInterface #-2147483644 (0x80000004)"});
}

TEST_F(DeviceInterfaces, InterfaceThatCannotBeOpenedIsKeptAndClosedSilently)
{
    FixtureDevice device = NamedDevice("pad");
    device.interface->openResult = kIOReturnExclusiveAccess;
    std::shared_ptr<FixtureInterface> state = device.interface;
    pRecDevice pDevice = BuildOne(device);
    ASSERT_NE(pDevice, nullptr);
    EXPECT_NE(pDevice->interface, nullptr);
    EXPECT_EQ(CountSaid("Failed to open pDevice->interface via open. #-536870203"), 1);
    EXPECT_EQ(CountSaid("HIDCreateOpenDeviceInterface failed. #-536870203"), 1);
    Messages().clear();
    HIDReleaseDeviceList();
    // Closing answers kIOReturnNotOpen, which is no error; the release follows.
    EXPECT_EQ(state->closes, 1);
    EXPECT_EQ(state->releases, 1);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(DeviceInterfaces, FailingCloseAndReleaseAreReportedAndTheDeviceIsStillDisposed)
{
    FixtureDevice failingClose = NamedDevice("close");
    failingClose.interface->closeResult = kIOReturnError;
    FixtureDevice failingRelease = NamedDevice("release");
    failingRelease.interface->releaseExtra = 2;
    Install({failingClose, failingRelease, NamedDevice("fine")});
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    HIDReleaseDeviceList();
    EXPECT_EQ(Messages(), (std::vector<std::string>{
                              "Failed to close IOHIDDeviceInterface. #-536870212 (0xe00002bc)",
                              "Failed to release IOHIDDeviceInterface. #2 (0x2)",
                              "HIDCloseReleaseInterface failed when trying to dipose device. #2 (0x2)",
                          }));
    EXPECT_EQ(HIDCountDevices(), 0u);
    EXPECT_EQ(HIDGetFirstDevice(), nullptr);
}

TEST_F(DeviceInterfaces, QueueOperationsWithoutQueues)
{
    EXPECT_EQ(HIDDequeueDevice(nullptr), kIOReturnBadArgument);
    EXPECT_EQ(HIDDisposeReleaseQueue(nullptr), kIOReturnSuccess);
    EXPECT_EQ(HIDReleaseAllDeviceQueues(), kIOReturnSuccess); // no list
    EXPECT_EQ(HIDCloseReleaseInterface(nullptr), kIOReturnSuccess);
    recDevice bare{};
    EXPECT_EQ(HIDCloseReleaseInterface(&bare), kIOReturnSuccess);
    EXPECT_TRUE(Messages().empty());
}

// ------------------------------------------------------------ keeping, dropping and counting elements

using DeviceElements = RegistryTest;

TEST_F(DeviceElements, KeepOrDropTableAndCounters)
{
    pRecDevice pDevice = BuildOne(Device({
        Element(kIOHIDElementTypeInput_Axis, 1, 0x30, 1),    // axis
        Element(kIOHIDElementTypeInput_Axis, 1, 0x35, 2),    // axis
        Element(kIOHIDElementTypeInput_Misc, 1, 0x36, 3),    // slider
        Element(kIOHIDElementTypeInput_Misc, 1, 0x37, 4),    // dial
        Element(kIOHIDElementTypeInput_Misc, 1, 0x38, 5),    // wheel
        Element(kIOHIDElementTypeInput_Misc, 1, 0x39, 6),    // hat
        Element(kIOHIDElementTypeInput_Misc, 1, 0x3D, 7),    // dropped silently
        Element(kIOHIDElementTypeInput_Button, 9, 3, 8),     // button
        Element(kIOHIDElementTypeInput_Button, 9, 0, 9),     // dropped: usage 0
        Element(kIOHIDElementTypeInput_Misc, 0xFF00, 1, 10), // vendor page: kept, no usage counter
        Element(0, 9, 1, 11),                                // dropped: type 0
        Element(kIOHIDElementTypeOutput, 8, 1, 12),          // LED output
        Element(kIOHIDElementTypeFeature, 0xFF00, 2, 13),    // feature
        Element(kIOHIDElementTypeInput_ScanCodes, 7, 4, 14),
        Collection(1, 0x04, 15, {}), // Generic Desktop collection: kept
        FixtureNumber(42),           // no dictionary: ignored
    }));
    ASSERT_NE(pDevice, nullptr);
    EXPECT_EQ(pDevice->axis, 2);
    EXPECT_EQ(pDevice->sliders, 1);
    EXPECT_EQ(pDevice->dials, 1);
    EXPECT_EQ(pDevice->wheels, 1);
    EXPECT_EQ(pDevice->hats, 1);
    EXPECT_EQ(pDevice->buttons, 1);
    EXPECT_EQ(pDevice->inputs, 9);
    EXPECT_EQ(pDevice->outputs, 1);
    EXPECT_EQ(pDevice->features, 1);
    EXPECT_EQ(pDevice->collections, 1);
    EXPECT_EQ(pDevice->totalElements, 12);

    std::vector<uint32_t> cookies;
    for (pRecElement e = HIDGetFirstDeviceElement(pDevice, kHIDElementTypeAll); e;
         e = HIDGetNextDeviceElement(e, kHIDElementTypeAll))
        cookies.push_back(e->cookie);
    EXPECT_EQ(cookies, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 8, 10, 12, 13, 14, 15}));

    EXPECT_EQ(CountSaid("CFNumberGetValue error when getting value for refUsage or refUsagePage."), 1);
    EXPECT_EQ(CountSaid("CFNumberGetValue error when getting value for refElementType."), 1);
    // The empty collection ends the top-level chain.
    EXPECT_EQ(CountSaid("CFDictionaryGetValue error when creating CFTypeRef for kIOHIDElementKey."), 0);
    EXPECT_EQ(CountSaid("Malformed device: found collection at end of element chain."), 1);
}

TEST_F(DeviceElements, CountsByTypeMask)
{
    pRecDevice pDevice = BuildOne(Device({
        Collection(1, 5, 1,
                   {Input(1, 0x30, 2), Input(1, 0x31, 3), Element(kIOHIDElementTypeOutput, 8, 1, 4),
                    Element(kIOHIDElementTypeFeature, 0xFF00, 1, 5), Element(kIOHIDElementTypeFeature, 0xFF00, 2, 6)}),
    }));
    ASSERT_NE(pDevice, nullptr);
    EXPECT_EQ(HIDCountDeviceElements(pDevice, kHIDElementTypeInput), 2u);
    EXPECT_EQ(HIDCountDeviceElements(pDevice, kHIDElementTypeOutput), 1u);
    EXPECT_EQ(HIDCountDeviceElements(pDevice, kHIDElementTypeFeature), 2u);
    EXPECT_EQ(HIDCountDeviceElements(pDevice, kHIDElementTypeCollection), 1u);
    EXPECT_EQ(HIDCountDeviceElements(pDevice, kHIDElementTypeIO), 5u);
    EXPECT_EQ(HIDCountDeviceElements(pDevice, kHIDElementTypeAll), static_cast<UInt32>(pDevice->totalElements));
    EXPECT_EQ(HIDCountDeviceElements(nullptr, kHIDElementTypeAll), 0u);
}

TEST_F(DeviceElements, UnknownTypeIsKeptAndReportedButMatchesNoMask)
{
    pRecDevice pDevice = BuildOne(Device({Element(7, 0xFF00, 3, 1), Input(1, 0x30, 2)}));
    ASSERT_NE(pDevice, nullptr);
    EXPECT_EQ(pDevice->totalElements, 2);
    EXPECT_EQ(HIDCountDeviceElements(pDevice, kHIDElementTypeAll), 1u);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Unknown element type :  #7 (0x7)"});
    EXPECT_EQ(IteratedNames(pDevice, kHIDElementTypeAll), std::vector<std::string>{"X-Axis"});
    EXPECT_FALSE(HIDMatchElementTypeMask(7, kHIDElementTypeAll));
    EXPECT_FALSE(HIDMatchElementTypeMask(0, kHIDElementTypeAll));
}

TEST_F(DeviceElements, MaskSelectsTypes)
{
    const std::vector<std::pair<IOHIDElementType, HIDElementTypeMask>> selected{
        {1, kHIDElementTypeInput},       {2, kHIDElementTypeInput},    {3, kHIDElementTypeInput},
        {4, kHIDElementTypeInput},       {129, kHIDElementTypeOutput}, {257, kHIDElementTypeFeature},
        {513, kHIDElementTypeCollection}};
    for (const auto& [type, mask] : selected) {
        EXPECT_TRUE(HIDMatchElementTypeMask(type, mask)) << type;
        EXPECT_TRUE(HIDMatchElementTypeMask(type, kHIDElementTypeAll)) << type;
        EXPECT_FALSE(HIDMatchElementTypeMask(type, static_cast<HIDElementTypeMask>(kHIDElementTypeAll & ~mask)))
            << type;
    }
    EXPECT_EQ(HIDMatchElementTypeMask(513, kHIDElementTypeIO), 0);
}

// ------------------------------------------------------------ linking and iteration

using ElementTree = RegistryTest;

TEST_F(ElementTree, TwoTopLevelCollections)
{
    pRecDevice pDevice = BuildOne(Device({
        Named(Collection(1, 5, 1, {Named(Input(1, 0x30, 2), "a"), Named(Input(1, 0x31, 3), "b")}), "C1"),
        Named(Collection(1, 5, 4, {Named(Input(9, 1, 5), "c")}), "C2"),
    }));
    ASSERT_NE(pDevice, nullptr);
    pRecElement c1 = pDevice->pListElements;
    ASSERT_NE(c1, nullptr);
    pRecElement a = c1->pChild;
    pRecElement b = a->pSibling;
    pRecElement c2 = c1->pSibling;
    pRecElement c = c2->pChild;
    EXPECT_EQ(c1->pPrevious, nullptr);
    EXPECT_EQ(a->pPrevious, c1);
    EXPECT_EQ(b->pPrevious, a);
    EXPECT_EQ(c2->pPrevious, c1);
    EXPECT_EQ(c->pPrevious, c2);
    EXPECT_EQ(b->pSibling, nullptr);
    EXPECT_EQ(c2->pSibling, nullptr);
    EXPECT_EQ(IteratedNames(pDevice, kHIDElementTypeAll), (std::vector<std::string>{"C1", "a", "b", "C2", "c"}));
    EXPECT_EQ(IteratedNames(pDevice, kHIDElementTypeInput), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(IteratedNames(pDevice, kHIDElementTypeCollection), (std::vector<std::string>{"C1", "C2"}));
    EXPECT_TRUE(IteratedNames(pDevice, kHIDElementTypeOutput).empty());
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ElementTree, NestedCollection)
{
    pRecDevice pDevice = BuildOne(Device({
        Named(Collection(1, 5, 1,
                         {Named(Input(1, 0x30, 2), "a"), Named(Collection(1, 0, 3, {Named(Input(9, 1, 4), "n")}), "N"),
                          Named(Input(1, 0x31, 5), "b")}),
              "C1"),
    }));
    ASSERT_NE(pDevice, nullptr);
    pRecElement c1 = pDevice->pListElements;
    pRecElement a = c1->pChild;
    ASSERT_NE(a, nullptr);
    pRecElement n = a->pSibling;
    ASSERT_NE(n, nullptr);
    EXPECT_STREQ(n->name, "N");
    pRecElement nChild = n->pChild;
    ASSERT_NE(nChild, nullptr);
    pRecElement b = n->pSibling;
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(nChild->name, "n");
    EXPECT_STREQ(b->name, "b");
    EXPECT_EQ(a->pPrevious, c1);
    EXPECT_EQ(n->pPrevious, a);
    EXPECT_EQ(nChild->pPrevious, n);
    EXPECT_EQ(b->pPrevious, n);
    EXPECT_EQ(nChild->pSibling, nullptr);
    EXPECT_EQ(IteratedNames(pDevice, kHIDElementTypeAll), (std::vector<std::string>{"C1", "a", "N", "n", "b"}));
    EXPECT_EQ(IteratedNames(pDevice, kHIDElementTypeInput), (std::vector<std::string>{"a", "n", "b"}));
    EXPECT_EQ(pDevice->collections, 2);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ElementTree, DroppedFirstChildDoesNotBreakTheLink)
{
    pRecDevice pDevice = BuildOne(Device({
        Named(Input(1, 0x3D, 1), "dropped top"),
        Named(Collection(1, 5, 2,
                         {Named(Input(1, 0x3D, 3), "x"), Named(Input(9, 0, 4), "y"), Named(Input(1, 0x30, 5), "a"),
                          Named(Input(1, 0x31, 6), "b")}),
              "C1"),
        Named(Input(9, 1, 7), "after"),
    }));
    ASSERT_NE(pDevice, nullptr);
    pRecElement c1 = pDevice->pListElements;
    ASSERT_NE(c1, nullptr);
    EXPECT_STREQ(c1->name, "C1");
    ASSERT_NE(c1->pChild, nullptr);
    EXPECT_STREQ(c1->pChild->name, "a");
    EXPECT_EQ(c1->pChild->pPrevious, c1);
    ASSERT_NE(c1->pSibling, nullptr);
    EXPECT_STREQ(c1->pSibling->name, "after");
    EXPECT_EQ(IteratedNames(pDevice, kHIDElementTypeAll), (std::vector<std::string>{"C1", "a", "b", "after"}));
}

TEST_F(ElementTree, CollectionWhoseChildrenAreAllDroppedIsEmptyAndTheNextElementIsItsSibling)
{
    pRecDevice pDevice = BuildOne(Device({
        Named(Collection(1, 5, 1, {Named(Input(1, 0x3D, 2), "x")}), "E"),
        Named(Input(1, 0x30, 3), "after"),
    }));
    ASSERT_NE(pDevice, nullptr);
    pRecElement e = pDevice->pListElements;
    EXPECT_EQ(e->pChild, nullptr);
    ASSERT_NE(e->pSibling, nullptr);
    EXPECT_EQ(e->pSibling->pPrevious, e);
    EXPECT_EQ(IteratedNames(pDevice, kHIDElementTypeAll), (std::vector<std::string>{"E", "after"}));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ElementTree, CollectionWithoutElementsIsReportedAndMalformedAtTheEndOfAChain)
{
    CFMutableDictionaryRef bare = Named(Element(kIOHIDElementTypeCollection, 1, 5, 2), "bare");
    pRecDevice pDevice = BuildOne(Device(
        {Named(Collection(1, 5, 1, {Named(Input(1, 0x30, 3), "a"), bare}), "C1"), Named(Input(9, 1, 4), "after")}));
    ASSERT_NE(pDevice, nullptr);
    EXPECT_EQ(CountSaid("CFDictionaryGetValue error when creating CFTypeRef for kIOHIDElementKey."), 1);
    Messages().clear();
    EXPECT_EQ(IteratedNames(pDevice, kHIDElementTypeAll), (std::vector<std::string>{"C1", "a", "bare", "after"}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Malformed device: found collection at end of element chain."});
}

TEST_F(ElementTree, ChildOfANonCollectionIsMalformed)
{
    pRecDevice pDevice = BuildOne(Device({Named(Input(1, 0x30, 1), "a"), Named(Input(1, 0x31, 2), "b")}));
    ASSERT_NE(pDevice, nullptr);
    pRecElement a = pDevice->pListElements;
    recElement stray{};
    a->pChild = &stray;
    EXPECT_EQ(HIDGetNextDeviceElement(a, kHIDElementTypeAll), nullptr);
    a->pChild = nullptr;
    EXPECT_EQ(Messages(), std::vector<std::string>{"Malformed element list: found child of element."});
}

TEST_F(ElementTree, IterationEdges)
{
    EXPECT_EQ(HIDGetFirstDeviceElement(nullptr, kHIDElementTypeAll), nullptr);
    EXPECT_EQ(HIDGetNextDeviceElement(nullptr, kHIDElementTypeAll), nullptr);
    EXPECT_EQ(HIDGetDeviceElement(nullptr, kHIDElementTypeAll), nullptr);
    pRecDevice pDevice = BuildOne(NamedDevice("empty"));
    ASSERT_NE(pDevice, nullptr);
    EXPECT_EQ(HIDGetFirstDeviceElement(pDevice, kHIDElementTypeAll), nullptr);
    // A single element with nothing after it.
    pRecDevice pOne = BuildOne(Device({Named(Input(1, 0x30, 1), "only")}));
    ASSERT_NE(pOne, nullptr);
    EXPECT_EQ(IteratedNames(pOne, kHIDElementTypeAll), std::vector<std::string>{"only"});
    EXPECT_TRUE(IteratedNames(pOne, kHIDElementTypeCollection).empty());
}

TEST_F(ElementTree, SecondDeviceStartsItsOwnTree)
{
    Install({Device({Named(Collection(1, 5, 1, {}), "first C")}), Device({Named(Input(9, 1, 1), "second a")})});
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    std::vector<pRecDevice> devices = ListedDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]->pListElements->pChild, nullptr);
    ASSERT_NE(devices[1]->pListElements, nullptr);
    EXPECT_STREQ(devices[1]->pListElements->name, "second a");
    EXPECT_EQ(devices[1]->pListElements->pPrevious, nullptr);
}

// ------------------------------------------------------------ element properties and names

using ElementProperties = RegistryTest;

TEST_F(ElementProperties, EveryKeyIsReadAndCalibrationStartsInverted)
{
    CFMutableDictionaryRef axis = Ranged(Element(kIOHIDElementTypeInput_Axis, 1, 0x30, 17), -127, 127);
    FixtureSet(axis, "ScaledMin", FixtureNumber(-1000));
    FixtureSet(axis, "ScaledMax", FixtureNumber(1000));
    FixtureSet(axis, "Size", FixtureNumber(8));
    FixtureSet(axis, "IsRelative", FixtureBoolean(true));
    FixtureSet(axis, "IsWrapping", FixtureBoolean(false));
    FixtureSet(axis, "IsNonLinear", FixtureBoolean(true));
    FixtureSet(axis, "HasPreferredState", FixtureBoolean(true));
    FixtureSet(axis, "HasNullState", FixtureBoolean(true));
    FixtureSet(axis, "Unit", FixtureNumber(0x14));
    FixtureSet(axis, "UnitExponent", FixtureNumber(-2));
    Named(axis, "Stick X");
    pRecDevice pDevice = BuildOne(Device({axis}));
    ASSERT_NE(pDevice, nullptr);
    pRecElement e = pDevice->pListElements;
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->type, kIOHIDElementTypeInput_Axis);
    EXPECT_EQ(e->usagePage, 1);
    EXPECT_EQ(e->usage, 0x30);
    EXPECT_EQ(e->cookie, 17u);
    EXPECT_EQ(e->min, -127);
    EXPECT_EQ(e->max, 127);
    EXPECT_EQ(e->scaledMin, -1000);
    EXPECT_EQ(e->scaledMax, 1000);
    EXPECT_EQ(e->size, 8);
    EXPECT_EQ(e->relative, 1);
    EXPECT_EQ(e->wrapping, 0);
    EXPECT_EQ(e->nonLinear, 1);
    EXPECT_EQ(e->preferredState, 1);
    EXPECT_EQ(e->nullState, 1);
    EXPECT_EQ(e->units, 0x14);
    EXPECT_EQ(e->unitExp, -2);
    EXPECT_STREQ(e->name, "Stick X");
    EXPECT_EQ(e->minReport, 127);
    EXPECT_EQ(e->maxReport, -127);
    EXPECT_EQ(e->userMin, kDefaultUserMin);
    EXPECT_EQ(e->userMax, kDefaultUserMax);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ElementProperties, MissingOrUnconvertibleValuesLeaveZero)
{
    CFMutableDictionaryRef odd = Input(1, 0x31, 3);
    FixtureSet(odd, "Min", FixtureReal(0.5));
    FixtureSet(odd, "Max", FixtureString("255"));
    FixtureSet(odd, "Size", FixtureNumber(int64_t{1} << 33));
    FixtureSet(odd, "IsRelative", FixtureNumber(1));
    FixtureSet(odd, "Name", FixtureNumber(5));
    pRecDevice pDevice = BuildOne(Device({odd}));
    ASSERT_NE(pDevice, nullptr);
    pRecElement e = pDevice->pListElements;
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->min, 0);
    EXPECT_EQ(e->max, 0);
    EXPECT_EQ(e->size, 0);
    EXPECT_EQ(e->relative, 0);
    EXPECT_EQ(e->scaledMax, 0);
    EXPECT_EQ(e->minReport, 0);
    EXPECT_EQ(e->maxReport, 0);
    EXPECT_EQ(e->userMax, 255);
    EXPECT_STREQ(e->name, "Y-Axis");
    EXPECT_EQ(Messages(), std::vector<std::string>{"CFStringGetCString error retrieving pElement->name."});
}

TEST_F(ElementProperties, NamingChain)
{
    // The known game pad names its elements by cookie; an element with its
    // own name keeps it, one whose cookie the pad does not name gets its
    // usage name.
    FixtureDevice pad = Device(
        {Named(Input(9, 1, 12), "Own name"), Input(9, 2, 12), Input(1, 0x30, 2), Input(1, 0x31, 27), Input(9, 4, 3)});
    FixtureSet(pad.usbProperties, "idVendor", FixtureNumber(0x2222));
    FixtureSet(pad.usbProperties, "idProduct", FixtureNumber(0x4010));
    FixtureDevice other = Device({Input(9, 2, 12), Input(0xFF00, 7, 3), Input(6, 0x20, 4)});
    FixtureSet(other.properties, "VendorID", FixtureNumber(0x2222));
    FixtureSet(other.properties, "ProductID", FixtureNumber(0x4011));
    Install({pad, other});
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    std::vector<pRecDevice> devices = ListedDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(IteratedNames(devices[0], kHIDElementTypeAll),
              (std::vector<std::string>{"Own name", "B Button [Select]", "X-Axis", "Y-Axis", "D-Pad Up"}));
    EXPECT_EQ(IteratedNames(devices[1], kHIDElementTypeAll),
              (std::vector<std::string>{"Button #2", "Vendor Defined Usage 0x7", "Page: 0x6, Usage: 0x20"}));
}

TEST_F(ElementProperties, PointersStayValidUntilTheListIsReleased)
{
    pRecDevice pDevice = BuildOne(Device({Named(Collection(1, 5, 1, {Named(Input(1, 0x30, 2), "a")}), "C")}));
    ASSERT_NE(pDevice, nullptr);
    pRecElement first = HIDGetFirstDeviceElement(pDevice, kHIDElementTypeInput);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(HIDGetFirstDevice(), pDevice);
        EXPECT_EQ(HIDGetFirstDeviceElement(pDevice, kHIDElementTypeInput), first);
    }
    EXPECT_STREQ(first->name, "a");
}

} // namespace
