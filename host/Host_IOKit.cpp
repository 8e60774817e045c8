#include "Host_IOKit.h"

#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "Host_Registry.h"
#include "Host_Seam_State.h"

mach_port_t bootstrap_port = 0x103;

const HostRegistryBackend* gRegistryBackend = nullptr;
long gRegistryLiveHandles = 0;
long gRegistryLivePlugIns = 0;
long gRegistryLiveInterfaces = 0;

namespace {

constexpr mach_port_t kMasterPort = 0x0B07;

// A handle stands for an entry or an iterator over entries.
struct HostObject {
    std::shared_ptr<HostRegistryEntry> entry;
    bool isIterator = false;
    HostRegistryEntries items;
    size_t next = 0;
};

std::map<io_object_t, HostObject>& Objects()
{
    static auto* objects = new std::map<io_object_t, HostObject>;
    return *objects;
}

io_object_t gNextHandle = 0x1000;

const HostRegistryBackend& Backend()
{
    return gRegistryBackend ? *gRegistryBackend : HostLinuxRegistryBackend();
}

io_object_t NewHandle(HostObject object)
{
    io_object_t handle = gNextHandle++;
    if (gNextHandle == 0)
        gNextHandle = 0x1000;
    Objects()[handle] = std::move(object);
    gRegistryLiveHandles = long(Objects().size());
    return handle;
}

HostObject* Find(io_object_t handle)
{
    auto found = Objects().find(handle);
    return found == Objects().end() ? nullptr : &found->second;
}

std::shared_ptr<HostRegistryEntry> FindEntry(io_object_t handle)
{
    HostObject* object = Find(handle);
    return object && !object->isIterator ? object->entry : nullptr;
}

// True when every key of the matching dictionary other than the class is in
// the entry's properties with an equal number.
bool Matches(CFDictionaryRef matching, CFDictionaryRef properties)
{
    for (const char* key : {"PrimaryUsagePage", "PrimaryUsage"}) {
        CFTypeRef wanted = CFDictionaryGetValue(matching, CFSTR(key));
        if (!wanted)
            continue;
        int64_t wantedValue = 0, value = 0;
        if (!CFNumberGetValue(static_cast<CFNumberRef>(wanted), kCFNumberSInt64Type, &wantedValue))
            return false;
        CFTypeRef have = properties ? CFDictionaryGetValue(properties, CFSTR(key)) : nullptr;
        if (!have || !CFNumberGetValue(static_cast<CFNumberRef>(have), kCFNumberSInt64Type, &value) ||
            value != wantedValue)
            return false;
    }
    return true;
}

// The plug-in object: its address is the IOCFPlugInInterface** handed out;
// it holds the entry whose device interface it makes.
using HostPlugIn = HostCountedObject<IOCFPlugInInterface, std::shared_ptr<HostRegistryEntry>>;

HRESULT PlugInQueryInterface(void* self, REFIID iid, LPVOID* ppv)
{
    if (!ppv)
        return E_NOINTERFACE;
    *ppv = nullptr;
    const HostRegistryEntry& entry = *HostObjectOf<HostPlugIn>(self)->held;
    if (!HostCFUUIDBytesEqual(iid, kIOHIDDeviceInterfaceID) || !entry.makeInterface)
        return E_NOINTERFACE;
    return entry.makeInterface(reinterpret_cast<IOHIDDeviceInterface***>(ppv));
}

void PlugInGone()
{
    --gRegistryLivePlugIns;
}

ULONG PlugInRelease(void* self)
{
    return HostDropReference<HostPlugIn>(self, PlugInGone);
}

IOCFPlugInInterface gPlugInTable = {nullptr, PlugInQueryInterface, HostAddReference<HostPlugIn>, PlugInRelease};

} // namespace

void HostRegistryInterfaceCreated()
{
    ++gRegistryLiveInterfaces;
}

HRESULT HostNoOtherInterface(void*, REFIID, LPVOID* ppv)
{
    if (ppv)
        *ppv = nullptr;
    return E_NOINTERFACE;
}
void HostRegistryInterfaceDestroyed()
{
    --gRegistryLiveInterfaces;
}

kern_return_t IOMasterPort(mach_port_t, mach_port_t* masterPort)
{
    if (!masterPort)
        return kIOReturnBadArgument;
    const kern_return_t result = Backend().masterPort ? Backend().masterPort() : KERN_SUCCESS;
    *masterPort = result == KERN_SUCCESS ? kMasterPort : MACH_PORT_NULL;
    return result;
}

CFMutableDictionaryRef IOServiceMatching(const char* name)
{
    if (!name || (Backend().matchingFails && Backend().matchingFails()))
        return nullptr;
    CFMutableDictionaryRef matching = CFDictionaryCreateMutable(kCFAllocatorDefault, 0);
    CFStringRef className = CFStringCreateWithCString(kCFAllocatorDefault, name, kCFStringEncodingUTF8);
    CFDictionarySetValue(matching, CFSTR("IOProviderClass"), className);
    CFRelease(className);
    return matching;
}

kern_return_t IOServiceGetMatchingServices(mach_port_t masterPort, CFDictionaryRef matching, io_iterator_t* existing)
{
    if (existing)
        *existing = 0;
    if (!matching)
        return kIOReturnBadArgument;
    kern_return_t result = KERN_SUCCESS;
    char className[64] = "";
    CFStringGetCString(static_cast<CFStringRef>(CFDictionaryGetValue(matching, CFSTR("IOProviderClass"))), className,
                       sizeof className, kCFStringEncodingUTF8);
    if (!existing || masterPort != kMasterPort) {
        result = kIOReturnBadArgument;
    } else if (std::strcmp(className, kIOHIDDeviceKey) != 0) {
        *existing = NewHandle(HostObject{nullptr, true, {}, 0}); // no other class has entries here
    } else {
        HostRegistryEntries devices;
        bool noIterator = false;
        result = Backend().enumerate ? Backend().enumerate(devices, noIterator) : KERN_SUCCESS;
        if (result == KERN_SUCCESS && !noIterator) {
            HostObject iterator{nullptr, true, {}, 0};
            for (auto& device : devices)
                if (device && Matches(matching, device->properties))
                    iterator.items.push_back(device);
            *existing = NewHandle(std::move(iterator));
        }
    }
    CFRelease(matching);
    return result;
}

io_object_t IOIteratorNext(io_iterator_t iterator)
{
    HostObject* object = Find(iterator);
    if (!object || !object->isIterator || object->next >= object->items.size())
        return 0;
    std::shared_ptr<HostRegistryEntry> entry = object->items[object->next++];
    return NewHandle(HostObject{std::move(entry), false, {}, 0});
}

kern_return_t IOObjectRelease(io_object_t object)
{
    auto found = Objects().find(object);
    if (found == Objects().end())
        return kIOReturnBadArgument;
    Objects().erase(found);
    gRegistryLiveHandles = long(Objects().size());
    return KERN_SUCCESS;
}

kern_return_t IORegistryEntryCreateCFProperties(io_registry_entry_t entry, CFMutableDictionaryRef* properties,
                                                CFAllocatorRef, IOOptionBits)
{
    if (!properties)
        return kIOReturnBadArgument;
    *properties = nullptr;
    std::shared_ptr<HostRegistryEntry> found = FindEntry(entry);
    if (!found)
        return kIOReturnBadArgument;
    if (found->propertiesResult != KERN_SUCCESS)
        return found->propertiesResult;
    if (found->properties)
        *properties = const_cast<CFMutableDictionaryRef>(static_cast<const HostCFObject*>(CFRetain(found->properties)));
    return KERN_SUCCESS;
}

kern_return_t IORegistryEntryGetParentEntry(io_registry_entry_t entry, const char* plane, io_registry_entry_t* parent)
{
    if (!parent)
        return kIOReturnBadArgument;
    *parent = 0;
    std::shared_ptr<HostRegistryEntry> found = FindEntry(entry);
    if (!found || !plane || std::strcmp(plane, kIOServicePlane) != 0)
        return kIOReturnBadArgument;
    if (!found->parent)
        return found->parentResult != KERN_SUCCESS ? found->parentResult : kIOReturnNoDevice;
    *parent = NewHandle(HostObject{found->parent, false, {}, 0});
    return KERN_SUCCESS;
}

kern_return_t IOCreatePlugInInterfaceForService(io_service_t service, CFUUIDRef pluginType, CFUUIDRef interfaceType,
                                                IOCFPlugInInterface*** theInterface, SInt32* theScore)
{
    if (!theInterface)
        return kIOReturnBadArgument;
    *theInterface = nullptr;
    if (theScore)
        *theScore = 0;
    std::shared_ptr<HostRegistryEntry> found = FindEntry(service);
    if (!found)
        return kIOReturnBadArgument;
    if (!HostCFUUIDBytesEqual(CFUUIDGetUUIDBytes(pluginType), kIOHIDDeviceUserClientTypeID) ||
        !HostCFUUIDBytesEqual(CFUUIDGetUUIDBytes(interfaceType), kIOCFPlugInInterfaceID))
        return kIOReturnUnsupported;
    if (found->plugInResult != KERN_SUCCESS)
        return found->plugInResult;
    auto* plugIn = new HostPlugIn{&gPlugInTable, 1, found};
    ++gRegistryLivePlugIns;
    *theInterface = &plugIn->table;
    if (theScore)
        *theScore = 1;
    return KERN_SUCCESS;
}

kern_return_t IODestroyPlugInInterface(IOCFPlugInInterface** interface)
{
    if (!interface)
        return kIOReturnBadArgument;
    (*interface)->Release(interface);
    return KERN_SUCCESS;
}
