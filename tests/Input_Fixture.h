// Fixture game pads for the input tests: a device of the fixture registry
// with an application collection of two axes, two buttons and a Z axis.
#pragma once

#include <string>

#include "Host_Fixture_Registry.h"

// Cookies of the pad's elements.
enum : IOHIDElementCookie {
    kPadCollection = 1,
    kPadX = 2,       // 0..255
    kPadY = 3,       // 0..255
    kPadButton1 = 4, // 0..1
    kPadButton2 = 5, // 0..1
    kPadZ = 6,       // 0..1023
};

// A game pad (usage page 1, usage 5) with the given identity.
FixtureDevice FixturePad(int32_t vendorID, int32_t productID, int32_t locationID, const char* product);
// Installs a registry of the given devices and builds the device list of all devices.
void InstallPads(std::initializer_list<FixtureDevice> devices);
// The value the pad's element reads from now on.
void SetPadValue(int device, IOHIDElementCookie cookie, int32_t value);
// The text of control signature/number of the configuration window.
std::string ConfigText(const char (&signature)[5], SInt32 number);
