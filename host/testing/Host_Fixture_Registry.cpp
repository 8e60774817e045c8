#include "Host_Fixture_Registry.h"

#include "Host_Registry.h"
#include "Host_Seam_State.h"

namespace {

FixtureRegistry* gRegistry = nullptr;
HostRegistryBackend gBackend;

// One interface object: it holds the state of its device's interface.
using FixtureInterfaceObject = HostCountedObject<IOHIDDeviceInterface, std::shared_ptr<FixtureInterface>>;

FixtureInterface& StateOf(void* self)
{
    return *HostObjectOf<FixtureInterfaceObject>(self)->held;
}

ULONG InterfaceRelease(void* self)
{
    FixtureInterface& state = StateOf(self);
    state.releases++;
    const ULONG extra = state.releaseExtra;
    return HostDropReference<FixtureInterfaceObject>(self, HostRegistryInterfaceDestroyed) + extra;
}

IOReturn InterfaceOpen(void* self, uint32_t)
{
    FixtureInterface& state = StateOf(self);
    state.opens++;
    if (state.openResult != kIOReturnSuccess)
        return state.openResult;
    state.isOpen = true;
    return kIOReturnSuccess;
}

IOReturn InterfaceClose(void* self)
{
    FixtureInterface& state = StateOf(self);
    state.closes++;
    if (!state.isOpen)
        return kIOReturnNotOpen;
    state.isOpen = false;
    return state.closeResult;
}

IOReturn InterfaceGetElementValue(void* self, IOHIDElementCookie cookie, IOHIDEventStruct* event)
{
    FixtureInterface& state = StateOf(self);
    state.reads++;
    if (!event)
        return kIOReturnBadArgument;
    if (!state.isOpen)
        return kIOReturnNotOpen;
    if (state.valueResult != kIOReturnSuccess)
        return state.valueResult;
    if (state.beforeRead)
        state.beforeRead(state, cookie);
    auto found = state.values.find(cookie);
    event->elementCookie = cookie;
    event->value = found == state.values.end() ? 0 : found->second;
    return kIOReturnSuccess;
}

IOHIDDeviceInterface gInterfaceTable = {
    nullptr,        HostNoOtherInterface,    HostAddReference<FixtureInterfaceObject>, InterfaceRelease, InterfaceOpen,
    InterfaceClose, InterfaceGetElementValue};

std::shared_ptr<HostRegistryEntry> PlainEntry(CFMutableDictionaryRef properties, kern_return_t result)
{
    auto entry = std::make_shared<HostRegistryEntry>();
    if (properties)
        entry->properties = const_cast<CFMutableDictionaryRef>(static_cast<const HostCFObject*>(CFRetain(properties)));
    entry->propertiesResult = result;
    return entry;
}

std::shared_ptr<HostRegistryEntry> DeviceEntry(const FixtureDevice& device)
{
    auto usb = PlainEntry(device.usbProperties, device.usbPropertiesResult);
    auto parent1 = PlainEntry(nullptr, KERN_SUCCESS);
    if (device.parent2Result == KERN_SUCCESS)
        parent1->parent = usb;
    else
        parent1->parentResult = device.parent2Result;

    auto entry = PlainEntry(device.properties, device.propertiesResult);
    if (device.parent1Result == KERN_SUCCESS)
        entry->parent = parent1;
    else
        entry->parentResult = device.parent1Result;
    entry->plugInResult = device.plugInResult;
    std::shared_ptr<FixtureInterface> state = device.interface;
    const HRESULT queryResult = device.queryResult;
    entry->makeInterface = [state, queryResult](IOHIDDeviceInterface*** iface) -> HRESULT {
        *iface = nullptr;
        if (queryResult != S_OK)
            return queryResult;
        return HostMakeInterface(&gInterfaceTable, state, iface);
    };
    return entry;
}

void ReleaseDictionaries(FixtureRegistry& registry)
{
    for (FixtureDevice& device : registry.devices) {
        if (device.properties)
            CFRelease(device.properties);
        if (device.usbProperties)
            CFRelease(device.usbProperties);
        device.properties = device.usbProperties = nullptr;
    }
}

} // namespace

void FixtureRegistryInstall(FixtureRegistry registry)
{
    FixtureRegistryRemove();
    gRegistry = new FixtureRegistry(std::move(registry));
    gBackend.masterPort = [] { return gRegistry->masterPortResult; };
    gBackend.matchingFails = [] { return gRegistry->matchingFails; };
    gBackend.enumerate = [](HostRegistryEntries& devices, bool& noIterator) {
        noIterator = gRegistry->noIterator;
        for (const FixtureDevice& device : gRegistry->devices)
            devices.push_back(DeviceEntry(device));
        return gRegistry->matchingResult;
    };
    gRegistryBackend = &gBackend;
}

void FixtureRegistryRemove()
{
    if (!gRegistry)
        return;
    gRegistryBackend = nullptr;
    ReleaseDictionaries(*gRegistry);
    delete gRegistry;
    gRegistry = nullptr;
}

FixtureRegistry& FixtureRegistryCurrent()
{
    static FixtureRegistry empty;
    return gRegistry ? *gRegistry : empty;
}

CFNumberRef FixtureNumber(int64_t value)
{
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &value);
}
CFNumberRef FixtureReal(double value)
{
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &value);
}

CFStringRef FixtureString(const char* text)
{
    return CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
}

CFBooleanRef FixtureBoolean(bool value)
{
    return value ? kCFBooleanTrue : kCFBooleanFalse;
}

CFMutableArrayRef FixtureArray(std::initializer_list<CFTypeRef> items)
{
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0);
    for (CFTypeRef item : items) {
        CFArrayAppendValue(array, item);
        CFRelease(item);
    }
    return array;
}

CFMutableDictionaryRef FixtureDictionary(std::initializer_list<std::pair<const char*, CFTypeRef>> entries)
{
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(kCFAllocatorDefault, 0);
    for (const auto& [key, value] : entries)
        FixtureSet(dictionary, key, value);
    return dictionary;
}

void FixtureSet(CFMutableDictionaryRef dictionary, const char* key, CFTypeRef value)
{
    CFDictionarySetValue(dictionary, CFSTR(key), value);
    CFRelease(value);
}
