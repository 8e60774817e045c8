// How one input event node reads as a HID device: its identity and place
// from udev, its elements from the node's capabilities. The usages follow the
// HID usage tables where they have the control (keyboard keys where the
// kernel's HID keyboard mapping has them, consumer keys on the Consumer page,
// gas and brake on the Simulation Controls page); what they lack goes on the
// vendor-defined pages below, and every element is named for the user.
#include "Host_Linux_Input_Map.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// --- udev

const char* Attribute(udev_device* device, const char* name)
{
    return device ? udev_device_get_sysattr_value(device, name) : nullptr;
}

const char* Property(udev_device* device, const char* name)
{
    return device ? udev_device_get_property_value(device, name) : nullptr;
}

bool Flagged(udev_device* device, const char* name)
{
    const char* value = Property(device, name);
    return value && std::strcmp(value, "1") == 0;
}

long Hex(const char* text)
{
    return text ? std::strtol(text, nullptr, 16) : 0;
}

// Whether a sysfs capability mask ("1f 0 ffff0000", the most significant
// long first) has the bit.
bool MaskHas(const char* mask, unsigned int bit)
{
    if (!mask)
        return false;
    constexpr unsigned int kWordBits = sizeof(unsigned long) * 8;
    std::vector<unsigned long> words; // most significant first
    for (const char* p = mask; *p;) {
        char* end = nullptr;
        const unsigned long word = std::strtoul(p, &end, 16);
        if (end == p)
            break;
        words.push_back(word);
        p = end;
    }
    const size_t index = bit / kWordBits;
    if (index >= words.size())
        return false;
    return (words[words.size() - 1 - index] >> (bit % kWordBits)) & 1;
}

// FNV-1a over the text, folded to 24 bits.
uint32_t Hash24(const std::string& text)
{
    uint32_t hash = 2166136261u;
    for (unsigned char c : text)
        hash = (hash ^ c) * 16777619u;
    return (hash >> 24) ^ (hash & 0xFFFFFF);
}

// The 48-bit address "a4:15:66:0b:2c:3d" as a number; 0 when there is none.
uint64_t Address(const char* text)
{
    uint64_t address = 0;
    int digits = 0;
    for (const char* p = text ? text : ""; *p; ++p) {
        const char c = char(std::tolower(static_cast<unsigned char>(*p)));
        if (c >= '0' && c <= '9')
            address = address << 4 | uint64_t(c - '0');
        else if (c >= 'a' && c <= 'f')
            address = address << 4 | uint64_t(c - 'a' + 10);
        else if (c != ':')
            return 0;
        digits += c != ':';
    }
    return digits == 12 ? address : 0;
}

udev_device* InputDevice(udev_device* node)
{
    return udev_device_get_parent_with_subsystem_devtype(node, "input", nullptr);
}

// hid-wiimote reports the accelerometers of the Wii Remote and of its Nunchuk
// (and the Motion Plus gyroscope) on RX, RY and RZ of nodes without X and Y,
// and without INPUT_PROP_ACCELEROMETER: those three axes move with the hand.
template <typename Has>
bool HandMotionAxes(Has has)
{
    return has(ABS_RX) && has(ABS_RY) && has(ABS_RZ) && !has(ABS_X) && !has(ABS_Y);
}

// A node with those axes and nothing else to move or press (the Wii Remote's
// accelerometer, the Motion Plus) is a motion sensor, though udev calls it a
// joystick.
bool RotationAxesAlone(udev_device* input)
{
    if (MaskHas(Attribute(input, "capabilities/ev"), EV_KEY) || MaskHas(Attribute(input, "capabilities/ev"), EV_REL))
        return false;
    const char* axes = Attribute(input, "capabilities/abs");
    for (unsigned int code = 0; code <= ABS_MAX; ++code)
        if (MaskHas(axes, code) && (code < ABS_RX || code > ABS_RZ))
            return false;
    return HandMotionAxes([&](unsigned int code) { return MaskHas(axes, code); });
}

int Bus(udev_device* node)
{
    return int(Hex(Attribute(InputDevice(node), "id/bustype")));
}

// The Bluetooth HID device above the node and its address, the one the
// device gives (the adapter's address is in phys, not here).
const char* BluetoothAddress(udev_device* node)
{
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(node, "hid", nullptr);
    const char* address = Property(hid, "HID_UNIQ");
    return Address(address) ? address : Attribute(InputDevice(node), "uniq");
}

// --- elements

struct KeyUsage {
    unsigned int key;
    int32_t usage;
};

// Keyboard/Keypad page usages of the keys the kernel's HID keyboard mapping
// knows. Its Mute and Volume keys (0x7F-0x81) are left to the Consumer page,
// where keyboards report them.
// clang-format off
constexpr KeyUsage kKeyboardUsages[] = {
    {KEY_A, 0x04}, {KEY_B, 0x05}, {KEY_C, 0x06}, {KEY_D, 0x07}, {KEY_E, 0x08}, {KEY_F, 0x09}, {KEY_G, 0x0A},
    {KEY_H, 0x0B}, {KEY_I, 0x0C}, {KEY_J, 0x0D}, {KEY_K, 0x0E}, {KEY_L, 0x0F}, {KEY_M, 0x10}, {KEY_N, 0x11},
    {KEY_O, 0x12}, {KEY_P, 0x13}, {KEY_Q, 0x14}, {KEY_R, 0x15}, {KEY_S, 0x16}, {KEY_T, 0x17}, {KEY_U, 0x18},
    {KEY_V, 0x19}, {KEY_W, 0x1A}, {KEY_X, 0x1B}, {KEY_Y, 0x1C}, {KEY_Z, 0x1D}, {KEY_1, 0x1E}, {KEY_2, 0x1F},
    {KEY_3, 0x20}, {KEY_4, 0x21}, {KEY_5, 0x22}, {KEY_6, 0x23}, {KEY_7, 0x24}, {KEY_8, 0x25}, {KEY_9, 0x26},
    {KEY_0, 0x27}, {KEY_ENTER, 0x28}, {KEY_ESC, 0x29}, {KEY_BACKSPACE, 0x2A}, {KEY_TAB, 0x2B}, {KEY_SPACE, 0x2C},
    {KEY_MINUS, 0x2D}, {KEY_EQUAL, 0x2E}, {KEY_LEFTBRACE, 0x2F}, {KEY_RIGHTBRACE, 0x30}, {KEY_BACKSLASH, 0x31},
    {KEY_SEMICOLON, 0x33}, {KEY_APOSTROPHE, 0x34}, {KEY_GRAVE, 0x35}, {KEY_COMMA, 0x36}, {KEY_DOT, 0x37},
    {KEY_SLASH, 0x38}, {KEY_CAPSLOCK, 0x39}, {KEY_F1, 0x3A}, {KEY_F2, 0x3B}, {KEY_F3, 0x3C}, {KEY_F4, 0x3D},
    {KEY_F5, 0x3E}, {KEY_F6, 0x3F}, {KEY_F7, 0x40}, {KEY_F8, 0x41}, {KEY_F9, 0x42}, {KEY_F10, 0x43}, {KEY_F11, 0x44},
    {KEY_F12, 0x45}, {KEY_SYSRQ, 0x46}, {KEY_SCROLLLOCK, 0x47}, {KEY_PAUSE, 0x48}, {KEY_INSERT, 0x49},
    {KEY_HOME, 0x4A}, {KEY_PAGEUP, 0x4B}, {KEY_DELETE, 0x4C}, {KEY_END, 0x4D}, {KEY_PAGEDOWN, 0x4E},
    {KEY_RIGHT, 0x4F}, {KEY_LEFT, 0x50}, {KEY_DOWN, 0x51}, {KEY_UP, 0x52}, {KEY_NUMLOCK, 0x53}, {KEY_KPSLASH, 0x54},
    {KEY_KPASTERISK, 0x55}, {KEY_KPMINUS, 0x56}, {KEY_KPPLUS, 0x57}, {KEY_KPENTER, 0x58}, {KEY_KP1, 0x59},
    {KEY_KP2, 0x5A}, {KEY_KP3, 0x5B}, {KEY_KP4, 0x5C}, {KEY_KP5, 0x5D}, {KEY_KP6, 0x5E}, {KEY_KP7, 0x5F},
    {KEY_KP8, 0x60}, {KEY_KP9, 0x61}, {KEY_KP0, 0x62}, {KEY_KPDOT, 0x63}, {KEY_102ND, 0x64}, {KEY_COMPOSE, 0x65},
    {KEY_POWER, 0x66}, {KEY_KPEQUAL, 0x67}, {KEY_F13, 0x68}, {KEY_F14, 0x69}, {KEY_F15, 0x6A}, {KEY_F16, 0x6B},
    {KEY_F17, 0x6C}, {KEY_F18, 0x6D}, {KEY_F19, 0x6E}, {KEY_F20, 0x6F}, {KEY_F21, 0x70}, {KEY_F22, 0x71},
    {KEY_F23, 0x72}, {KEY_F24, 0x73}, {KEY_OPEN, 0x74}, {KEY_HELP, 0x75}, {KEY_PROPS, 0x76}, {KEY_FRONT, 0x77},
    {KEY_STOP, 0x78}, {KEY_AGAIN, 0x79}, {KEY_UNDO, 0x7A}, {KEY_CUT, 0x7B}, {KEY_COPY, 0x7C}, {KEY_PASTE, 0x7D},
    {KEY_FIND, 0x7E}, {KEY_KPCOMMA, 0x85}, {KEY_RO, 0x87}, {KEY_KATAKANAHIRAGANA, 0x88}, {KEY_YEN, 0x89},
    {KEY_HENKAN, 0x8A}, {KEY_MUHENKAN, 0x8B}, {KEY_KPJPCOMMA, 0x8C}, {KEY_HANGEUL, 0x90}, {KEY_HANJA, 0x91},
    {KEY_KATAKANA, 0x92}, {KEY_HIRAGANA, 0x93}, {KEY_ZENKAKUHANKAKU, 0x94}, {KEY_KPLEFTPAREN, 0xB6},
    {KEY_KPRIGHTPAREN, 0xB7}, {KEY_LEFTCTRL, 0xE0}, {KEY_LEFTSHIFT, 0xE1}, {KEY_LEFTALT, 0xE2}, {KEY_LEFTMETA, 0xE3},
    {KEY_RIGHTCTRL, 0xE4}, {KEY_RIGHTSHIFT, 0xE5}, {KEY_RIGHTALT, 0xE6}, {KEY_RIGHTMETA, 0xE7},
};
// clang-format on

// Consumer page usages of the other keys the kernel maps from it.
// clang-format off
constexpr KeyUsage kConsumerUsages[] = {
    {KEY_RESTART, 0x031}, {KEY_SLEEP, 0x032}, {KEY_KBDILLUMTOGGLE, 0x035}, {KEY_MENU, 0x040}, {KEY_SELECT, 0x041},
    {KEY_INFO, 0x060}, {KEY_SUBTITLE, 0x061}, {KEY_VCR, 0x063}, {KEY_CAMERA, 0x065}, {KEY_RED, 0x069},
    {KEY_GREEN, 0x06A}, {KEY_BLUE, 0x06B}, {KEY_YELLOW, 0x06C}, {KEY_ASPECT_RATIO, 0x06D}, {KEY_BRIGHTNESSUP, 0x06F},
    {KEY_BRIGHTNESSDOWN, 0x070}, {KEY_BRIGHTNESS_TOGGLE, 0x072}, {KEY_BRIGHTNESS_MIN, 0x073},
    {KEY_BRIGHTNESS_MAX, 0x074}, {KEY_BRIGHTNESS_AUTO, 0x075}, {KEY_KBDILLUMUP, 0x079}, {KEY_KBDILLUMDOWN, 0x07A},
    {KEY_VIDEO_NEXT, 0x082}, {KEY_LAST, 0x083}, {KEY_PC, 0x088}, {KEY_TV, 0x089}, {KEY_WWW, 0x08A}, {KEY_DVD, 0x08B},
    {KEY_PHONE, 0x08C}, {KEY_PROGRAM, 0x08D}, {KEY_VIDEOPHONE, 0x08E}, {KEY_GAMES, 0x08F}, {KEY_MEMO, 0x090},
    {KEY_CD, 0x091}, {KEY_TUNER, 0x093}, {KEY_EXIT, 0x094}, {KEY_TAPE, 0x096}, {KEY_TV2, 0x097}, {KEY_SAT, 0x098},
    {KEY_PVR, 0x09A}, {KEY_CHANNELUP, 0x09C}, {KEY_CHANNELDOWN, 0x09D}, {KEY_VCR2, 0x0A0}, {KEY_PLAY, 0x0B0},
    {KEY_RECORD, 0x0B2}, {KEY_FASTFORWARD, 0x0B3}, {KEY_REWIND, 0x0B4}, {KEY_NEXTSONG, 0x0B5},
    {KEY_PREVIOUSSONG, 0x0B6}, {KEY_STOPCD, 0x0B7}, {KEY_EJECTCD, 0x0B8}, {KEY_SHUFFLE, 0x0B9},
    {KEY_MEDIA_REPEAT, 0x0BC}, {KEY_SLOW, 0x0BF}, {KEY_PLAYPAUSE, 0x0CD}, {KEY_VOICECOMMAND, 0x0CF},
    {KEY_DICTATE, 0x0D8}, {KEY_EMOJI_PICKER, 0x0D9}, {KEY_MUTE, 0x0E2}, {KEY_BASSBOOST, 0x0E5},
    {KEY_VOLUMEUP, 0x0E9}, {KEY_VOLUMEDOWN, 0x0EA}, {KEY_BUTTONCONFIG, 0x181}, {KEY_BOOKMARKS, 0x182},
    {KEY_CONFIG, 0x183}, {KEY_WORDPROCESSOR, 0x184}, {KEY_EDITOR, 0x185}, {KEY_SPREADSHEET, 0x186},
    {KEY_GRAPHICSEDITOR, 0x187}, {KEY_PRESENTATION, 0x188}, {KEY_DATABASE, 0x189}, {KEY_MAIL, 0x18A},
    {KEY_NEWS, 0x18B}, {KEY_VOICEMAIL, 0x18C}, {KEY_ADDRESSBOOK, 0x18D}, {KEY_CALENDAR, 0x18E},
    {KEY_TASKMANAGER, 0x18F}, {KEY_JOURNAL, 0x190}, {KEY_FINANCE, 0x191}, {KEY_CALC, 0x192}, {KEY_PLAYER, 0x193},
    {KEY_FILE, 0x194}, {KEY_CHAT, 0x199}, {KEY_LOGOFF, 0x19C}, {KEY_COFFEE, 0x19E}, {KEY_CONTROLPANEL, 0x19F},
    {KEY_APPSELECT, 0x1A2}, {KEY_NEXT, 0x1A3}, {KEY_PREVIOUS, 0x1A4}, {KEY_DOCUMENTS, 0x1A7},
    {KEY_SPELLCHECK, 0x1AB}, {KEY_KEYBOARD, 0x1AE}, {KEY_SCREENSAVER, 0x1B1}, {KEY_IMAGES, 0x1B6},
    {KEY_AUDIO, 0x1B7}, {KEY_VIDEO, 0x1B8}, {KEY_MESSENGER, 0x1BC}, {KEY_ASSISTANT, 0x1CB}, {KEY_NEW, 0x201},
    {KEY_CLOSE, 0x203}, {KEY_SAVE, 0x207}, {KEY_PRINT, 0x208}, {KEY_SEARCH, 0x221}, {KEY_GOTO, 0x222},
    {KEY_HOMEPAGE, 0x223}, {KEY_BACK, 0x224}, {KEY_FORWARD, 0x225}, {KEY_REFRESH, 0x227}, {KEY_ZOOMIN, 0x22D},
    {KEY_ZOOMOUT, 0x22E}, {KEY_ZOOMRESET, 0x22F}, {KEY_FULL_SCREEN, 0x232}, {KEY_SCROLLUP, 0x233},
    {KEY_SCROLLDOWN, 0x234}, {KEY_EDIT, 0x23D}, {KEY_CANCEL, 0x25F}, {KEY_REDO, 0x279}, {KEY_REPLY, 0x289},
    {KEY_FORWARDMAIL, 0x28B}, {KEY_SEND, 0x28C}, {KEY_KBD_LAYOUT_NEXT, 0x29D}, {KEY_SCALE, 0x29F},
    {KEY_ALL_APPLICATIONS, 0x2A2},
};
// clang-format on

int32_t UsageIn(const KeyUsage* table, size_t count, unsigned int key)
{
    for (size_t i = 0; i < count; ++i)
        if (table[i].key == key)
            return table[i].usage;
    return 0;
}

// A button rather than a key: misc, mouse, joystick, gamepad, digitizer and
// wheel buttons, the d-pad and the trigger-happy buttons.
bool IsButtonCode(unsigned int code)
{
    return (code >= BTN_MISC && code < KEY_OK) || (code >= BTN_DPAD_UP && code <= BTN_DPAD_RIGHT) ||
           (code >= BTN_TRIGGER_HAPPY && code <= BTN_TRIGGER_HAPPY40);
}

bool IsMultitouch(unsigned int code)
{
    return code >= ABS_MT_SLOT && code <= ABS_MT_TOOL_Y;
}

// "KEY_VOLUMEUP" → "Volumeup", "BTN_TRIGGER_HAPPY3" → "Trigger Happy3".
std::string Spelled(const char* codeName)
{
    const char* start = std::strchr(codeName, '_');
    std::string name;
    bool wordStart = true;
    for (const char* p = start ? start + 1 : codeName; *p; ++p) {
        if (*p == '_') {
            name += ' ';
            wordStart = true;
            continue;
        }
        name += char(wordStart ? std::toupper(static_cast<unsigned char>(*p))
                               : std::tolower(static_cast<unsigned char>(*p)));
        wordStart = false;
    }
    return name;
}

struct CodeName {
    unsigned int code;
    const char* name;
};

// What the buttons and keys are called where the kernel's constant does not
// say it plainly.
// clang-format off
constexpr CodeName kKeyNames[] = {
    {BTN_SOUTH, "South Button (A, Cross)"}, {BTN_EAST, "East Button (B, Circle)"}, {BTN_C, "C Button"},
    {BTN_NORTH, "North Button (Triangle)"}, {BTN_WEST, "West Button (Square)"}, {BTN_Z, "Z Button"},
    {BTN_TL, "Left Shoulder"}, {BTN_TR, "Right Shoulder"}, {BTN_TL2, "Left Trigger"}, {BTN_TR2, "Right Trigger"},
    {BTN_SELECT, "Select"}, {BTN_START, "Start"}, {BTN_MODE, "Mode (Home)"}, {BTN_THUMBL, "Left Stick Button"},
    {BTN_THUMBR, "Right Stick Button"}, {BTN_TRIGGER, "Trigger"}, {BTN_THUMB, "Thumb Button"},
    {BTN_THUMB2, "Thumb Button 2"}, {BTN_TOP, "Top Button"}, {BTN_TOP2, "Top Button 2"}, {BTN_PINKIE, "Pinkie Button"},
    {BTN_BASE, "Base Button 1"}, {BTN_BASE2, "Base Button 2"}, {BTN_BASE3, "Base Button 3"},
    {BTN_BASE4, "Base Button 4"}, {BTN_BASE5, "Base Button 5"}, {BTN_BASE6, "Base Button 6"},
    {BTN_DEAD, "Dead Button"}, {BTN_LEFT, "Left Mouse Button"}, {BTN_RIGHT, "Right Mouse Button"},
    {BTN_MIDDLE, "Middle Mouse Button"}, {BTN_SIDE, "Side Mouse Button"}, {BTN_EXTRA, "Extra Mouse Button"},
    {BTN_GEAR_DOWN, "Gear Down (Back Paddle)"}, {BTN_GEAR_UP, "Gear Up (Back Paddle)"},
    {BTN_DPAD_UP, "D-Pad Up"}, {BTN_DPAD_DOWN, "D-Pad Down"}, {BTN_DPAD_LEFT, "D-Pad Left"},
    {BTN_DPAD_RIGHT, "D-Pad Right"}, {BTN_TOOL_FINGER, "Finger"}, {BTN_TOOL_DOUBLETAP, "Two Fingers"},
    {BTN_TOOL_TRIPLETAP, "Three Fingers"}, {BTN_TOOL_QUADTAP, "Four Fingers"}, {BTN_TOOL_QUINTTAP, "Five Fingers"},
    {KEY_VOLUMEUP, "Volume Up"}, {KEY_VOLUMEDOWN, "Volume Down"}, {KEY_PLAYPAUSE, "Play/Pause"},
    {KEY_NEXTSONG, "Next Track"}, {KEY_PREVIOUSSONG, "Previous Track"}, {KEY_STOPCD, "Stop Playing"},
    {KEY_EJECTCD, "Eject"}, {KEY_CALC, "Calculator"}, {KEY_WWW, "Web Browser"}, {KEY_HOMEPAGE, "Home Page"},
    {KEY_NEXT, "Next (+)"}, {KEY_PREVIOUS, "Previous (-)"}, {KEY_LEFTCTRL, "Left Control"},
    {KEY_RIGHTCTRL, "Right Control"}, {KEY_LEFTSHIFT, "Left Shift"}, {KEY_RIGHTSHIFT, "Right Shift"},
    {KEY_LEFTALT, "Left Alt"}, {KEY_RIGHTALT, "Right Alt (AltGr)"}, {KEY_LEFTMETA, "Left Super"},
    {KEY_RIGHTMETA, "Right Super"}, {KEY_PAGEUP, "Page Up"}, {KEY_PAGEDOWN, "Page Down"},
    {KEY_CAPSLOCK, "Caps Lock"}, {KEY_NUMLOCK, "Num Lock"}, {KEY_SCROLLLOCK, "Scroll Lock"},
    {KEY_SYSRQ, "Print Screen"}, {KEY_BACKSPACE, "Backspace"}, {KEY_KPLEFTPAREN, "Keypad ("},
    {KEY_KPRIGHTPAREN, "Keypad )"}, {KEY_BRIGHTNESSUP, "Brightness Up"}, {KEY_BRIGHTNESSDOWN, "Brightness Down"},
    {KEY_MICMUTE, "Microphone Mute"}, {KEY_ZENKAKUHANKAKU, "Zenkaku/Hankaku"}, {KEY_HANGEUL, "Hangeul"},
    {KEY_HANJA, "Hanja"}, {KEY_KATAKANAHIRAGANA, "Katakana/Hiragana"}, {KEY_MUHENKAN, "Muhenkan"},
    {KEY_HENKAN, "Henkan"}, {KEY_102ND, "Key Beside Left Shift (<>)"},
};
// clang-format on

std::string KeyName(unsigned int code)
{
    for (const CodeName& known : kKeyNames)
        if (known.code == code)
            return known.name;
    if (code >= BTN_TRIGGER_HAPPY && code <= BTN_TRIGGER_HAPPY40)
        return "Extra Button " + std::to_string(code - BTN_TRIGGER_HAPPY + 1);
    if (const char* name = libevdev_event_code_get_name(EV_KEY, code))
        return Spelled(name);
    char text[32];
    std::snprintf(text, sizeof text, "%s 0x%03x", IsButtonCode(code) ? "Button" : "Key", code);
    return text;
}

// Axes without a Generic Desktop usage, by what they are.
std::string AxisName(unsigned int code)
{
    if (code >= ABS_HAT0X && code <= ABS_HAT3Y)
        return "Hat " + std::to_string((code - ABS_HAT0X) / 2) + ((code - ABS_HAT0X) % 2 ? " Y-Axis" : " X-Axis");
    // clang-format off
    switch (code) {
    case ABS_GAS: return "Accelerator (Gas)";
    case ABS_BRAKE: return "Brake";
    case ABS_PRESSURE: return "Pressure";
    case ABS_DISTANCE: return "Distance";
    case ABS_TILT_X: return "Tilt X";
    case ABS_TILT_Y: return "Tilt Y";
    case ABS_TOOL_WIDTH: return "Tool Width";
    case ABS_VOLUME: return "Volume";
    case ABS_PROFILE: return "Profile";
    case ABS_MISC: return "Misc Axis";
    default: {
        char text[32];
        std::snprintf(text, sizeof text, "Axis 0x%02x", code);
        return text;
    }
    }
    // clang-format on
}

// The usage of an absolute axis that is not part of a hat switch.
std::pair<int32_t, int32_t> AxisUsage(unsigned int code)
{
    if (code <= ABS_WHEEL)
        return {kHIDPage_GenericDesktop, int32_t(kHIDUsage_GD_X + code)};
    // clang-format off
    switch (code) {
    case ABS_GAS: return {kHIDPage_Simulation, kHIDUsage_Sim_Accelerator};
    case ABS_BRAKE: return {kHIDPage_Simulation, kHIDUsage_Sim_Brake};
    case ABS_PRESSURE: return {kHIDPage_Digitizer, kHIDUsage_Dig_TipPressure};
    case ABS_TILT_X: return {kHIDPage_Digitizer, kHIDUsage_Dig_XTilt};
    case ABS_TILT_Y: return {kHIDPage_Digitizer, kHIDUsage_Dig_YTilt};
    case ABS_TOOL_WIDTH: return {kHIDPage_Digitizer, kHIDUsage_Dig_Width};
    case ABS_VOLUME: return {kHIDPage_Consumer, kHIDUsage_Csmr_Volume};
    default: return {kLinuxPageAxis, int32_t(code)};
    }
    // clang-format on
}

bool IsHatPair(libevdev* evdev, unsigned int xCode)
{
    for (unsigned int code : {xCode, xCode + 1}) {
        const input_absinfo* info = libevdev_get_abs_info(evdev, code);
        if (!info || info->minimum != -1 || info->maximum != 1)
            return false;
    }
    return true;
}

// The page and usage of a key code.
std::pair<int32_t, int32_t> UsageOfKey(unsigned int code)
{
    if (int32_t usage = UsageIn(kKeyboardUsages, std::size(kKeyboardUsages), code))
        return {kHIDPage_KeyboardOrKeypad, usage};
    if (int32_t usage = UsageIn(kConsumerUsages, std::size(kConsumerUsages), code))
        return {kHIDPage_Consumer, usage};
    return {kLinuxPageKey, int32_t(code)};
}

} // namespace

std::vector<LinuxElementInfo> LinuxNodeElements(libevdev* evdev)
{
    std::vector<LinuxElementInfo> elements;
    auto add = [&elements](int32_t type, int32_t page, int32_t usage, int32_t min, int32_t max, bool relative,
                           bool nullState, std::string name, LinuxSource source, unsigned int code) {
        elements.push_back({type, page, usage, min, max, relative, nullState, std::move(name), {source, code}});
    };
    const bool handMotion =
        HandMotionAxes([&](unsigned int code) { return libevdev_has_event_code(evdev, EV_ABS, code) == 1; });
    for (unsigned int code = 0; code <= ABS_MAX; ++code) {
        if (IsMultitouch(code) || !libevdev_has_event_code(evdev, EV_ABS, code))
            continue;
        const bool hatCode = code >= ABS_HAT0X && code <= ABS_HAT3Y;
        const unsigned int pairX = hatCode ? code - (code - ABS_HAT0X) % 2 : code;
        if (hatCode && libevdev_has_event_code(evdev, EV_ABS, pairX) &&
            libevdev_has_event_code(evdev, EV_ABS, pairX + 1) && IsHatPair(evdev, pairX)) {
            if (code == pairX)
                add(kIOHIDElementTypeInput_Misc, kHIDPage_GenericDesktop, kHIDUsage_GD_Hatswitch, 0, 7, false, true,
                    "Hat Switch " + std::to_string((code - ABS_HAT0X) / 2), LinuxSource::kHat, code);
            continue;
        }
        const input_absinfo* info = libevdev_get_abs_info(evdev, code);
        auto [page, usage] = AxisUsage(code);
        std::string name = page == kHIDPage_GenericDesktop ? "" : AxisName(code);
        if (handMotion && code >= ABS_RX && code <= ABS_RZ) {
            // The Sensor page's acceleration axes X, Y, Z.
            page = kHIDPage_Sensor;
            usage = int32_t(kHIDUsage_Snsr_AccelerationX + code - ABS_RX);
            name = std::string("Motion ") + char('X' + code - ABS_RX);
        }
        add(kIOHIDElementTypeInput_Misc, page, usage, info ? info->minimum : 0, info ? info->maximum : 0, false, false,
            name, LinuxSource::kAbsolute, code);
    }
    for (unsigned int code = REL_X; code <= REL_WHEEL; ++code) {
        if (!libevdev_has_event_code(evdev, EV_REL, code))
            continue;
        int32_t usage = 0;
        if (code <= REL_RZ)
            usage = int32_t(kHIDUsage_GD_X + code);
        else if (code == REL_DIAL)
            usage = kHIDUsage_GD_Dial;
        else if (code == REL_WHEEL)
            usage = kHIDUsage_GD_Wheel;
        if (usage)
            add(kIOHIDElementTypeInput_Misc, kHIDPage_GenericDesktop, usage, -127, 127, true, false, "",
                LinuxSource::kRelative, code);
    }
    int32_t button = 1;
    for (unsigned int code = BTN_MISC; code <= KEY_MAX; ++code)
        if (IsButtonCode(code) && libevdev_has_event_code(evdev, EV_KEY, code))
            add(kIOHIDElementTypeInput_Button, kHIDPage_Button, button++, 0, 1, false, false, KeyName(code),
                LinuxSource::kKey, code);
    for (unsigned int code = 1; code <= KEY_MAX; ++code) {
        if (IsButtonCode(code) || !libevdev_has_event_code(evdev, EV_KEY, code))
            continue;
        const auto [page, usage] = UsageOfKey(code);
        add(kIOHIDElementTypeInput_Button, page, usage, 0, 1, false, false, KeyName(code), LinuxSource::kKey, code);
    }
    return elements;
}

std::string LinuxPhysicalParent(udev_device* node)
{
    udev_device* input = InputDevice(node);
    udev_device* parent = nullptr;
    if (Bus(node) == BUS_USB)
        parent = udev_device_get_parent_with_subsystem_devtype(node, "usb", "usb_interface");
    else if (Bus(node) == BUS_BLUETOOTH)
        parent = udev_device_get_parent_with_subsystem_devtype(node, "hid", nullptr);
    if (parent)
        return udev_device_get_syspath(parent);
    // A HID device's name ends in a number counted up as devices come, so
    // its place is that of the device it hangs on.
    parent = input ? udev_device_get_parent(input) : nullptr;
    const char* subsystem = parent ? udev_device_get_subsystem(parent) : nullptr;
    if (subsystem && std::strcmp(subsystem, "hid") == 0)
        parent = udev_device_get_parent(parent);
    const char* path = parent ? udev_device_get_syspath(parent) : nullptr;
    if (!path || std::strncmp(path, "/sys/devices/virtual", 20) == 0) {
        // A virtual device has no place: its name and ids stand for it.
        auto text = [&](const char* name) {
            const char* value = Attribute(input, name);
            return std::string(value ? value : "");
        };
        return "virtual/" + text("name") + "/" + text("phys") + "/" + text("uniq") + "/" + text("id/vendor") + ":" +
               text("id/product");
    }
    return path;
}

uint32_t LinuxLocationID(udev_device* node, const std::string& parent, unsigned int rank)
{
    // The place of a node in 32 bits, the same at every start and on every
    // re-plug into the same port, different for every node present at once:
    // - USB: bus number in bits 31-24; the port path from the root hub in
    //   bits 23-8, a nibble a tier ("1-1.4" on bus 1: 0x0114....); the
    //   interface number in bits 7-4; in bits 3-0 the node's rank among the
    //   input nodes of that interface (a DualShock 4's touchpad, motion
    //   sensors and pad are 0, 1 and 2). A fifth tier, or a port or number
    //   above 15, is folded in by exclusive or.
    // - Bluetooth: 0xF in bits 31-28, the low 24 bits of the device's own
    //   address in bits 27-4, its rank among the device's nodes in bits 3-0.
    // - Anything else (PS/2, I2C, platform, virtual): 0xE in bits 31-28, a
    //   24-bit hash of the physical parent's sysfs path (that of the device a
    //   HID device hangs on; for a virtual device its name and ids) in bits
    //   27-4, the rank in bits 3-0.
    // Two nodes that would still meet are told apart when the list is built.
    const int bus = Bus(node);
    if (bus == BUS_USB) {
        udev_device* usb = udev_device_get_parent_with_subsystem_devtype(node, "usb", "usb_device");
        udev_device* interface = udev_device_get_parent_with_subsystem_devtype(node, "usb", "usb_interface");
        const char* busText = Attribute(usb, "busnum");
        const char* name = usb ? udev_device_get_sysname(usb) : nullptr;
        if (busText && name) {
            uint32_t location = uint32_t(std::atoi(busText) & 0xFF) << 24;
            const char* ports = std::strchr(name, '-');
            int tier = 0;
            for (const char* p = ports ? ports + 1 : ""; *p; ++tier) {
                char* end = nullptr;
                const unsigned long port = std::strtoul(p, &end, 10);
                if (end == p)
                    break;
                location ^= uint32_t(port & 0xFFFF) << (20 - 4 * (tier % 4));
                p = *end == '.' ? end + 1 : end;
                if (*end != '.')
                    break;
            }
            const unsigned long number = uint32_t(Hex(Attribute(interface, "bInterfaceNumber")));
            return location ^ uint32_t((number & 0xFF) << 4) ^ (rank & 0xF) ^ ((rank >> 4) << 8);
        }
    }
    if (bus == BUS_BLUETOOTH) {
        if (const uint64_t address = Address(BluetoothAddress(node)))
            return 0xF0000000u | uint32_t(address & 0xFFFFFF) << 4 | (rank & 0xF);
    }
    return 0xE0000000u | Hash24(parent) << 4 | (rank & 0xF);
}

LinuxIdentity LinuxNodeIdentity(udev_device* node)
{
    LinuxIdentity identity;
    udev_device* input = InputDevice(node);
    identity.bus = int(Hex(Attribute(input, "id/bustype")));
    identity.vendor = Hex(Attribute(input, "id/vendor"));
    identity.product = Hex(Attribute(input, "id/product"));
    identity.version = Hex(Attribute(input, "id/version"));
    if (const char* name = Attribute(input, "name"))
        identity.name = name;
    auto take = [](std::string& field, const char* value) {
        if (value && field.empty())
            field = value;
    };
    if (identity.bus == BUS_BLUETOOTH) {
        // The pad's own address; the adapter's USB identity is not the pad's.
        take(identity.serial, BluetoothAddress(node));
    } else {
        udev_device* usb = identity.bus == BUS_USB
                               ? udev_device_get_parent_with_subsystem_devtype(node, "usb", "usb_device")
                               : nullptr;
        take(identity.manufacturer, Attribute(usb, "manufacturer"));
        take(identity.serial, Attribute(usb, "serial"));
        take(identity.manufacturer, Property(node, "ID_VENDOR"));
        take(identity.serial, Property(node, "ID_SERIAL_SHORT"));
    }

    const char* keys = Attribute(input, "capabilities/key");
    identity.motionSensor = Flagged(node, "ID_INPUT_ACCELEROMETER") ||
                            MaskHas(Attribute(input, "properties"), INPUT_PROP_ACCELEROMETER) ||
                            RotationAxesAlone(input);
    identity.gameController = !identity.motionSensor && Flagged(node, "ID_INPUT_JOYSTICK");
    struct Kind {
        std::pair<int32_t, int32_t> usage;
        const char* name;
    };
    Kind kind{{kHIDPage_GenericDesktop, kHIDUsage_GD_SystemControl}, "System Control"}; // lid and other switches
    if (identity.motionSensor)
        kind = {{kHIDPage_Sensor, kHIDUsage_Snsr_Motion}, "Motion Sensor"};
    else if (identity.gameController && MaskHas(keys, BTN_GAMEPAD))
        kind = {{kHIDPage_GenericDesktop, kHIDUsage_GD_GamePad}, "Game Pad"};
    else if (identity.gameController)
        kind = {{kHIDPage_GenericDesktop, kHIDUsage_GD_Joystick}, "Joystick"};
    else if (Flagged(node, "ID_INPUT_TOUCHPAD"))
        kind = {{kHIDPage_Digitizer, kHIDUsage_Dig_TouchPad}, "Touch Pad"};
    else if (Flagged(node, "ID_INPUT_TOUCHSCREEN"))
        kind = {{kHIDPage_Digitizer, kHIDUsage_Dig_TouchScreen}, "Touch Screen"};
    else if (Flagged(node, "ID_INPUT_TABLET"))
        kind = {{kHIDPage_Digitizer, kHIDUsage_Dig_Pen}, "Pen"};
    else if (Flagged(node, "ID_INPUT_MOUSE") || Flagged(node, "ID_INPUT_POINTINGSTICK"))
        kind = {{kHIDPage_GenericDesktop, kHIDUsage_GD_Mouse}, "Mouse"};
    else if (Flagged(node, "ID_INPUT_KEYBOARD"))
        kind = {{kHIDPage_GenericDesktop, kHIDUsage_GD_Keyboard}, "Keyboard"};
    else if (Flagged(node, "ID_INPUT_KEY"))
        kind = {{kHIDPage_Consumer, kHIDUsage_Csmr_ConsumerControl}, "Consumer Control"}; // media keys, power button
    identity.usage = kind.usage;
    identity.kind = kind.name;
    return identity;
}
