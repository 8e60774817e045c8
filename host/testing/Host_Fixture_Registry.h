// A registry described in code, for tests and benchmarks: devices with their
// property dictionaries, parents and device interfaces, including broken ones
// (properties that cannot be read, missing parents, interfaces that cannot be
// created, queried or opened). While installed it replaces the Linux registry
// behind the calls of Host_IOKit.h.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "Host_CF.h"
#include "Host_IOKit.h"

// The state of one device's interface: scripted results and values, and the
// calls made so far. Shared by every interface object made for the device.
struct FixtureInterface {
    IOReturn openResult = kIOReturnSuccess;
    IOReturn closeResult = kIOReturnSuccess; // when open; closing an unopened interface gives kIOReturnNotOpen
    ULONG releaseExtra = 0;                  // added to what Release returns, to fake a failing release
    IOReturn valueResult = kIOReturnSuccess;
    std::map<IOHIDElementCookie, int32_t> values; // cookies not listed read 0
    // Called before each successful read: values that change over time.
    std::function<void(FixtureInterface& state, IOHIDElementCookie cookie)> beforeRead;
    bool isOpen = false;
    int opens = 0;
    int closes = 0;
    int releases = 0;
    int reads = 0;
};

struct FixtureDevice {
    CFMutableDictionaryRef properties = nullptr; // null: reading them yields no dictionary
    kern_return_t propertiesResult = KERN_SUCCESS;
    CFMutableDictionaryRef usbProperties = nullptr; // properties of the second parent
    kern_return_t usbPropertiesResult = KERN_SUCCESS;
    kern_return_t parent1Result = KERN_SUCCESS; // non-zero: the entry has no parent
    kern_return_t parent2Result = KERN_SUCCESS; // non-zero: the first parent has no parent
    kern_return_t plugInResult = KERN_SUCCESS;
    HRESULT queryResult = S_OK;
    std::shared_ptr<FixtureInterface> interface = std::make_shared<FixtureInterface>();
};

struct FixtureRegistry {
    kern_return_t masterPortResult = KERN_SUCCESS;
    bool matchingFails = false;
    kern_return_t matchingResult = KERN_SUCCESS; // result of IOServiceGetMatchingServices
    bool noIterator = false;                     // succeed without an iterator
    std::vector<FixtureDevice> devices;
};

// Installs the registry (taking over the dictionaries it holds) until
// FixtureRegistryRemove, which releases them and restores the Linux registry.
void FixtureRegistryInstall(FixtureRegistry registry);
void FixtureRegistryRemove();
// The installed registry; tests change values and results through it.
FixtureRegistry& FixtureRegistryCurrent();

// Builders for property lists. Each returns a new object with one reference;
// the containers take over the references of what is put into them.
CFNumberRef FixtureNumber(int64_t value);
CFNumberRef FixtureReal(double value);
CFStringRef FixtureString(const char* text);
CFBooleanRef FixtureBoolean(bool value);
CFMutableArrayRef FixtureArray(std::initializer_list<CFTypeRef> items);
CFMutableDictionaryRef FixtureDictionary(std::initializer_list<std::pair<const char*, CFTypeRef>> entries);
// Adds or replaces one value, taking over its reference.
void FixtureSet(CFMutableDictionaryRef dictionary, const char* key, CFTypeRef value);
