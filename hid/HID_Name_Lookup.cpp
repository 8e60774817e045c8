#include "HID_Name_Lookup.h"

#include <cstdio>
#include <cstring>

namespace {

struct UsageName {
    int32_t usage;
    const char* name;
};

struct UsageRange {
    int32_t first;
    int32_t last;
};

// Generic Desktop page (0x01).
// clang-format off
constexpr UsageName kGenericDesktopNames[] = {
    {0x01, "Pointer"},
    {0x02, "Mouse"},
    {0x04, "Joystick"},
    {0x05, "GamePad"},
    {0x06, "Keyboard"},
    {0x07, "Keypad"},
    {0x08, "Multi-Axis Controller"},
    {0x30, "X-Axis"},
    {0x31, "Y-Axis"},
    {0x32, "Z-Axis"},
    {0x33, "X-Rotation"},
    {0x34, "Y-Rotation"},
    {0x35, "Z-Rotation"},
    {0x36, "Slider"},
    {0x37, "Dial"},
    {0x38, "Wheel"},
    {0x39, "Hatswitch"},
    {0x3A, "Counted Buffer"},
    {0x3B, "Byte Count"},
    {0x3C, "Motion Wakeup"},
    {0x3D, "Start"},
    {0x3E, "Select"},
    {0x40, "X-Velocity"},
    {0x41, "Y-Velocity"},
    {0x42, "Z-Velocity"},
    {0x43, "X-Rotation Velocity"},
    {0x44, "Y-Rotation Velocity"},
    {0x45, "Z-Rotation Velocity"},
    {0x46, "Vno"},
    {0x80, "System Control"},
    {0x81, "System Power Down"},
    {0x82, "System Sleep"},
    {0x83, "System Wake Up"},
    {0x84, "System Context Menu"},
    {0x85, "System Main Menu"},
    {0x86, "System App Menu"},
    {0x87, "System Menu Help"},
    {0x88, "System Menu Exit"},
    {0x89, "System Menu"},
    {0x8A, "System Menu Right"},
    {0x8B, "System Menu Left"},
    {0x8C, "System Menu Up"},
    {0x8D, "System Menu Down"},
    {0x90, "DPad Up"},
    {0x91, "DPad Down"},
    {0x92, "DPad Right"},
    {0x93, "DPad Left"},
    {0xFFFF, "Reserved"},
};

// LED page (0x08).
constexpr UsageName kLEDNames[] = {
    {0x48, "Red LED"},
    {0x49, "Green LED"},
    {0x4A, "Amber LED"},
    {0x4B, "Generic LED"},
    {0x4C, "System Suspend LED"},
    {0x4D, "External Power LED"},
};

// Physical Interface Device page (0x0F).
constexpr UsageName kPIDNames[] = {
    {0x00, "PID Undefined Usage"},
    {0x01, "Physical Interface Device"},
    {0x20, "Normal Force"},
    {0x21, "Set Effect Report"},
    {0x22, "Effect Block Index"},
    {0x23, "Parameter Block Offset"},
    {0x24, "ROM Flag"},
    {0x25, "Effect Type"},
    {0x26, "Effect Type Constant Force"},
    {0x27, "Effect Type Ramp"},
    {0x28, "Effect Type Custom Force Data"},
    {0x30, "Effect Type Square"},
    {0x31, "Effect Type Sine"},
    {0x32, "Effect Type Triangle"},
    {0x33, "Effect Type Sawtooth Up"},
    {0x34, "Effect Type Sawtooth Down"},
    {0x40, "Effect Type Spring"},
    {0x41, "Effect Type Damper"},
    {0x42, "Effect Type Inertia"},
    {0x43, "Effect Type Friction"},
    {0x50, "Effect Duration"},
    {0x51, "Effect Sample Period"},
    {0x52, "Effect Gain"},
    {0x53, "Effect Trigger Button"},
    {0x54, "Effect Trigger Repeat Interval"},
    {0x55, "Axis Enable"},
    {0x56, "Direction Enable"},
    {0x57, "Direction"},
    {0x58, "Type Specific Block Offset"},
    {0x59, "Block Type"},
    {0x5A, "Set Envelope Report"},
    {0x5B, "Envelope Attack Level"},
    {0x5C, "Envelope Attack Time"},
    {0x5D, "Envelope Fade Level"},
    {0x5E, "Envelope Fade Time"},
    {0x5F, "Set Condition Report"},
    {0x60, "Condition CP Offset"},
    {0x61, "Condition Positive Coefficient"},
    {0x62, "Condition Negative Coefficient"},
    {0x63, "Condition Positive Saturation"},
    {0x64, "Condition Negative Saturation"},
    {0x65, "Condition Dead Band"},
    {0x66, "Download Force Sample"},
    {0x67, "Isoch Custom Force Enable"},
    {0x68, "Custom Force Data Report"},
    {0x69, "Custom Force Data"},
    {0x6A, "Custom Force Vendor Defined Data"},
    {0x6B, "Set Custom Force Report"},
    {0x6C, "Custom Force Data Offset"},
    {0x6D, "Custom Force Sample Count"},
    {0x6E, "Set Periodic Report"},
    {0x6F, "Periodic Offset"},
    {0x70, "Periodic Magnitude"},
    {0x71, "Periodic Phase"},
    {0x72, "Periodic Period"},
    {0x73, "Set Constant Force Report"},
    {0x74, "Set Ramp Force Report"},
    {0x75, "Ramp Start"},
    {0x76, "Ramp End"},
    {0x77, "Effect Operation Report"},
    {0x78, "Effect Operation"},
    {0x79, "Op Effect Start"},
    {0x7A, "Op Effect Start Solo"},
    {0x7B, "Op Effect Stop"},
    {0x7C, "Op Effect Loop Count"},
    {0x7D, "Device Gain Report"},
    {0x7E, "Device Gain"},
    {0x7F, "PID Pool Report"},
    {0x80, "RAM Pool Size"},
    {0x81, "ROM Pool Size"},
    {0x82, "ROM Effect Block Count"},
    {0x83, "Simultaneous Effects Max"},
    {0x84, "Pool Alignment"},
    {0x85, "PID Pool Move Report"},
    {0x86, "Move Source"},
    {0x87, "Move Destination"},
    {0x88, "Move Length"},
    {0x89, "PID Block Load Report"},
    {0x8B, "Block Load Status"},
    {0x8C, "Block Load Success"},
    {0x8D, "Block Load Full"},
    {0x8E, "Block Load Error"},
    {0x8F, "Block Handle"},
    {0x90, "PID Block Free Report"},
    {0x91, "Type Specific Block Handle"},
    {0x92, "PID State Report"},
    {0x94, "Effect Playing"},
    {0x95, "PID Device Control Report"},
    {0x96, "PID Device Control"},
    {0x97, "Device Control Enable Actuators"},
    {0x98, "Device Control Disable Actuators"},
    {0x99, "Device Control Stop All Effects"},
    {0x9A, "Device Control Reset"},
    {0x9B, "Device Control Pause"},
    {0x9C, "Device Control Continue"},
    {0x9F, "Device Paused"},
    {0xA0, "Actuators Enabled"},
    {0xA4, "Safety Switch"},
    {0xA5, "Actuator Override Switch"},
    {0xA6, "Actuator Power"},
    {0xA7, "Start Delay"},
    {0xA8, "Parameter Block Size"},
    {0xA9, "Device Managed Pool"},
    {0xAA, "Shared Parameter Blocks"},
    {0xAB, "Create New Effect Report"},
    {0xAC, "RAM Pool Available"},
};
constexpr UsageRange kPIDReserved[] = {
    {0x02, 0x1F},
    {0x29, 0x2F},
    {0x35, 0x3F},
    {0x44, 0x4F},
    {0x8A, 0x8A},
    {0x93, 0x93},
    {0x9D, 0x9E},
    {0xA1, 0xA3},
    {0xAD, 0xFFFF},
};

// Power Device page (0x84).
constexpr UsageName kPowerDeviceNames[] = {
    {0x00, "Power Device Undefined Usage"},
    {0x01, "Power Device Name Index"},
    {0x02, "Power Device Present Status"},
    {0x03, "Power Device Changed Status"},
    {0x04, "Uninterruptible Power Supply"},
    {0x05, "Power Supply"},
    {0x10, "Battery System Power Module"},
    {0x11, "Battery System ID"},
    {0x12, "Battery"},
    {0x13, "Battery ID"},
    {0x14, "Charger"},
    {0x15, "Charger ID"},
    {0x16, "Power Converter Power Module"},
    {0x17, "Power Converter ID"},
    {0x18, "Outlet System power module"},
    {0x19, "Outlet System ID"},
    {0x1A, "Power Device Input"},
    {0x1B, "Power Device Input ID"},
    {0x1C, "Power Device Output"},
    {0x1D, "Power Device Output ID"},
    {0x1E, "Power Device Flow"},
    {0x1F, "Power Device Flow ID"},
    {0x20, "Power Device Outlet"},
    {0x21, "Power Device Outlet ID"},
    {0x22, "Power Device Gang"},
    {0x23, "Power Device Gang ID"},
    {0x24, "Power Device Power Summary"},
    {0x25, "Power Device Power Summary ID"},
    {0x30, "Power Device Voltage"},
    {0x31, "Power Device Current"},
    {0x32, "Power Device Frequency"},
    {0x33, "Power Device Apparent Power"},
    {0x34, "Power Device RMS Power"},
    {0x35, "Power Device Percent Load"},
    {0x36, "Power Device Temperature"},
    {0x37, "Power Device Humidity"},
    {0x38, "Power Device Bad Condition Count"},
    {0x40, "Power Device Nominal Voltage"},
    {0x41, "Power Device Nominal Current"},
    {0x42, "Power Device Nominal Frequency"},
    {0x43, "Power Device Nominal Apparent Power"},
    {0x44, "Power Device Nominal RMS Power"},
    {0x45, "Power Device Nominal Percent Load"},
    {0x46, "Power Device Nominal Temperature"},
    {0x47, "Power Device Nominal Humidity"},
    {0x50, "Power Device Switch On Control"},
    {0x51, "Power Device Switch Off Control"},
    {0x52, "Power Device Toogle Sequence Control"},
    {0x53, "Power Device Min Transfer Voltage"},
    {0x54, "Power Device Max Transfer Voltage"},
    {0x55, "Power Device Delay Before Reboot"},
    {0x56, "Power Device Delay Before Startup"},
    {0x57, "Power Device Delay Before Shutdown"},
    {0x60, "Power Device Present"},
    {0x61, "Power Device Good"},
    {0x62, "Power Device Internal Failure"},
    {0x63, "Power Device Voltage Out Of Range"},
    {0x64, "Power Device Frequency Out Of Range"},
    {0x65, "Power Device Overload"},
    {0x66, "Power Device Over Charged"},
    {0x67, "Power Device Over Temperature"},
    {0x68, "Power Device Shutdown Requested"},
    {0x69, "Power Device Shutdown Imminent"},
    {0x6B, "Power Device On/Off Switch Status"},
    {0x6C, "Power Device Switchable"},
    {0x6D, "Power Device Used"},
    {0x6E, "Power Device Boosted"},
    {0x6F, "Power Device Bucked"},
    {0x70, "Power Device Initialized"},
    {0x71, "Power Device Tested"},
    {0x72, "Power Device Awaiting Power"},
    {0x73, "Power Device Communication Lost"},
    {0xFD, "Power Device Manufacturer String Index"},
    {0xFE, "Power Device Product String Index"},
    {0xFF, "Power Device Serial Number String Index"},
};
constexpr UsageRange kPowerDeviceReserved[] = {
    {0x06, 0x0F},
    {0x26, 0x2F},
    {0x39, 0x3F},
    {0x48, 0x4F},
    {0x58, 0x5F},
    {0x6A, 0x6A},
    {0x74, 0xFC},
};

// Battery System page (0x85).
constexpr UsageName kBatterySystemNames[] = {
    {0x00, "Battery System Undefined"},
    {0x01, "SMB Mode"},
    {0x02, "SMB Status"},
    {0x03, "SMB Alarm Warning"},
    {0x04, "SMB Charger Mode"},
    {0x05, "SMB Charger Status"},
    {0x06, "SMB Charger Extended Status"},
    {0x07, "SMB Selector State"},
    {0x08, "SMB Selector Presets"},
    {0x09, "SMB Selector Info"},
    {0x10, "Battery System Optional SMB Mfg Function 1"},
    {0x11, "Battery System Optional SMB Mfg Function 2"},
    {0x12, "Battery System Optional SMB Mfg Function 3"},
    {0x13, "Battery System Optional SMB Mfg Function 4"},
    {0x14, "Battery System Optional SMB Mfg Function 5"},
    {0x15, "Battery System Connection To System Management Bus"},
    {0x16, "Battery System Output Connection Status"},
    {0x17, "Battery System Charger Connection"},
    {0x18, "Battery System Battery Insertion"},
    {0x19, "Battery System Use Next"},
    {0x1A, "Battery System OK To Use"},
    {0x1B, "Battery System Battery Supported"},
    {0x1C, "Battery System Selector Revision"},
    {0x1D, "Battery System Charging Indicator"},
    {0x28, "Battery System Manufacturer Access"},
    {0x29, "Battery System Remaining Capacity Limit"},
    {0x2A, "Battery System Remaining Time Limit"},
    {0x2B, "Battery System At Rate..."},
    {0x2C, "Battery System Capacity Mode"},
    {0x2D, "Battery System Broadcast To Charger"},
    {0x2E, "Battery System Primary Battery"},
    {0x2F, "Battery System Charge Controller"},
    {0x40, "Battery System Terminate Charge"},
    {0x41, "Battery System Terminate Discharge"},
    {0x42, "Battery System Below Remaining Capacity Limit"},
    {0x43, "Battery System Remaining Time Limit Expired"},
    {0x44, "Battery System Charging"},
    {0x45, "Battery System Discharging"},
    {0x46, "Battery System Fully Charged"},
    {0x47, "Battery System Fully Discharged"},
    {0x48, "Battery System Conditioning Flag"},
    {0x49, "Battery System At Rate OK"},
    {0x4A, "Battery System SMB Error Code"},
    {0x4B, "Battery System Need Replacement"},
    {0x60, "Battery System At Rate Time To Full"},
    {0x61, "Battery System At Rate Time To Empty"},
    {0x62, "Battery System Average Current"},
    {0x63, "Battery System Max Error"},
    {0x64, "Battery System Relative State Of Charge"},
    {0x65, "Battery System Absolute State Of Charge"},
    {0x66, "Battery System Remaining Capacity"},
    {0x67, "Battery System Full Charge Capacity"},
    {0x68, "Battery System Run Time To Empty"},
    {0x69, "Battery System Average Time To Empty"},
    {0x6A, "Battery System Average Time To Full"},
    {0x6B, "Battery System Cycle Count"},
    {0x80, "Battery System Batt Pack Model Level"},
    {0x81, "Battery System Internal Charge Controller"},
    {0x82, "Battery System Primary Battery Support"},
    {0x83, "Battery System Design Capacity"},
    {0x84, "Battery System Specification Info"},
    {0x85, "Battery System Manufacturer Date"},
    {0x86, "Battery System Serial Number"},
    {0x87, "Battery System Manufacturer Name Index"},
    {0x88, "Battery System Device Name Index"},
    {0x89, "Battery System Device Chemistry Index"},
    {0x8A, "Battery System Manufacturer Data"},
    {0x8B, "Battery System Rechargable"},
    {0x8C, "Battery System Warning Capacity Limit"},
    {0x8D, "Battery System Capacity Granularity 1"},
    {0x8E, "Battery System Capacity Granularity 2"},
    {0x8F, "Battery System OEM Information Index"},
    {0xC0, "Battery System Inhibit Charge"},
    {0xC1, "Battery System Enable Polling"},
    {0xC2, "Battery System Reset To Zero"},
    {0xD0, "Battery System AC Present"},
    {0xD1, "Battery System Battery Present"},
    {0xD2, "Battery System Power Fail"},
    {0xD3, "Battery System Alarm Inhibited"},
    {0xD4, "Battery System Thermistor Under Range"},
    {0xD5, "Battery System Thermistor Hot"},
    {0xD6, "Battery System Thermistor Cold"},
    {0xD7, "Battery System Thermistor Over Range"},
    {0xD8, "Battery System Voltage Out Of Range"},
    {0xD9, "Battery System Current Out Of Range"},
    {0xDA, "Battery System Current Not Regulated"},
    {0xDB, "Battery System Voltage Not Regulated"},
    {0xDC, "Battery System Master Mode"},
    {0xF0, "Battery System Charger Support Selector"},
    {0xF1, "attery System Charger Specification"},
};
constexpr UsageRange kBatterySystemReserved[] = {
    {0x0A, 0x0F},
    {0x1E, 0x27},
    {0x30, 0x3F},
    {0x4C, 0x5F},
    {0x6C, 0x7F},
    {0x90, 0xBF},
    {0xC3, 0xCF},
    {0xDD, 0xEF},
    {0xF2, 0xFF},
};
// clang-format on
// How a usage page names its usages. A page with a name list names the usages
// of its list; within the list's covered range, reserved usages get the
// reserved name; every other usage gets the page's format with the usage.
struct UsagePage {
    int32_t page;
    const char* format;     // takes the usage: "%lx" in hexadecimal, "%ld" in decimal
    bool decimal;           // the format prints the usage in signed decimal
    const UsageName* names; // null: the page has no name list
    size_t nameCount;
    int64_t coveredLast; // names and reserved ranges apply to usages 0 to this
    const char* reservedName;
    const UsageRange* reserved;
    size_t reservedCount;
};

template <size_t N>
constexpr size_t Count(const UsageName (&)[N])
{
    return N;
}
template <size_t N>
constexpr size_t Count(const UsageRange (&)[N])
{
    return N;
}

constexpr int64_t kAnyUsage = INT64_MAX;

constexpr UsagePage kUsagePages[] = {
    {0x00, "Undefined Page, Usage 0x%lx", false, nullptr, 0, 0, nullptr, nullptr, 0},
    {0x01, "Generic Desktop Usage 0x%lx", false, kGenericDesktopNames, Count(kGenericDesktopNames), kAnyUsage, nullptr,
     nullptr, 0},
    {0x02, "Simulation Usage 0x%lx", false, nullptr, 0, 0, nullptr, nullptr, 0},
    {0x03, "VR Usage 0x%lx", false, nullptr, 0, 0, nullptr, nullptr, 0},
    {0x04, "Sport Usage 0x%lx", false, nullptr, 0, 0, nullptr, nullptr, 0},
    {0x05, "Game Usage 0x%lx", false, nullptr, 0, 0, nullptr, nullptr, 0},
    {0x07, "Keyboard Usage 0x%lx", false, nullptr, 0, 0, nullptr, nullptr, 0},
    {0x08, "LED Usage 0x%lx", false, kLEDNames, Count(kLEDNames), kAnyUsage, nullptr, nullptr, 0},
    {0x09, "Button #%ld", true, nullptr, 0, 0, nullptr, nullptr, 0},
    {0x0A, "Ordinal Instance %lx", false, nullptr, 0, 0, nullptr, nullptr, 0},
    {0x0B, "Telephony Usage 0x%lx", false, nullptr, 0, 0, nullptr, nullptr, 0},
    {0x0C, "Consumer Usage 0x%lx", false, nullptr, 0, 0, nullptr, nullptr, 0},
    {0x0D, "Digitizer Usage 0x%lx", false, nullptr, 0, 0, nullptr, nullptr, 0},
    {0x0F, "PID Usage 0x%lx", false, kPIDNames, Count(kPIDNames), 0xFFFF, "PID Reserved", kPIDReserved,
     Count(kPIDReserved)},
    {0x10, "Unicode Usage 0x%lx", false, nullptr, 0, 0, nullptr, nullptr, 0},
    {0x14, "Alphanumeric Display Usage 0x%lx", false, nullptr, 0, 0, nullptr, nullptr, 0},
    {0x84, "Power Device Usage 0x%lx", false, kPowerDeviceNames, Count(kPowerDeviceNames), 0xFF,
     "Power Device Reserved", kPowerDeviceReserved, Count(kPowerDeviceReserved)},
    {0x85, "Battery System Usage 0x%lx", false, kBatterySystemNames, Count(kBatterySystemNames), 0xFF,
     "Power Device Reserved", kBatterySystemReserved, Count(kBatterySystemReserved)},
    {0x8C, "Bar Code Scanner Usage 0x%lx", false, nullptr, 0, 0, nullptr, nullptr, 0},
    {0x8D, "Scale Usage 0x%lx", false, nullptr, 0, 0, nullptr, nullptr, 0},
    {0x90, "Camera Control Usage 0x%lx", false, nullptr, 0, 0, nullptr, nullptr, 0},
    {0x91, "Arcade Usage 0x%lx", false, nullptr, 0, 0, nullptr, nullptr, 0},
};

unsigned long Hex(int32_t value)
{
    return static_cast<unsigned long>(static_cast<uint32_t>(value));
}

void FormatPageUsage(char* cstrName, int32_t page, int32_t usage)
{
    std::snprintf(cstrName, 256, "Page: 0x%lx, Usage: 0x%lx", Hex(page), Hex(usage));
}

// The page's own name for a usage, or null when it has none.
const char* ListedName(const UsagePage& page, int32_t usage)
{
    if (!page.names || usage < 0 || usage > page.coveredLast)
        return nullptr;
    for (size_t i = 0; i < page.nameCount; ++i)
        if (page.names[i].usage == usage)
            return page.names[i].name;
    for (size_t i = 0; i < page.reservedCount; ++i)
        if (usage >= page.reserved[i].first && usage <= page.reserved[i].last)
            return page.reservedName;
    return nullptr;
}

struct ProductElementName {
    int32_t cookie;
    const char* name;
};

// The elements of one particular game pad (vendor 0x2222, product 0x4010).
// clang-format off
constexpr ProductElementName kGamePad2222_4010[] = {
    {3, "D-Pad Up"},        {4, "D-Pad Down"},           {5, "D-Pad Left"},        {6, "D-Pad Right"},
    {7, "Up Button"},       {8, "Right Button"},         {9, "Down Button"},       {10, "Left Button"},
    {11, "C Button"},       {12, "B Button [Select]"},   {13, "A Button [Start]"}, {14, "F Button"},
    {15, "R1 Trigger"},     {16, "R2 Trigger"},          {17, "L1 Trigger"},       {18, "L2 Trigger"},
    {19, "Left Stick Button"}, {20, "Right Stick Button"}, {21, "D Button"},       {22, "E Button"},
    {23, "Left Stick X-Axis"}, {24, "Left Stick Y-Axis"}, {25, "Right Stick X-Axis"}, {26, "Right Stick Y-Axis"},
};
// clang-format on

} // namespace

void HIDGetUsageName(int32_t valueUsagePage, int32_t valueUsage, char* cstrName)
{
    if (valueUsagePage >= 0xFF00) {
        std::snprintf(cstrName, 256, "Vendor Defined Usage 0x%lx", Hex(valueUsage));
        return;
    }
    for (const UsagePage& page : kUsagePages) {
        if (page.page != valueUsagePage)
            continue;
        if (const char* name = ListedName(page, valueUsage)) {
            std::snprintf(cstrName, 256, "%s", name);
        } else if (page.decimal) {
            std::snprintf(cstrName, 256, page.format, long(valueUsage));
        } else {
            std::snprintf(cstrName, 256, page.format, Hex(valueUsage));
        }
        return;
    }
    FormatPageUsage(cstrName, valueUsagePage, valueUsage);
}

void GetElementNameFromVendorProduct(int32_t vendorID, int32_t productID, int32_t cookie, char* pName)
{
    pName[0] = '\0';
    if (vendorID != 0x2222 || productID != 0x4010)
        return;
    for (const ProductElementName& element : kGamePad2222_4010)
        if (element.cookie == cookie)
            std::snprintf(pName, 256, "%s", element.name);
}
