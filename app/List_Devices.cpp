#include "List_Devices.h"

#include "HID_Config_Utilities.h"
#include "HID_Devices_External.h"
#include "HID_Name_Lookup.h"

namespace {

const char* TypeName(IOHIDElementType type)
{
    // clang-format off
    switch (type) {
    case kIOHIDElementTypeInput_Misc: return "input";
    case kIOHIDElementTypeInput_Button: return "button";
    case kIOHIDElementTypeInput_Axis: return "axis";
    case kIOHIDElementTypeInput_ScanCodes: return "scan codes";
    case kIOHIDElementTypeOutput: return "output";
    case kIOHIDElementTypeFeature: return "feature";
    case kIOHIDElementTypeCollection: return "collection";
    default: return "unknown";
    }
    // clang-format on
}

// The kind of device where the usage tables' names give only numbers.
const char* KindName(int32_t page, int32_t usage)
{
    if (page == 0x20)
        return "Motion Sensor";
    if (page == 0x0C && usage == 0x01)
        return "Consumer Control";
    if (page == 0x0D && usage == 0x02)
        return "Pen";
    if (page == 0x0D && usage == 0x04)
        return "Touch Screen";
    if (page == 0x0D && usage == 0x05)
        return "Touch Pad";
    return nullptr;
}

// The element and what follows it at its level, children indented below it.
void PrintElements(FILE* out, pRecElement element, int depth)
{
    for (; element; element = element->pSibling) {
        char usageName[256] = "";
        HIDGetUsageName(element->usagePage, element->usage, usageName);
        std::fprintf(out, "%*s%s  [page 0x%02x usage 0x%02x: %s]  %s, cookie %u, range %d..%d%s\n", 4 + 2 * depth, "",
                     element->name, unsigned(element->usagePage), unsigned(element->usage),
                     usageName[0] ? usageName : "-", TypeName(element->type), unsigned(element->cookie),
                     int(element->min), int(element->max), element->relative ? ", relative" : "");
        PrintElements(out, element->pChild, depth + 1);
    }
}

} // namespace

int ListDevices(FILE* out)
{
    if (!HIDBuildDeviceList(0, 0)) {
        std::fprintf(out, "No input devices: the device list could not be built.\n");
        return 1;
    }
    std::fprintf(out, "%u input device%s\n", unsigned(HIDCountDevices()), HIDCountDevices() == 1 ? "" : "s");
    int index = 0;
    for (pRecDevice device = HIDGetFirstDevice(); device; device = HIDGetNextDevice(device)) {
        char usageName[256] = "";
        if (const char* kind = KindName(device->usagePage, device->usage))
            std::snprintf(usageName, sizeof usageName, "%s", kind);
        else
            HIDGetUsageName(device->usagePage, device->usage, usageName);
        std::fprintf(out, "\nDevice %d: %s\n", index++, device->product[0] ? device->product : "(no name)");
        std::fprintf(out, "  manufacturer: %s, serial: %s\n", device->manufacturer[0] ? device->manufacturer : "-",
                     device->serial[0] ? device->serial : "-");
        std::fprintf(out, "  vendor 0x%04x, product 0x%04x, location 0x%08x, transport %s\n",
                     unsigned(device->vendorID), unsigned(device->productID), unsigned(device->locID),
                     device->transport[0] ? device->transport : "-");
        std::fprintf(out, "  usage page 0x%02x usage 0x%02x: %s%s\n", unsigned(device->usagePage),
                     unsigned(device->usage), usageName[0] ? usageName : "-",
                     device->interface ? "" : "  (cannot be read: no permission)");
        if (device->usagePage == kHIDPage_Sensor)
            std::fprintf(out, "  moves with the hand: never bound by moving a control\n");
        std::fprintf(out,
                     "  %d elements: %d inputs, %d outputs, %d features, %d collections; %d axes, %d buttons, "
                     "%d hats, %d sliders, %d dials, %d wheels\n",
                     int(device->totalElements), int(device->inputs), int(device->outputs), int(device->features),
                     int(device->collections), int(device->axis), int(device->buttons), int(device->hats),
                     int(device->sliders), int(device->dials), int(device->wheels));
        PrintElements(out, device->pListElements, 0);
    }
    HIDReleaseDeviceList();
    return 0;
}
