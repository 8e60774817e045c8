// Numbers of the HID usage tables that the device layer and the Linux
// registry both speak: the usage pages, and the usages that either of them
// names. Element types are in Host_IOKit.h.
#pragma once

#include <cstdint>

// Usage pages.
constexpr int32_t kHIDPage_GenericDesktop = 0x01;
constexpr int32_t kHIDPage_Simulation = 0x02;
constexpr int32_t kHIDPage_KeyboardOrKeypad = 0x07;
constexpr int32_t kHIDPage_Button = 0x09;
constexpr int32_t kHIDPage_Consumer = 0x0C;
constexpr int32_t kHIDPage_Digitizer = 0x0D;
constexpr int32_t kHIDPage_Sensor = 0x20;

// Generic Desktop: devices, then controls (X, Y, Z, Rx, Ry, Rz in a row).
constexpr int32_t kHIDUsage_GD_Mouse = 0x02;
constexpr int32_t kHIDUsage_GD_Joystick = 0x04;
constexpr int32_t kHIDUsage_GD_GamePad = 0x05;
constexpr int32_t kHIDUsage_GD_Keyboard = 0x06;
constexpr int32_t kHIDUsage_GD_X = 0x30;
constexpr int32_t kHIDUsage_GD_Rz = 0x35;
constexpr int32_t kHIDUsage_GD_Slider = 0x36;
constexpr int32_t kHIDUsage_GD_Dial = 0x37;
constexpr int32_t kHIDUsage_GD_Wheel = 0x38;
constexpr int32_t kHIDUsage_GD_Hatswitch = 0x39;
constexpr int32_t kHIDUsage_GD_SystemControl = 0x80;

// Simulation controls.
constexpr int32_t kHIDUsage_Sim_Accelerator = 0xC4;
constexpr int32_t kHIDUsage_Sim_Brake = 0xC5;

// Digitizer: devices, then controls.
constexpr int32_t kHIDUsage_Dig_Pen = 0x02;
constexpr int32_t kHIDUsage_Dig_TouchScreen = 0x04;
constexpr int32_t kHIDUsage_Dig_TouchPad = 0x05;
constexpr int32_t kHIDUsage_Dig_TipPressure = 0x30;
constexpr int32_t kHIDUsage_Dig_XTilt = 0x3D;
constexpr int32_t kHIDUsage_Dig_YTilt = 0x3E;
constexpr int32_t kHIDUsage_Dig_Width = 0x48;

// Consumer.
constexpr int32_t kHIDUsage_Csmr_ConsumerControl = 0x01;
constexpr int32_t kHIDUsage_Csmr_Volume = 0xE0;

// Sensor: the motion device, and acceleration along X, Y, Z in a row.
constexpr int32_t kHIDUsage_Snsr_Motion = 0x70;
constexpr int32_t kHIDUsage_Snsr_AccelerationX = 0x453;
