// Inside the host layer: how a registry (Linux or fixture) describes its
// entries to the registry calls of Host_IOKit.cpp.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "Host_IOKit.h"

// One registry entry: a HID device or one of its parents.
struct HostRegistryEntry {
    // The entry's properties (one reference owned by the entry); each read
    // hands out another reference. Null: reading them yields no dictionary.
    CFMutableDictionaryRef properties = nullptr;
    kern_return_t propertiesResult = KERN_SUCCESS;
    // The parent in the service plane; when null, the lookup fails with
    // parentResult.
    std::shared_ptr<HostRegistryEntry> parent;
    kern_return_t parentResult = kIOReturnNoDevice;
    // Creating the plug-in for the device interface: its result, and the
    // function its QueryInterface calls to make the device interface (a new
    // reference stored through iface, S_OK; or an error with null stored).
    kern_return_t plugInResult = kIOReturnUnsupported;
    std::function<HRESULT(IOHIDDeviceInterface*** iface)> makeInterface;

    HostRegistryEntry() = default;
    HostRegistryEntry(const HostRegistryEntry&) = delete;
    HostRegistryEntry& operator=(const HostRegistryEntry&) = delete;
    ~HostRegistryEntry()
    {
        if (properties)
            CFRelease(properties);
    }
};

using HostRegistryEntries = std::vector<std::shared_ptr<HostRegistryEntry>>;

// A registry: the answers to the calls that do not concern one entry.
struct HostRegistryBackend {
    std::function<kern_return_t()> masterPort;
    std::function<bool()> matchingFails; // IOServiceMatching yields null
    // Lists the HID device entries in registry order. A non-zero result, or
    // noIterator set, means no iterator is made.
    std::function<kern_return_t(HostRegistryEntries& devices, bool& noIterator)> enumerate;
};

// The Linux registry: the one behind the calls unless a test has installed
// another (gRegistryBackend, Host_Seam_State.h).
const HostRegistryBackend& HostLinuxRegistryBackend();

// Device interfaces count themselves (gRegistryLiveInterfaces).
void HostRegistryInterfaceCreated();
void HostRegistryInterfaceDestroyed();

// The objects handed out as the address of their function-table pointer
// (plug-ins, device interfaces): the table first, then the reference count,
// then what the object holds. The table's entries get the address back as
// self.
template <typename Table, typename Held>
struct HostCountedObject {
    Table* table;
    ULONG references;
    Held held;
};

template <typename Object>
Object* HostObjectOf(void* self)
{
    return static_cast<Object*>(self);
}

// Makes a device interface with one reference that holds held, counts it
// alive and hands it out through iface.
template <typename Held>
HRESULT HostMakeInterface(IOHIDDeviceInterface* table, Held held, IOHIDDeviceInterface*** iface)
{
    auto* object = new HostCountedObject<IOHIDDeviceInterface, Held>{table, 1, std::move(held)};
    HostRegistryInterfaceCreated();
    *iface = &object->table;
    return S_OK;
}

// The table entries they share. QueryInterface of an object that offers no
// other interface:
HRESULT HostNoOtherInterface(void* self, REFIID iid, LPVOID* ppv);

template <typename Object>
ULONG HostAddReference(void* self)
{
    return ++static_cast<Object*>(self)->references;
}

// Drops one reference: the last deletes the object and calls gone.
template <typename Object>
ULONG HostDropReference(void* self, void (*gone)())
{
    auto* object = static_cast<Object*>(self);
    if (--object->references > 0)
        return object->references;
    delete object;
    gone();
    return 0;
}
