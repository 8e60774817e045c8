#include "Host_CF.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

enum : CFTypeID {
    kTypeNone = 0,
    kTypeArray = 1,
    kTypeDictionary,
    kTypeNumber,
    kTypeString,
    kTypeBoolean,
    kTypeUUID,
};

} // namespace

long gCFLiveObjects = 0;

struct HostCFObject {
    CFTypeID type = kTypeNone;
    long refCount = 1;
    bool constant = false;
    // number
    bool isReal = false;
    int64_t integer = 0;
    double real = 0.0;
    // string
    std::string text;
    // boolean
    bool boolean = false;
    // array
    std::vector<const HostCFObject*> items;
    // dictionary
    std::vector<std::pair<const HostCFObject*, const HostCFObject*>> entries;
    // UUID
    CFUUIDBytes uuid{};
};

namespace {

HostCFObject* NewObject(CFTypeID type)
{
    auto* object = new HostCFObject;
    object->type = type;
    ++gCFLiveObjects;
    return object;
}

const HostCFObject* AsObject(CFTypeRef cf)
{
    return static_cast<const HostCFObject*>(cf);
}

const HostCFObject* Typed(CFTypeRef cf, CFTypeID type)
{
    const HostCFObject* object = AsObject(cf);
    return object && object->type == type ? object : nullptr;
}

HostCFObject* MakeConstant(CFTypeID type)
{
    auto* object = new HostCFObject;
    object->type = type;
    object->constant = true;
    return object;
}

HostCFObject* MakeBoolean(bool value)
{
    HostCFObject* object = MakeConstant(kTypeBoolean);
    object->boolean = value;
    return object;
}

bool KeysEqual(const HostCFObject* a, const HostCFObject* b)
{
    if (a == b)
        return true;
    if (!a || !b || a->type != b->type)
        return false;
    if (a->type == kTypeString)
        return a->text == b->text;
    if (a->type == kTypeNumber)
        return a->isReal == b->isReal && a->integer == b->integer && a->real == b->real;
    return false;
}

// The value of type T that valuePtr points at, whatever its alignment.
template <typename T>
T ValueAt(const void* valuePtr)
{
    T value;
    std::memcpy(&value, valuePtr, sizeof value);
    return value;
}

} // namespace

const CFBooleanRef kCFBooleanTrue = MakeBoolean(true);
const CFBooleanRef kCFBooleanFalse = MakeBoolean(false);

CFTypeRef CFRetain(CFTypeRef cf)
{
    auto* object = const_cast<HostCFObject*>(AsObject(cf));
    if (object && !object->constant)
        ++object->refCount;
    return cf;
}

void CFRelease(CFTypeRef cf)
{
    auto* object = const_cast<HostCFObject*>(AsObject(cf));
    if (!object || object->constant)
        return;
    if (--object->refCount > 0)
        return;
    for (const HostCFObject* item : object->items)
        CFRelease(item);
    for (const auto& [key, value] : object->entries) {
        CFRelease(key);
        CFRelease(value);
    }
    --gCFLiveObjects;
    delete object;
}

CFIndex CFGetRetainCount(CFTypeRef cf)
{
    const HostCFObject* object = AsObject(cf);
    return object ? object->refCount : 0;
}

CFTypeID CFGetTypeID(CFTypeRef cf)
{
    const HostCFObject* object = AsObject(cf);
    return object ? object->type : kTypeNone;
}

CFTypeID CFArrayGetTypeID()
{
    return kTypeArray;
}
CFTypeID CFDictionaryGetTypeID()
{
    return kTypeDictionary;
}
CFTypeID CFNumberGetTypeID()
{
    return kTypeNumber;
}
CFTypeID CFStringGetTypeID()
{
    return kTypeString;
}
CFTypeID CFBooleanGetTypeID()
{
    return kTypeBoolean;
}
CFTypeID CFUUIDGetTypeID()
{
    return kTypeUUID;
}

// --- numbers

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType theType, const void* valuePtr)
{
    if (!valuePtr)
        return nullptr;
    HostCFObject* number = nullptr;
    switch (theType) {
    case kCFNumberSInt32Type:
    case kCFNumberIntType:
        number = NewObject(kTypeNumber);
        number->integer = ValueAt<int32_t>(valuePtr);
        break;
    case kCFNumberSInt64Type:
    case kCFNumberLongType:
        number = NewObject(kTypeNumber);
        number->integer = ValueAt<int64_t>(valuePtr);
        break;
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType:
        number = NewObject(kTypeNumber);
        number->isReal = true;
        number->real = ValueAt<double>(valuePtr);
        break;
    }
    return number;
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr)
{
    const HostCFObject* object = Typed(number, kTypeNumber);
    if (!object || !valuePtr)
        return false;
    switch (theType) {
    case kCFNumberSInt32Type:
    case kCFNumberIntType:
    case kCFNumberSInt64Type:
    case kCFNumberLongType: {
        int64_t value = object->integer;
        if (object->isReal) {
            const double real = object->real;
            if (!std::isfinite(real) || std::trunc(real) != real || real < -9.2e18 || real > 9.2e18)
                return false;
            value = static_cast<int64_t>(real);
        }
        if (theType == kCFNumberSInt32Type || theType == kCFNumberIntType) {
            if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
                return false;
            const int32_t narrow = static_cast<int32_t>(value);
            std::memcpy(valuePtr, &narrow, sizeof narrow);
        } else {
            std::memcpy(valuePtr, &value, sizeof value);
        }
        return true;
    }
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType: {
        const double value = object->isReal ? object->real : static_cast<double>(object->integer);
        std::memcpy(valuePtr, &value, sizeof value);
        return true;
    }
    }
    return false;
}

// --- strings

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding)
{
    if (!cStr)
        return nullptr;
    HostCFObject* string = NewObject(kTypeString);
    string->text = cStr;
    return string;
}

Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize, CFStringEncoding)
{
    if (!buffer || bufferSize <= 0)
        return false;
    const HostCFObject* object = Typed(theString, kTypeString);
    if (!object || static_cast<CFIndex>(object->text.size()) + 1 > bufferSize) {
        buffer[0] = '\0';
        return false;
    }
    std::memcpy(buffer, object->text.c_str(), object->text.size() + 1);
    return true;
}

CFStringEncoding CFStringGetSystemEncoding()
{
    return kCFStringEncodingUTF8;
}

CFStringRef HostCFConstantString(const char* cStr)
{
    static auto* table = new std::unordered_map<std::string, HostCFObject*>;
    const std::string text = cStr ? cStr : "";
    auto found = table->find(text);
    if (found != table->end())
        return found->second;
    HostCFObject* string = MakeConstant(kTypeString);
    string->text = text;
    table->emplace(text, string);
    return string;
}

// --- booleans

Boolean CFBooleanGetValue(CFBooleanRef boolean)
{
    const HostCFObject* object = Typed(boolean, kTypeBoolean);
    return object && object->boolean;
}

// --- arrays

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex capacity)
{
    HostCFObject* array = NewObject(kTypeArray);
    if (capacity > 0)
        array->items.reserve(static_cast<size_t>(capacity));
    return array;
}

void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value)
{
    if (!theArray || theArray->type != kTypeArray || !value)
        return;
    CFRetain(value);
    theArray->items.push_back(AsObject(value));
}

CFIndex CFArrayGetCount(CFArrayRef theArray)
{
    const HostCFObject* object = Typed(theArray, kTypeArray);
    return object ? static_cast<CFIndex>(object->items.size()) : 0;
}

const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx)
{
    const HostCFObject* object = Typed(theArray, kTypeArray);
    if (!object || idx < 0 || idx >= static_cast<CFIndex>(object->items.size()))
        return nullptr;
    return object->items[static_cast<size_t>(idx)];
}

void CFArrayApplyFunction(CFArrayRef theArray, CFRange range, CFArrayApplierFunction applier, void* context)
{
    const HostCFObject* object = Typed(theArray, kTypeArray);
    if (!object || !applier || range.location < 0)
        return;
    for (CFIndex i = range.location; i < range.location + range.length; ++i) {
        // The applier may not change the array; the count is read each time
        // all the same, so that nothing is read past its end.
        if (i >= static_cast<CFIndex>(object->items.size()))
            break;
        applier(object->items[static_cast<size_t>(i)], context);
    }
}

// --- dictionaries

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex capacity)
{
    HostCFObject* dictionary = NewObject(kTypeDictionary);
    if (capacity > 0)
        dictionary->entries.reserve(static_cast<size_t>(capacity));
    return dictionary;
}

const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key)
{
    const HostCFObject* object = Typed(theDict, kTypeDictionary);
    if (!object || !key)
        return nullptr;
    for (const auto& [entryKey, value] : object->entries)
        if (KeysEqual(entryKey, AsObject(key)))
            return value;
    return nullptr;
}

void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value)
{
    if (!theDict || theDict->type != kTypeDictionary || !key || !value)
        return;
    CFRetain(value);
    for (auto& entry : theDict->entries) {
        if (KeysEqual(entry.first, AsObject(key))) {
            CFRelease(entry.second);
            entry.second = AsObject(value);
            return;
        }
    }
    CFRetain(key);
    theDict->entries.emplace_back(AsObject(key), AsObject(value));
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void* key)
{
    if (!theDict || theDict->type != kTypeDictionary || !key)
        return;
    for (auto entry = theDict->entries.begin(); entry != theDict->entries.end(); ++entry) {
        if (KeysEqual(entry->first, AsObject(key))) {
            const HostCFObject* oldKey = entry->first;
            const HostCFObject* oldValue = entry->second;
            theDict->entries.erase(entry);
            CFRelease(oldKey);
            CFRelease(oldValue);
            return;
        }
    }
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict)
{
    const HostCFObject* object = Typed(theDict, kTypeDictionary);
    return object ? static_cast<CFIndex>(object->entries.size()) : 0;
}

void CFDictionaryApplyFunction(CFDictionaryRef theDict, CFDictionaryApplierFunction applier, void* context)
{
    const HostCFObject* object = Typed(theDict, kTypeDictionary);
    if (!object || !applier)
        return;
    for (size_t i = 0; i < object->entries.size(); ++i)
        applier(object->entries[i].first, object->entries[i].second, context);
}

// --- UUIDs

CFUUIDRef CFUUIDGetConstantUUIDWithBytes(CFAllocatorRef, uint8_t byte0, uint8_t byte1, uint8_t byte2, uint8_t byte3,
                                         uint8_t byte4, uint8_t byte5, uint8_t byte6, uint8_t byte7, uint8_t byte8,
                                         uint8_t byte9, uint8_t byte10, uint8_t byte11, uint8_t byte12, uint8_t byte13,
                                         uint8_t byte14, uint8_t byte15)
{
    static auto* table = new std::vector<HostCFObject*>;
    const CFUUIDBytes bytes{{byte0, byte1, byte2, byte3, byte4, byte5, byte6, byte7, byte8, byte9, byte10, byte11,
                             byte12, byte13, byte14, byte15}};
    for (HostCFObject* uuid : *table)
        if (std::memcmp(uuid->uuid.bytes, bytes.bytes, sizeof bytes.bytes) == 0)
            return uuid;
    HostCFObject* uuid = MakeConstant(kTypeUUID);
    uuid->uuid = bytes;
    table->push_back(uuid);
    return uuid;
}

CFUUIDBytes CFUUIDGetUUIDBytes(CFUUIDRef uuid)
{
    const HostCFObject* object = Typed(uuid, kTypeUUID);
    return object ? object->uuid : CFUUIDBytes{};
}

Boolean HostCFUUIDBytesEqual(const CFUUIDBytes& a, CFUUIDRef b)
{
    const HostCFObject* object = Typed(b, kTypeUUID);
    return object && std::memcmp(a.bytes, object->uuid.bytes, sizeof a.bytes) == 0;
}
