// The recorded devices of the umockdev tests (tests/data/umockdev) and the
// steps that set a testbed up from them. The steps assert: call them inside
// ASSERT_NO_FATAL_FAILURE.
#pragma once

#include <gtest/gtest.h>
#include <umockdev.h>

#include <cstdlib>
#include <string>

inline const std::string kUmockdevData = STARDRIFT_TEST_DATA "/umockdev/";

// A new, empty testbed in *testbed. The test runs under umockdev-wrapper.
inline void StartTestbed(UMockdevTestbed** testbed)
{
    ASSERT_NE(std::getenv("LD_PRELOAD"), nullptr) << "run under umockdev-wrapper";
    *testbed = umockdev_testbed_new();
}

// Adds the devices of description, in umockdev's record format.
inline void AddDevices(UMockdevTestbed* testbed, const char* description)
{
    GError* error = nullptr;
    ASSERT_TRUE(umockdev_testbed_add_from_string(testbed, description, &error)) << error->message;
}

// Has the device node answer its ioctls as the recorded script (a file of
// the data folder) says.
inline void LoadIoctl(UMockdevTestbed* testbed, const char* node, const char* script)
{
    GError* error = nullptr;
    ASSERT_TRUE(umockdev_testbed_load_ioctl(testbed, node, (kUmockdevData + script).c_str(), &error)) << error->message;
}
