#include <gtest/gtest.h>

#include <string>

#include "Error_Handler.h"
#include "HID_Error_Handler.h"
#include "Test_Support.h"

namespace {

std::string PStr(const unsigned char* p)
{
    return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
}

TEST(CStrToPStr, CopiesTextWithLengthByte)
{
    Str255 out{};
    CStrToPStr(out, "Could not create context\n");
    EXPECT_EQ(out[0], 25);
    EXPECT_EQ(PStr(out), "Could not create context\n");
}

TEST(CStrToPStr, CutsAt255CharactersWithoutOverrun)
{
    unsigned char out[257];
    out[256] = 0xAB; // guard byte just past the Str255
    const std::string longText(400, 'x');
    CStrToPStr(out, longText.c_str());
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(PStr(out), std::string(255, 'x'));
    EXPECT_EQ(out[256], 0xAB);
}

TEST(CStrToPStr, EmptyTextHasLengthZero)
{
    Str255 out;
    out[0] = 7;
    CStrToPStr(out, "");
    EXPECT_EQ(out[0], 0);
}

TEST(ReportError, WritesMessageAndNewlineToStandardError)
{
    StartCapturingStderr();
    ReportError("Could not create context");
    EXPECT_EQ(CapturedStderr(), "Could not create context\n");
}

TEST(ReportError, LongMessageIsCutButKeepsItsLineEnd)
{
    StartCapturingStderr();
    ReportError(std::string(1000, 'm').c_str());
    const std::string printed = CapturedStderr();
    ASSERT_EQ(printed.size(), 255u);
    EXPECT_EQ(printed.back(), '\n');
    EXPECT_EQ(printed.substr(0, 254), std::string(254, 'm'));
}

TEST(HIDReportError, ShowsNothing)
{
    StartCapturingStderr();
    testing::internal::CaptureStdout();
    HIDReportErrorNum("IOObjectRelease error with hidObjectIterator.", -536870206);
    HIDReportErrorNum(std::string(600, 'z').c_str(), 1);
    HIDReportError("Failed to create device interface.");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(CapturedStderr(), "");
}

} // namespace
