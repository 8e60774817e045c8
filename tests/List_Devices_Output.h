// What `stardrift --list-devices` prints, for the tests that run it against
// mocked devices (the testbed's environment goes down to the program).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

inline std::string ListDevicesOutput()
{
    const std::string command = "'" STARDRIFT_PROGRAM "' --list-devices";
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    std::string output;
    if (!pipe)
        return output;
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << output;
    return output;
}
