#include "Controller_Testbed.h"

#include <ftw.h>
#include <linux/input.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>

namespace controllers {

namespace {

std::vector<unsigned int> Range(unsigned int first, unsigned int last)
{
    std::vector<unsigned int> codes;
    for (unsigned int code = first; code <= last; ++code)
        codes.push_back(code);
    return codes;
}

std::vector<unsigned int> Join(std::initializer_list<std::vector<unsigned int>> parts)
{
    std::vector<unsigned int> codes;
    for (const auto& part : parts)
        codes.insert(codes.end(), part.begin(), part.end());
    return codes;
}

// --- what the kernel's drivers register, node by node

// clang-format off
const std::vector<unsigned int> kXboxButtons = {BTN_A,      BTN_B,     BTN_X,    BTN_Y,      BTN_TL,    BTN_TR,
                                                 BTN_SELECT, BTN_START, BTN_MODE, BTN_THUMBL, BTN_THUMBR};
const std::vector<unsigned int> kPlayStationButtons = {BTN_SOUTH, BTN_EAST,   BTN_NORTH, BTN_WEST,   BTN_TL,
                                                       BTN_TR,    BTN_TL2,    BTN_TR2,   BTN_SELECT, BTN_START,
                                                       BTN_MODE,  BTN_THUMBL, BTN_THUMBR};
const std::vector<unsigned int> kFifteenGamepadButtons = Range(BTN_SOUTH, BTN_THUMBR);

// The first hat pair, a d-pad.
const Axis kHatX{ABS_HAT0X, -1, 1}, kHatY{ABS_HAT0Y, -1, 1};

// An axis of a HID joystick or gamepad application: hid-input.c
// (hidinput_configure_usage) gives it a fuzz of a 256th and a flat of a 16th
// of its range.
Axis HidAxis(unsigned int code, int min, int max, int rest = 0)
{
    return {code, min, max, rest, (max - min) >> 8, (max - min) >> 4};
}

std::vector<Axis> Sticks16()
{
    return {{ABS_X, -32768, 32767, 0, 16, 128},
            {ABS_Y, -32768, 32767, 0, 16, 128},
            {ABS_RX, -32768, 32767, 0, 16, 128},
            {ABS_RY, -32768, 32767, 0, 16, 128}};
}

// xpad.c: xpad_common_btn and xpad360_btn, sticks -32768..32767 with fuzz 16
// and flat 128, triggers 0..255 on Z and RZ (xpad_set_up_abs), the d-pad a
// hat or, with MAP_DPAD_TO_BUTTONS, four trigger-happy buttons.
Node Xbox360Pad(const std::string& name, int interface, bool dpadButtons)
{
    Node pad{name, Sticks16(), kXboxButtons, {}, {}, {}, {}, {"ID_INPUT_JOYSTICK"}, interface};
    pad.axes.push_back({ABS_Z, 0, 255});
    pad.axes.push_back({ABS_RZ, 0, 255});
    if (dpadButtons) {
        for (unsigned int code = BTN_TRIGGER_HAPPY1; code <= BTN_TRIGGER_HAPPY4; ++code)
            pad.keys.push_back(code);
    } else {
        pad.axes.insert(pad.axes.end(), {kHatX, kHatY});
    }
    return pad;
}

// Accelerometer on X, Y, Z and gyroscope on RX, RY, RZ; resting level.
Node MotionSensors(const std::string& name, int accelerometer, int accelerometerResolution, int gyroscope,
                   int gyroscopeResolution, int fuzz, int interface)
{
    Node motion{name, {}, {}, {}, {INPUT_PROP_ACCELEROMETER}, {MSC_TIMESTAMP}, {}, {"ID_INPUT_ACCELEROMETER"},
                interface};
    for (unsigned int code : {ABS_X, ABS_Y, ABS_Z})
        motion.axes.push_back({code, -accelerometer, accelerometer, code == ABS_Z ? accelerometerResolution : 0, fuzz,
                               0, accelerometerResolution});
    for (unsigned int code : {ABS_RX, ABS_RY, ABS_RZ})
        motion.axes.push_back({code, -gyroscope, gyroscope, 0, fuzz, 0, gyroscopeResolution});
    return motion;
}

// hid-sony.c: the touchpad (sony_register_touchpad, 1920x942, two slots) and
// the motion sensors (sony_register_sensors: 4 g at DS4_ACC_RES_PER_G 8192,
// 2048 degrees a second at DS4_GYRO_RES_PER_DEG_S 1024, fuzz 16) are
// registered from the input_configured hook, before the pad's own node.
std::vector<Node> DualShock4Nodes(const std::string& name, int interface)
{
    Node touchpad{name + " Touchpad",
                  {{ABS_X, 0, 1919},
                   {ABS_Y, 0, 941},
                   {ABS_MT_SLOT, 0, 1},
                   {ABS_MT_POSITION_X, 0, 1919},
                   {ABS_MT_POSITION_Y, 0, 941},
                   {ABS_MT_TRACKING_ID, 0, 65535}},
                  {BTN_LEFT, BTN_TOUCH, BTN_TOOL_FINGER, BTN_TOOL_DOUBLETAP},
                  {},
                  {INPUT_PROP_POINTER, INPUT_PROP_BUTTONPAD},
                  {},
                  {},
                  {"ID_INPUT_TOUCHPAD"},
                  interface};
    Node motion = MotionSensors(name + " Motion Sensors", 32768, 8192, 2097152, 1024, 16, interface);
    Node pad{name,
             {{ABS_X, 0, 255, 128}, {ABS_Y, 0, 255, 128}, {ABS_Z, 0, 255}, {ABS_RX, 0, 255, 128},
              {ABS_RY, 0, 255, 128}, {ABS_RZ, 0, 255}, kHatX, kHatY},
             kPlayStationButtons,
             {},
             {},
             {},
             {},
             {"ID_INPUT_JOYSTICK"},
             interface};
    return {touchpad, motion, pad};
}

// hid-sony.c: sony_register_sensors (the Sixaxis's accelerometer, -512..511,
// fuzz 4, SIXAXIS_ACC_RES_PER_G 113) before the pad's own node.
std::vector<Node> DualShock3Nodes(const std::string& name)
{
    Node motion{name + " Motion Sensors",
                {{ABS_X, -512, 511, 0, 4, 0, 113},
                 {ABS_Y, -512, 511, 113, 4, 0, 113},
                 {ABS_Z, -512, 511, 0, 4, 0, 113}},
                {},
                {},
                {INPUT_PROP_ACCELEROMETER},
                {},
                {},
                {"ID_INPUT_ACCELEROMETER"}};
    Node pad{name,
             {{ABS_X, 0, 255, 128}, {ABS_Y, 0, 255, 128}, {ABS_Z, 0, 255}, {ABS_RX, 0, 255, 128},
              {ABS_RY, 0, 255, 128}, {ABS_RZ, 0, 255}},
             Join({kPlayStationButtons, Range(BTN_DPAD_UP, BTN_DPAD_RIGHT)}),
             {},
             {},
             {},
             {},
             {"ID_INPUT_JOYSTICK"}};
    return {motion, pad};
}

// hid-wiimote: wiimote_modules_load probes a Wii Remote's modules (keys,
// rumble, battery, LEDs, accelerometer, IR); the accelerometer's and the IR
// camera's probes register their nodes, the keys' node is registered after
// all of them; the extension's node comes when it is detected. The
// accelerometer reports on RX, RY and RZ without INPUT_PROP_ACCELEROMETER
// (hid-wiimote-modules.c, wiimod_accel_probe), so udev's input_id calls it
// (like the IR node) a joystick.
std::vector<Node> WiiRemoteNodes(Node extension)
{
    Node core{"Nintendo Wii Remote",
              {},
              {KEY_UP, KEY_LEFT, KEY_RIGHT, KEY_DOWN, KEY_NEXT, KEY_PREVIOUS, BTN_1, BTN_2, BTN_A, BTN_B, BTN_MODE},
              {},
              {},
              {},
              {},
              {"ID_INPUT_JOYSTICK", "ID_INPUT_KEY"}};
    Node accelerometer{"Nintendo Wii Remote Accelerometer",
                       {{ABS_RX, -500, 500, 0, 2, 4}, {ABS_RY, -500, 500, 0, 2, 4}, {ABS_RZ, -500, 500, 100, 2, 4}},
                       {},
                       {},
                       {},
                       {},
                       {},
                       {"ID_INPUT_JOYSTICK"}};
    Node ir{"Nintendo Wii Remote IR", {}, {}, {}, {}, {}, {}, {"ID_INPUT_JOYSTICK"}};
    for (unsigned int hat = 0; hat < 4; ++hat) {
        ir.axes.push_back({ABS_HAT0X + 2 * hat, 0, 1023, 1023, 2, 4});
        ir.axes.push_back({ABS_HAT0Y + 2 * hat, 0, 767, 1023, 2, 4});
    }
    return {accelerometer, ir, core, extension};
}

// Keys of a full-size keyboard whose report covers usages 0 to 0xFF.
std::vector<unsigned int> FullKeyboardKeys()
{
    return Join({Range(KEY_ESC, KEY_KPDOT), Range(KEY_ZENKAKUHANKAKU, KEY_F12), Range(KEY_RO, KEY_KPJPCOMMA),
                 Range(KEY_KPENTER, KEY_DELETE), Range(KEY_MUTE, KEY_KPEQUAL), {KEY_PAUSE},
                 Range(KEY_KPCOMMA, KEY_HELP), Range(KEY_KPLEFTPAREN, KEY_KPRIGHTPAREN), Range(KEY_F13, KEY_F24)});
}

Device Usb(const std::string& label, unsigned int vendor, unsigned int product, unsigned int version,
           const std::string& manufacturer, const std::string& usbProduct, const std::string& serial, bool viaHid,
           std::vector<Node> nodes)
{
    return {label, Bus::kUSB, vendor, product, version, manufacturer, usbProduct, serial, "1-1", viaHid, nodes};
}

Device Bluetooth(const std::string& label, unsigned int vendor, unsigned int product, unsigned int version,
                 const std::string& address, std::vector<Node> nodes)
{
    return {label, Bus::kBluetooth, vendor, product, version, "", "", "", address, true, nodes};
}

Move Abs(size_t node, unsigned int code, int value) { return {node, EV_ABS, code, value}; }
Move Key(size_t node, unsigned int code) { return {node, EV_KEY, code, 1}; }

std::vector<Controller> MakeTable()
{
    std::vector<Controller> table;
    table.push_back({Usb("Xbox360Wired", 0x045e, 0x028e, 0x0114, "\xC2\xA9Microsoft Corporation", "Controller",
                         "0843F2B", false, {Xbox360Pad("Microsoft X-Box 360 pad", 0, false)}),
                     Abs(0, ABS_X, 20000), Key(0, BTN_A)});
    // xpad.c's table: 045e:0719 "Xbox 360 Wireless Receiver" (the "(XBOX)"
    // name is 045e:0291's), MAP_DPAD_TO_BUTTONS, XTYPE_XBOX360W: a node per
    // connected pad on its interface 0, 2, 4 or 6.
    table.push_back({Usb("Xbox360WirelessReceiver", 0x045e, 0x0719, 0x0100, "\xC2\xA9Microsoft Corporation",
                         "Xbox 360 Wireless Receiver for Windows", "E02F1950", false,
                         {Xbox360Pad("Xbox 360 Wireless Receiver", 0, true),
                          Xbox360Pad("Xbox 360 Wireless Receiver", 2, true)}),
                     Abs(1, ABS_X, -20000), Key(1, BTN_TRIGGER_HAPPY3)});
    // Firmware 3.x over Bluetooth, hid-generic (hid-input.c: fuzz and flat a
    // 256th and a 16th of a gamepad axis's range): the evtest in
    // github.com/paroj/xpad/issues/79 (17 keys with KEY_BACK and KEY_HOMEPAGE)
    // and SDL's mapping 050000005e040000fd02000003090000 (6 axes: the sticks on
    // X, Y, Z, RZ, the triggers on GAS and BRAKE; guide b16, back b15).
    table.push_back({Bluetooth("XboxOneSBluetooth", 0x045e, 0x02fd, 0x0903, "98:7a:14:11:22:33",
                               {Node{"Xbox Wireless Controller",
                                     {HidAxis(ABS_X, 0, 65535, 32768), HidAxis(ABS_Y, 0, 65535, 32768),
                                      HidAxis(ABS_Z, 0, 65535, 32768), HidAxis(ABS_RZ, 0, 65535, 32768),
                                      HidAxis(ABS_GAS, 0, 1023), HidAxis(ABS_BRAKE, 0, 1023), kHatX, kHatY},
                                     Join({kFifteenGamepadButtons, {KEY_BACK, KEY_HOMEPAGE}}),
                                     {},
                                     {},
                                     {MSC_SCAN},
                                     {},
                                     {"ID_INPUT_JOYSTICK", "ID_INPUT_KEY"}}}),
                     Abs(0, ABS_X, 60000), Key(0, BTN_SOUTH)});
    table.push_back({Usb("DualShock4Usb", 0x054c, 0x09cc, 0x8111, "Sony Interactive Entertainment",
                         "Wireless Controller", "", true,
                         DualShock4Nodes("Sony Interactive Entertainment Wireless Controller", 3)),
                     Abs(2, ABS_X, 250), Key(2, BTN_SOUTH)});
    table.push_back({Bluetooth("DualShock4Bluetooth", 0x054c, 0x09cc, 0x8100, "a4:53:85:11:22:33",
                               DualShock4Nodes("Wireless Controller", 0)),
                     Abs(2, ABS_X, 10), Key(2, BTN_EAST)});
    table.push_back({Usb("DualShock3Usb", 0x054c, 0x0268, 0x0111, "Sony", "PLAYSTATION(R)3 Controller", "", true,
                         DualShock3Nodes("Sony PLAYSTATION(R)3 Controller")),
                     Abs(1, ABS_X, 255), Key(1, BTN_DPAD_LEFT)});
    table.push_back({Bluetooth("DualShock3Bluetooth", 0x054c, 0x0268, 0x0000, "00:26:5c:11:22:33",
                               DualShock3Nodes("Sony PLAYSTATION(R)3 Controller")),
                     Abs(1, ABS_X, 0), Key(1, BTN_SOUTH)});
    {
        // The receiver: interface 0 is its lizard-mode keyboard and mouse in
        // one HID device that hid-steam hands to hid-input without a node per
        // application, so one node named for the USB strings ("the global
        // mouse/keyboard device from the receiver",
        // github.com/cvuchener/steamcontroller-linux-kernel/issues/2);
        // interfaces 1-4 are the pads' vendor interfaces, and hid-steam.c
        // (steam_input_register) registers "Wireless Steam Controller" on the
        // first when a pad connects.
        Node lizard{"Valve Software Steam Controller",
                    {},
                    Join({Range(KEY_ESC, KEY_KPDOT), {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE}}),
                    {REL_X, REL_Y, REL_WHEEL},
                    {},
                    {MSC_SCAN},
                    {},
                    {"ID_INPUT_KEY", "ID_INPUT_KEYBOARD", "ID_INPUT_MOUSE"},
                    0};
        constexpr int kPadFuzz = 256, kStickResolution = 51, kPadResolution = 1638, kTriggerResolution = 51;
        Node pad{"Wireless Steam Controller",
                 {{ABS_X, -32767, 32767, 0, 0, 0, kStickResolution},
                  {ABS_Y, -32767, 32767, 0, 0, 0, kStickResolution},
                  {ABS_RX, -32767, 32767, 0, kPadFuzz, 0, kPadResolution},
                  {ABS_RY, -32767, 32767, 0, kPadFuzz, 0, kPadResolution},
                  {ABS_HAT0X, -32767, 32767, 0, kPadFuzz, 0, kPadResolution},
                  {ABS_HAT0Y, -32767, 32767, 0, kPadFuzz, 0, kPadResolution},
                  {ABS_HAT2X, 0, 255, 0, 0, 0, kTriggerResolution},
                  {ABS_HAT2Y, 0, 255, 0, 0, 0, kTriggerResolution}},
                 Join({{BTN_A, BTN_B, BTN_X, BTN_Y, BTN_TL, BTN_TR, BTN_TL2, BTN_TR2, BTN_SELECT, BTN_START, BTN_MODE,
                        BTN_THUMBL, BTN_THUMBR, BTN_THUMB, BTN_THUMB2, BTN_GEAR_DOWN, BTN_GEAR_UP},
                       Range(BTN_DPAD_UP, BTN_DPAD_RIGHT)}),
                 {},
                 {},
                 {},
                 {},
                 {"ID_INPUT_JOYSTICK"},
                 1};
        table.push_back({Usb("SteamControllerDongle", 0x28de, 0x1142, 0x0111, "Valve Software",
                             "Steam Controller", "", true, {lizard, pad}),
                         Abs(1, ABS_X, 30000), Key(1, BTN_GEAR_UP)});
    }
    // hid-nintendo.c (joycon_input_create): the pad, then the IMU with
    // JC_IMU_MAX_ACCEL_MAG 32767 at 4096 a g, JC_IMU_MAX_GYRO_MAG 32767000 at
    // 14247 a degree per second, fuzz 10, flat 0; sticks JC_MAX_STICK_MAG
    // 32767, fuzz 250, flat 500; the d-pad a hat.
    table.push_back(
        {Usb("SwitchPro", 0x057e, 0x2009, 0x8111, "Nintendo Co., Ltd.", "Pro Controller", "000000000001", true,
             {Node{"Nintendo Switch Pro Controller",
                   {{ABS_X, -32767, 32767, 0, 250, 500},
                    {ABS_Y, -32767, 32767, 0, 250, 500},
                    {ABS_RX, -32767, 32767, 0, 250, 500},
                    {ABS_RY, -32767, 32767, 0, 250, 500},
                    kHatX,
                    kHatY},
                   {BTN_SELECT, BTN_Z, BTN_THUMBL, BTN_START, BTN_MODE, BTN_THUMBR, BTN_SOUTH, BTN_EAST, BTN_NORTH,
                    BTN_WEST, BTN_TL, BTN_TR, BTN_TL2, BTN_TR2},
                   {},
                   {},
                   {},
                   {},
                   {"ID_INPUT_JOYSTICK"}},
              MotionSensors("Nintendo Switch Pro Controller IMU", 32767, 4096, 32767000, 14247, 10, 0)}),
         Abs(0, ABS_X, -30000), Key(0, BTN_Z)});
    // Version 0x600 as in the Classic Controller's evtest in
    // github.com/RPCS3/rpcs3/issues/8089; the Nunchuk's stick on HAT0 at
    // -120..120 and its accelerometer on RX, RY, RZ (wiimod_nunchuk_probe), the
    // Classic Controller's sticks and triggers on HAT1-HAT3 at -30..30, fuzz 1,
    // flat 1 (wiimod_classic_probe).
    table.push_back({Bluetooth("WiiRemoteNunchuk", 0x057e, 0x0306, 0x0600, "00:1f:32:11:22:33",
                               WiiRemoteNodes(Node{"Nintendo Wii Remote Nunchuk",
                                                   {{ABS_HAT0X, -120, 120, 0, 2, 4},
                                                    {ABS_HAT0Y, -120, 120, 0, 2, 4},
                                                    {ABS_RX, -500, 500, 0, 2, 4},
                                                    {ABS_RY, -500, 500, 0, 2, 4},
                                                    {ABS_RZ, -500, 500, 100, 2, 4}},
                                                   {BTN_C, BTN_Z},
                                                   {},
                                                   {},
                                                   {},
                                                   {},
                                                   {"ID_INPUT_JOYSTICK"}})),
                     Abs(3, ABS_HAT0X, 100), Key(2, BTN_1)});
    table.push_back({Bluetooth("WiiRemoteClassic", 0x057e, 0x0306, 0x0600, "00:1f:32:44:55:66",
                               WiiRemoteNodes(Node{"Nintendo Wii Remote Classic Controller",
                                                   {{ABS_HAT1X, -30, 30, 0, 1, 1},
                                                    {ABS_HAT1Y, -30, 30, 0, 1, 1},
                                                    {ABS_HAT2X, -30, 30, 0, 1, 1},
                                                    {ABS_HAT2Y, -30, 30, 0, 1, 1},
                                                    {ABS_HAT3X, -30, 30, 0, 1, 1},
                                                    {ABS_HAT3Y, -30, 30, 0, 1, 1}},
                                                   {BTN_A, BTN_B, BTN_X, BTN_Y, BTN_TL, BTN_TR, BTN_TL2, BTN_TR2,
                                                    BTN_MODE, KEY_NEXT, KEY_PREVIOUS, KEY_LEFT, KEY_RIGHT, KEY_UP,
                                                    KEY_DOWN},
                                                   {},
                                                   {},
                                                   {},
                                                   {},
                                                   {"ID_INPUT_JOYSTICK", "ID_INPUT_KEY"}})),
                     Abs(3, ABS_HAT1X, -25), Key(3, KEY_NEXT)});
    // Logitech G29 in its own mode under hid-logitech (hid-lg.c, hid-lg4ff.c):
    // /proc/bus/input/devices in github.com/dbcometto/ros_g29_force_feedback
    // (bens-notes.md: 046d:c24f version 0111, ABS=30027, KEY=1ff .. ffff00000000
    // .., MSC=10: X, Y, Z, RZ, the hat and 25 buttons); the wheel on X
    // (0..65535, fuzz 255, flat 4095 as in the G923's evtest in
    // github.com/mescon/logitech-trueforce-linux-driver/issues/67), the
    // pedals on Z (gas), RZ (brake) and Y (clutch), 0..255, resting at 255
    // and going to 0 when pressed (the same thread; jayhsu0627/BLUE_hardware
    // doc/Python.md).
    table.push_back({Usb("RacingWheel", 0x046d, 0xc24f, 0x0111, "Logitech", "G29 Driving Force Racing Wheel", "", true,
                         {Node{"Logitech G29 Driving Force Racing Wheel",
                               {HidAxis(ABS_X, 0, 65535, 32768), HidAxis(ABS_Y, 0, 255, 255),
                                HidAxis(ABS_Z, 0, 255, 255), HidAxis(ABS_RZ, 0, 255, 255), kHatX, kHatY},
                               Join({Range(BTN_TRIGGER, BTN_DEAD), Range(BTN_TRIGGER_HAPPY1, BTN_TRIGGER_HAPPY9)}),
                               {},
                               {},
                               {MSC_SCAN},
                               {},
                               {"ID_INPUT_JOYSTICK"}}}),
                     Abs(0, ABS_X, 10000), Key(0, BTN_TRIGGER_HAPPY9)});
    // Logitech-made X52 Pro: USB strings "Logitech" / "X52 Professional
    // H.O.T.A.S.", two CDC interfaces before the HID one
    // (github.com/nirenjan/libx52/issues/47 and /50); its report
    // (libx52 docs/specs/x52pro_controller_map.md): X, Y, twist 10 bits,
    // throttle, two rotaries and a slider 8 bits, 39 buttons, a hat, the
    // thumb mouse 4+4 bits on the Game Controls page, which hid-input puts on
    // ABS_MISC and ABS_MISC+1 (libx52 issue 40). Joystick application: fuzz and
    // flat a 256th and a 16th of the range; buttons past 16 on
    // BTN_TRIGGER_HAPPY.
    table.push_back({Usb("FlightStick", 0x06a3, 0x0762, 0x0111, "Logitech", "X52 Professional H.O.T.A.S.", "", true,
                         {Node{"Logitech X52 Professional H.O.T.A.S.",
                               {HidAxis(ABS_X, 0, 1023, 512), HidAxis(ABS_Y, 0, 1023, 512), HidAxis(ABS_Z, 0, 255),
                                HidAxis(ABS_RX, 0, 255), HidAxis(ABS_RY, 0, 255), HidAxis(ABS_RZ, 0, 1023, 512),
                                HidAxis(ABS_THROTTLE, 0, 255), kHatX, kHatY, HidAxis(ABS_MISC, 0, 15, 7),
                                HidAxis(ABS_MISC + 1, 0, 15, 7)},
                               Join({Range(BTN_TRIGGER, BTN_DEAD), Range(BTN_TRIGGER_HAPPY1, BTN_TRIGGER_HAPPY23)}),
                               {},
                               {},
                               {MSC_SCAN},
                               {},
                               {"ID_INPUT_JOYSTICK"},
                               2}}),
                     Abs(0, ABS_X, 1000), Key(0, BTN_TRIGGER_HAPPY23)});
    // 8BitDo Pro 2 in X-input mode: xpad.c's table entry 2dc8:3106
    // "8BitDo Ultimate Wireless / Pro 2 Wired Controller", XTYPE_XBOX360, so
    // xpad's Xbox 360 layout; version 0x0114 as in SDL's mapping
    // 03000000c82d00000631000014010000.
    table.push_back({Usb("EightBitDoPro2", 0x2dc8, 0x3106, 0x0114, "8BitDo", "8BitDo Pro 2 Wired Controller", "",
                         false, {Xbox360Pad("8BitDo Ultimate Wireless / Pro 2 Wired Controller", 0, false)}),
                     Abs(0, ABS_X, -25000), Key(0, BTN_TR)});
    table.push_back(
        {Usb("UsbKeyboardWithMediaKeys", 0x045e, 0x0750, 0x0111, "Microsoft", "Wired Keyboard 600", "", true,
             {Node{"Microsoft Wired Keyboard 600",
                   {},
                   FullKeyboardKeys(),
                   {},
                   {},
                   {MSC_SCAN},
                   {},
                   {"ID_INPUT_KEY", "ID_INPUT_KEYBOARD"},
                   0},
              Node{"Microsoft Wired Keyboard 600 Consumer Control",
                   {{ABS_VOLUME, 0, 572}},
                   {KEY_MUTE, KEY_VOLUMEDOWN, KEY_VOLUMEUP, KEY_STOP, KEY_CALC, KEY_MAIL, KEY_BOOKMARKS, KEY_BACK,
                    KEY_FORWARD, KEY_EJECTCD, KEY_NEXTSONG, KEY_PLAYPAUSE, KEY_PREVIOUSSONG, KEY_STOPCD, KEY_REFRESH,
                    KEY_HOMEPAGE, KEY_SEARCH, KEY_MEDIA, KEY_UNKNOWN},
                   {REL_HWHEEL},
                   {},
                   {MSC_SCAN},
                   {},
                   {"ID_INPUT_KEY"},
                   1},
              Node{"Microsoft Wired Keyboard 600 System Control",
                   {},
                   {KEY_POWER, KEY_SLEEP, KEY_WAKEUP},
                   {},
                   {},
                   {MSC_SCAN},
                   {},
                   {"ID_INPUT_KEY"},
                   1}}),
         Key(0, KEY_LEFT), Key(1, KEY_MUTE)});
    table.push_back(
        {Device{"LaptopKeyboard", Bus::kPS2, 0x0001, 0x0001, 0xab83, "", "", "", "/devices/platform/i8042/serio0",
                false,
                {Node{"AT Translated Set 2 keyboard",
                      {},
                      Join({Range(KEY_ESC, KEY_KPDOT), Range(KEY_ZENKAKUHANKAKU, KEY_F12), Range(KEY_RO, KEY_KPJPCOMMA),
                            Range(KEY_KPENTER, KEY_DELETE), Range(KEY_MUTE, KEY_KPEQUAL), {KEY_PAUSE},
                            Range(KEY_KPCOMMA, KEY_COMPOSE), {KEY_CALC, KEY_SLEEP, KEY_WAKEUP, KEY_WWW, KEY_PROG1},
                            {KEY_MAIL, KEY_BOOKMARKS, KEY_BACK, KEY_FORWARD, KEY_NEXTSONG, KEY_PLAYPAUSE},
                            {KEY_PREVIOUSSONG, KEY_STOPCD, KEY_REFRESH, KEY_SEARCH, KEY_BRIGHTNESSDOWN},
                            {KEY_BRIGHTNESSUP, KEY_MEDIA, KEY_UNKNOWN, KEY_FN}}),
                      {},
                      {},
                      {MSC_SCAN},
                      {},
                      {"ID_INPUT_KEY", "ID_INPUT_KEYBOARD"}}}},
         Key(0, KEY_LEFT), Key(0, KEY_VOLUMEUP)});
    table.push_back({Device{"Touchpad",
                            Bus::kI2C,
                            0x06cb,
                            0xcd8b,
                            0x0100,
                            "",
                            "",
                            "",
                            "/devices/pci0000:00/0000:00:15.1/i2c_designware.1/i2c-2/i2c-SYNA8004:00",
                            true,
                            {Node{"SYNA8004:00 06CB:CD8B Mouse",
                                  {},
                                  {BTN_LEFT, BTN_RIGHT},
                                  {REL_X, REL_Y},
                                  {},
                                  {MSC_SCAN},
                                  {},
                                  {"ID_INPUT_MOUSE"}},
                             Node{"SYNA8004:00 06CB:CD8B Touchpad",
                                  {{ABS_X, 0, 3236, 0, 0, 0, 32},
                                   {ABS_Y, 0, 1868, 0, 0, 0, 32},
                                   {ABS_MT_SLOT, 0, 4},
                                   {ABS_MT_POSITION_X, 0, 3236, 0, 0, 0, 32},
                                   {ABS_MT_POSITION_Y, 0, 1868, 0, 0, 0, 32},
                                   {ABS_MT_TOOL_TYPE, 0, 2},
                                   {ABS_MT_TRACKING_ID, 0, 65535}},
                                  {BTN_LEFT, BTN_TOOL_FINGER, BTN_TOOL_QUINTTAP, BTN_TOUCH, BTN_TOOL_DOUBLETAP,
                                   BTN_TOOL_TRIPLETAP, BTN_TOOL_QUADTAP},
                                  {},
                                  {INPUT_PROP_POINTER, INPUT_PROP_BUTTONPAD},
                                  {MSC_TIMESTAMP},
                                  {},
                                  {"ID_INPUT_TOUCHPAD"}}}},
                     Abs(1, ABS_X, 3000), Key(1, BTN_LEFT)});
    return table;
}
// clang-format on

// --- sysfs and ioctl descriptions

std::string HexBytes(const void* data, size_t size)
{
    std::string text;
    char byte[3];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof byte, "%02x", static_cast<const unsigned char*>(data)[i]);
        text += byte;
    }
    return text;
}

// A bit set as the kernel fills an ioctl buffer of size bytes.
std::string BitBytes(const std::vector<unsigned int>& bits, size_t size)
{
    std::vector<unsigned char> bytes(size, 0);
    for (unsigned int bit : bits)
        if (bit / 8 < size)
            bytes[bit / 8] |= uint8_t(1u << (bit % 8));
    return HexBytes(bytes.data(), size);
}

// A bit set as sysfs shows it: longs in hexadecimal, the most significant
// first, leading zero longs left out.
std::string SysfsMask(const std::vector<unsigned int>& bits)
{
    constexpr unsigned int kWordBits = sizeof(unsigned long) * 8;
    std::vector<unsigned long> words(1, 0);
    for (unsigned int bit : bits) {
        if (bit / kWordBits >= words.size())
            words.resize(bit / kWordBits + 1, 0);
        words[bit / kWordBits] |= 1ul << (bit % kWordBits);
    }
    std::string text;
    char word[24];
    for (size_t i = words.size(); i-- > 0;) {
        std::snprintf(word, sizeof word, "%lx", words[i]);
        text += text.empty() ? word : std::string(" ") + word;
    }
    return text;
}

std::string Text(const std::string& text, size_t size)
{
    std::vector<char> bytes(size, 0);
    std::memcpy(bytes.data(), text.data(), std::min(text.size(), size - 1));
    return HexBytes(bytes.data(), size);
}

std::vector<unsigned int> EventTypes(const Node& node)
{
    std::vector<unsigned int> types{EV_SYN};
    if (!node.keys.empty())
        types.push_back(EV_KEY);
    if (!node.rels.empty())
        types.push_back(EV_REL);
    if (!node.axes.empty())
        types.push_back(EV_ABS);
    if (!node.msc.empty())
        types.push_back(EV_MSC);
    if (!node.sw.empty())
        types.push_back(EV_SW);
    return types;
}

std::vector<unsigned int> AxisCodes(const Node& node)
{
    std::vector<unsigned int> codes;
    for (const Axis& axis : node.axes)
        codes.push_back(axis.code);
    return codes;
}

std::string IoctlScript(const std::string& devnode, const Node& node, uint16_t bus, const Device& device,
                        const std::string& phys, const std::string& uniq)
{
    std::string script = "@DEV " + devnode + " (evdev)\n";
    auto line = [&](const std::string& text) { script += text + "\n"; };
    line("EVIOCGBIT(0) 8 " + BitBytes(EventTypes(node), 8));
    line("EVIOCGNAME(0) 255 " + Text(node.name, 255));
    line("EVIOCGPHYS(0) 255 " + Text(phys, 255));
    line("EVIOCGUNIQ(0) 255 " + Text(uniq, 255));
    const uint16_t id[4] = {bus, uint16_t(device.vendor), uint16_t(device.product), uint16_t(device.version)};
    line("EVIOCGID 0 " + HexBytes(id, sizeof id));
    const int version = EV_VERSION;
    line("EVIOCGVERSION 0 " + HexBytes(&version, sizeof version));
    line("EVIOCGPROP(0) 8 " + BitBytes(node.props, 8));
    line("EVIOCGBIT(1) 96 " + BitBytes(node.keys, 96));
    line("EVIOCGBIT(2) 8 " + BitBytes(node.rels, 8));
    line("EVIOCGBIT(3) 8 " + BitBytes(AxisCodes(node), 8));
    line("EVIOCGBIT(4) 8 " + BitBytes(node.msc, 8));
    line("EVIOCGBIT(5) 8 " + BitBytes(node.sw, 8));
    line("EVIOCGBIT(17) 8 " + BitBytes({}, 8));
    line("EVIOCGBIT(18) 8 " + BitBytes({}, 8));
    line("EVIOCGBIT(21) 16 " + BitBytes({}, 16));
    line("EVIOCGKEY(0) 96 " + BitBytes({}, 96));
    line("EVIOCGLED(0) 8 " + BitBytes({}, 8));
    line("EVIOCGSW(0) 8 " + BitBytes({}, 8));
    for (const Axis& axis : node.axes) {
        const int32_t info[6] = {axis.value, axis.min, axis.max, axis.fuzz, axis.flat, axis.resolution};
        line("EVIOCGABS(" + std::to_string(axis.code) + ") 24 " + HexBytes(info, sizeof info));
    }
    return script;
}

uint16_t KernelBus(Bus bus)
{
    switch (bus) {
    case Bus::kUSB:
        return BUS_USB;
    case Bus::kBluetooth:
        return BUS_BLUETOOTH;
    case Bus::kPS2:
        return BUS_I8042;
    case Bus::kI2C:
        return BUS_I2C;
    case Bus::kHost:
        return BUS_HOST;
    }
    return 0;
}

std::string Hex4(unsigned int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFF);
    return text;
}

int OpenUp(const char* path, const struct stat* info, int type, FTW*)
{
    chmod(path, type == FTW_D ? 0755 : (info->st_mode & 0777) | 0666);
    return 0;
}

} // namespace

const std::vector<Controller>& Table()
{
    static const std::vector<Controller> table = MakeTable();
    return table;
}

Device At(Device device, const std::string& place)
{
    device.place = place;
    return device;
}

Testbed::Testbed() : testbed_(umockdev_testbed_new()) {}

Testbed::~Testbed()
{
    g_object_unref(testbed_);
}

std::vector<std::string> Testbed::Add(const Device& device)
{
    std::string description;
    // Each sysfs device once, with its attributes and properties.
    auto describe = [&](const std::string& path, const std::vector<std::string>& lines) {
        if (std::find(written_.begin(), written_.end(), path) != written_.end())
            return;
        written_.push_back(path);
        description += "P: " + path + "\n";
        for (const std::string& text : lines)
            description += text + "\n";
        description += "\n";
    };
    const uint16_t bus = KernelBus(device.bus);
    std::string physicalParent = device.place; // where the HID device or the input devices hang
    std::string phys, uniq;
    std::map<int, std::string> interfaces;
    std::string adapterAddress = "00:1a:7d:da:71:13";
    if (device.bus == Bus::kUSB) {
        const std::string busNumber = device.place.substr(0, device.place.find('-'));
        const std::string usb = "/devices/pci0000:00/0000:00:14.0/usb" + busNumber + "/" + device.place;
        describe(usb, {"E: SUBSYSTEM=usb", "E: DEVTYPE=usb_device", "A: busnum=" + busNumber, "A: devnum=7",
                       "A: idVendor=" + Hex4(device.vendor), "A: idProduct=" + Hex4(device.product),
                       "A: manufacturer=" + device.manufacturer, "A: product=" + device.usbProduct,
                       device.serial.empty() ? "" : "A: serial=" + device.serial});
        for (const Node& node : device.nodes) {
            const std::string interface = usb + "/" + device.place + ":1." + std::to_string(node.interface);
            interfaces[node.interface] = interface;
            char number[8];
            std::snprintf(number, sizeof number, "%02x", node.interface);
            describe(interface,
                     {"E: SUBSYSTEM=usb", "E: DEVTYPE=usb_interface", std::string("A: bInterfaceNumber=") + number});
        }
    } else if (device.bus == Bus::kBluetooth) {
        // A USB adapter with an identity of its own that the pad must not get.
        const std::string usb = "/devices/pci0000:00/0000:00:14.0/usb1/1-10";
        describe(usb, {"E: SUBSYSTEM=usb", "E: DEVTYPE=usb_device", "A: busnum=1", "A: devnum=3", "A: idVendor=8087",
                       "A: idProduct=0026", "A: manufacturer=Intel Corp.", "A: product=AX201 Bluetooth",
                       "A: serial=ADAPTER0001"});
        describe(usb + "/1-10:1.0", {"E: SUBSYSTEM=usb", "E: DEVTYPE=usb_interface", "A: bInterfaceNumber=00"});
        describe(usb + "/1-10:1.0/bluetooth/hci0", {"E: SUBSYSTEM=bluetooth", "E: DEVTYPE=host"});
        physicalParent = usb + "/1-10:1.0/bluetooth/hci0/hci0:" + std::to_string(255 + nextHid_);
        describe(physicalParent, {"E: SUBSYSTEM=bluetooth", "E: DEVTYPE=link"});
        uniq = device.place;
        phys = adapterAddress;
    }
    if (device.bus != Bus::kBluetooth && device.bus != Bus::kUSB)
        describe(device.place, {device.bus == Bus::kPS2 ? "E: SUBSYSTEM=serio" : "E: SUBSYSTEM=i2c"});

    std::vector<std::string> nodes;
    std::map<std::string, std::string> hidDevices; // by parent
    for (const Node& node : device.nodes) {
        std::string parent = device.bus == Bus::kUSB ? interfaces[node.interface] : physicalParent;
        if (device.viaHid) {
            auto found = hidDevices.find(parent);
            if (found == hidDevices.end()) {
                char name[32];
                std::snprintf(name, sizeof name, "%04X:%04X:%04X.%04X", bus, device.vendor, device.product, nextHid_++);
                const std::string hid = parent + "/" + name;
                describe(hid, {"E: SUBSYSTEM=hid",
                               std::string("E: HID_ID=") + Hex4(bus) + ":0000" + Hex4(device.vendor) + ":0000" +
                                   Hex4(device.product),
                               "E: HID_NAME=" + node.name, "E: HID_PHYS=" + phys, "E: HID_UNIQ=" + uniq});
                found = hidDevices.emplace(parent, hid).first;
            }
            parent = found->second;
        }
        const int number = nextNode_++;
        if (device.bus == Bus::kUSB)
            phys = "usb-0000:00:14.0-" + device.place.substr(device.place.find('-') + 1) + "/input" +
                   std::to_string(node.interface);
        const std::string input = parent + "/input/input" + std::to_string(number + 10);
        const std::string event = input + "/event" + std::to_string(number);
        const std::string devnode = "/dev/input/event" + std::to_string(number);
        std::vector<std::string> classes{"E: SUBSYSTEM=input", "E: ID_INPUT=1"};
        for (const std::string& flag : node.classes)
            classes.push_back("E: " + flag + "=1");
        std::vector<std::string> inputLines = classes;
        for (const std::string& attribute :
             {"name=" + node.name, "phys=" + phys, "uniq=" + uniq, "id/bustype=" + Hex4(bus),
              "id/vendor=" + Hex4(device.vendor), "id/product=" + Hex4(device.product),
              "id/version=" + Hex4(device.version), "capabilities/ev=" + SysfsMask(EventTypes(node)),
              "capabilities/key=" + SysfsMask(node.keys), "capabilities/abs=" + SysfsMask(AxisCodes(node)),
              "capabilities/rel=" + SysfsMask(node.rels), "capabilities/msc=" + SysfsMask(node.msc),
              "capabilities/sw=" + SysfsMask(node.sw), "properties=" + SysfsMask(node.props)})
            inputLines.push_back("A: " + attribute);
        describe(input, inputLines);
        std::vector<std::string> eventLines = classes;
        eventLines.push_back("N: input/event" + std::to_string(number));
        eventLines.push_back("E: DEVNAME=" + devnode);
        describe(event, eventLines);

        const std::string script = scratch_ / (std::to_string(added_.size()) + ".ioctl");
        std::ofstream(script) << IoctlScript(devnode, node, bus, device, phys, uniq);
        added_.push_back(
            {devnode, std::find(node.classes.begin(), node.classes.end(), "ID_INPUT_JOYSTICK") != node.classes.end()});
        nodes.push_back(devnode);
    }
    // Empty attribute lines (a device without serial) are left out.
    std::string cleaned;
    for (size_t start = 0; start < description.size();) {
        const size_t end = description.find('\n', start);
        const std::string text = description.substr(start, end - start);
        if (text != "A: serial=" && text != "")
            cleaned += text + "\n";
        else if (text.empty())
            cleaned += "\n";
        start = end + 1;
    }
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, cleaned.c_str(), &error))
        throw std::runtime_error(error->message);
    for (size_t i = added_.size() - nodes.size(); i < added_.size(); ++i) {
        const std::string script = scratch_ / (std::to_string(i) + ".ioctl");
        if (!umockdev_testbed_load_ioctl(testbed_, added_[i].devnode.c_str(), script.c_str(), &error))
            throw std::runtime_error(error->message);
    }
    SetDesktopUser(false);
    return nodes;
}

void Testbed::SetDesktopUser(bool desktop)
{
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    nftw(root, OpenUp, 16, FTW_PHYS);
    for (const Added& node : added_)
        chmod((std::string(root) + node.devnode).c_str(), desktop && !node.joystick ? 0 : 0666);
    g_free(root);
}

void Testbed::Play(const std::vector<std::string>& nodes, const std::vector<std::pair<Move, double>>& moves)
{
    std::map<size_t, std::string> scripts;
    for (const auto& [move, delay] : moves) {
        char line[96];
        std::snprintf(line, sizeof line, "E: %.6f %04x %04x %d\nE: %.6f 0000 0000 0\n", delay, move.type, move.code,
                      move.value, delay);
        if (!scripts.count(move.node))
            scripts[move.node] = "# EVEMU 1.3\nE: 0.000000 0000 0000 0\n";
        scripts[move.node] += line;
    }
    for (const auto& [node, script] : scripts) {
        const std::string& devnode = nodes.at(node);
        if (std::find(played_.begin(), played_.end(), devnode) != played_.end())
            throw std::logic_error("events for " + devnode + " were played already");
        played_.push_back(devnode);
        const std::string path = scratch_ / "events.evemu";
        std::ofstream(path) << script;
        GError* error = nullptr;
        if (!umockdev_testbed_load_evemu_events(testbed_, devnode.c_str(), path.c_str(), &error))
            throw std::runtime_error(error->message);
        std::remove(path.c_str());
    }
}

} // namespace controllers
