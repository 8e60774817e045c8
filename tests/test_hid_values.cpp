// Element values through the device interface, with the fix-up of values
// above the logical maximum and auto-calibration; calibration and scaling in
// single precision with truncation toward zero.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "HID_Config_Utilities.h"
#include "HID_Fixture.h"

using namespace hidtest;

namespace {

recElement RangedRecord(int32_t min, int32_t max)
{
    recElement element{};
    element.min = min;
    element.max = max;
    element.minReport = max;
    element.maxReport = min;
    element.userMin = kDefaultUserMin;
    element.userMax = kDefaultUserMax;
    return element;
}

// A clock that moves half a second at each reading, so that waits measured
// on the uptime clock take no real time.
AbsoluteTime gSteppedNow = 0;
AbsoluteTime SteppingClock()
{
    gSteppedNow += 500000000u;
    return gSteppedNow;
}

constexpr AbsoluteTime kSecond = 1000000000u;

struct SteppingClockInstalled {
    SteppingClockInstalled()
    {
        gSteppedNow = 0;
        FixtureSetUpTimeSource(SteppingClock);
    }
    ~SteppingClockInstalled() { FixtureSetUpTimeSource(nullptr); }
};

// ------------------------------------------------------------ reading

class ElementValues : public RegistryTest {
protected:
    // One device with a signed 8-bit axis (cookie 1), an unsigned 10-bit
    // axis (cookie 2) and a button (cookie 3).
    void SetUp() override
    {
        RegistryTest::SetUp();
        FixtureDevice device = NamedDevice("pad", {hidtest::Ranged(Element(3, 1, 0x30, 1), -128, 127),
                                                   hidtest::Ranged(Element(3, 1, 0x31, 2), 0, 1023),
                                                   hidtest::Ranged(Element(2, 9, 1, 3), 0, 1)});
        mState = device.interface;
        mDevice = BuildOne(device);
        ASSERT_NE(mDevice, nullptr);
        mSigned = HIDGetFirstDeviceElement(mDevice, kHIDElementTypeInput);
        mUnsigned = HIDGetNextDeviceElement(mSigned, kHIDElementTypeInput);
        mButton = HIDGetNextDeviceElement(mUnsigned, kHIDElementTypeInput);
        ASSERT_NE(mButton, nullptr);
    }

    std::shared_ptr<FixtureInterface> mState;
    pRecDevice mDevice = nullptr;
    pRecElement mSigned = nullptr;
    pRecElement mUnsigned = nullptr;
    pRecElement mButton = nullptr;
};

TEST_F(ElementValues, ValuesFollowTheDevice)
{
    mState->values[2] = 700;
    mState->values[3] = 1;
    EXPECT_EQ(HIDGetElementValue(mDevice, mUnsigned), 700);
    EXPECT_EQ(HIDGetElementValue(mDevice, mButton), 1);
    mState->values[3] = 0;
    EXPECT_EQ(HIDGetElementValue(mDevice, mButton), 0);
    EXPECT_EQ(mState->reads, 3);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ElementValues, ValuesAboveMaxOfASignedRangeAreFoldedBack)
{
    const std::vector<std::pair<int32_t, int32_t>> readings{{127, 127}, {200, -56}, {255, -1}, {128, -128}, {-5, -5}};
    for (const auto& [raw, expected] : readings) {
        mState->values[1] = raw;
        EXPECT_EQ(HIDGetElementValue(mDevice, mSigned), expected) << raw;
    }
    // An unsigned range is left alone, even above its maximum.
    mState->values[2] = 2000;
    EXPECT_EQ(HIDGetElementValue(mDevice, mUnsigned), 2000);
}

TEST_F(ElementValues, FirstReadingSetsBothEndsAndLaterOnesWiden)
{
    EXPECT_EQ(mUnsigned->minReport, 1023);
    EXPECT_EQ(mUnsigned->maxReport, 0);
    mState->values[2] = 500;
    HIDGetElementValue(mDevice, mUnsigned);
    EXPECT_EQ(mUnsigned->minReport, 500);
    EXPECT_EQ(mUnsigned->maxReport, 500);
    EXPECT_EQ(HIDCalibrateValue(500, mUnsigned), 500); // observed span 0
    mState->values[2] = 300;
    HIDGetElementValue(mDevice, mUnsigned);
    mState->values[2] = 900;
    HIDGetElementValue(mDevice, mUnsigned);
    mState->values[2] = 600;
    HIDGetElementValue(mDevice, mUnsigned);
    EXPECT_EQ(mUnsigned->minReport, 300);
    EXPECT_EQ(mUnsigned->maxReport, 900);
}

TEST_F(ElementValues, FailedReadGivesZeroAndStillCalibrates)
{
    mState->values[2] = 800;
    HIDGetElementValue(mDevice, mUnsigned);
    mState->valueResult = kIOReturnNoDevice;
    EXPECT_EQ(HIDGetElementValue(mDevice, mUnsigned), 0);
    EXPECT_EQ(mUnsigned->minReport, 0);
    EXPECT_EQ(mUnsigned->maxReport, 800);
    EXPECT_EQ(Messages(), std::vector<std::string>{
                              "Could not get HID element value via getElementValue. #-536870208 (0xe00002c0)"});
}

TEST_F(ElementValues, FoldingAppliesAlsoToAFailedRead)
{
    // With a range below zero, the 0 of a failed read lies above max.
    mSigned->min = -10;
    mSigned->max = -5;
    mState->valueResult = kIOReturnNotOpen;
    EXPECT_EQ(HIDGetElementValue(mDevice, mSigned), -6);
}

TEST_F(ElementValues, BindingWaitsTenSecondsOfTheUptimeClock)
{
    SteppingClockInstalled clock;
    pRecDevice device = mDevice;
    pRecElement element = mSigned;
    EXPECT_FALSE(HIDConfigureAction(&device, &element, 10.0f));
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(element, nullptr);
    EXPECT_GT(gSteppedNow, 10 * kSecond) << "gave up before its time";
    EXPECT_LE(gSteppedNow, 11 * kSecond) << "went on waiting";

    // A movement late in the wait is still taken.
    gSteppedNow = 0;
    mState->beforeRead = [](FixtureInterface& state, IOHIDElementCookie) {
        if (gSteppedNow >= 9 * kSecond + kSecond / 2)
            state.values[1] = 100;
    };
    EXPECT_TRUE(HIDConfigureAction(&device, &element, 10.0f));
    EXPECT_EQ(device, mDevice);
    EXPECT_EQ(element, mSigned);
}

TEST_F(ElementValues, BadArguments)
{
    EXPECT_EQ(HIDGetElementValue(nullptr, mUnsigned), 0);
    EXPECT_EQ(mUnsigned->minReport, 0); // widened to include the 0
    EXPECT_EQ(mUnsigned->maxReport, 0);
    EXPECT_EQ(HIDGetElementValue(mDevice, nullptr), 0);
    EXPECT_EQ(HIDGetElementValue(nullptr, nullptr), 0);
    EXPECT_EQ(mState->reads, 0);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Bad device passed to GetElementValue.",
                                                    "Bad element passed to GetElementValue.",
                                                    "Bad device passed to GetElementValue."}));
}

TEST_F(ElementValues, DeviceWithoutInterfaceReadsZeroAndWidensTheRange)
{
    void* interface = mDevice->interface;
    mDevice->interface = nullptr;
    mState->values[1] = 50;
    recElement positive = RangedRecord(10, 20);
    EXPECT_EQ(HIDGetElementValue(mDevice, &positive), 0);
    EXPECT_EQ(positive.minReport, 0);
    EXPECT_EQ(positive.maxReport, 10);
    mDevice->interface = interface;
    EXPECT_EQ(Messages(),
              std::vector<std::string>{"Did not have interface for device prior to getting element value."});
}

TEST_F(ElementValues, InterfaceThatDidNotOpenReadsZero)
{
    FixtureDevice device = NamedDevice("closed", {hidtest::Ranged(Element(3, 1, 0x30, 1), 0, 255)});
    device.interface->openResult = kIOReturnExclusiveAccess;
    device.interface->values[1] = 77;
    pRecDevice pDevice = BuildOne(device);
    ASSERT_NE(pDevice, nullptr);
    ASSERT_NE(pDevice->interface, nullptr);
    Messages().clear();
    EXPECT_EQ(HIDGetElementValue(pDevice, pDevice->pListElements), 0);
    EXPECT_EQ(CountSaid("Could not get HID element value via getElementValue. #-536870195"), 1);
}

// ------------------------------------------------------------ calibration and scaling

TEST(HIDCalibrateValue, StretchesTheObservedRangeOntoTheLogicalRange)
{
    recElement element = RangedRecord(0, 255);
    element.minReport = 10;
    element.maxReport = 245;
    EXPECT_EQ(HIDCalibrateValue(128, &element), 128);
    EXPECT_EQ(HIDCalibrateValue(245, &element), 255);
    EXPECT_EQ(HIDCalibrateValue(10, &element), 0);
    // Outside the observed range the line goes on.
    EXPECT_EQ(HIDCalibrateValue(0, &element), -10);
}

TEST(HIDCalibrateValue, TruncatesTowardZero)
{
    recElement element = RangedRecord(-100, 100);
    element.minReport = -30;
    element.maxReport = 30;
    EXPECT_EQ(HIDCalibrateValue(-1, &element), -3); // -3.33
    EXPECT_EQ(HIDCalibrateValue(1, &element), 3);   // 3.33
}

TEST(HIDCalibrateValue, DegenerateAndNull)
{
    recElement element = RangedRecord(0, 255);
    element.minReport = element.maxReport = 42;
    EXPECT_EQ(HIDCalibrateValue(42, &element), 42);
    EXPECT_EQ(HIDCalibrateValue(99, &element), 99);
    EXPECT_EQ(HIDCalibrateValue(99, nullptr), 0);
}

TEST(HIDScaleValue, MapsTheLogicalRangeOntoTheDefaultScale)
{
    recElement tenBit = RangedRecord(0, 1023);
    EXPECT_EQ(HIDScaleValue(512, &tenBit), 127);
    EXPECT_EQ(HIDScaleValue(1023, &tenBit), 255);
    EXPECT_EQ(HIDScaleValue(0, &tenBit), 0);
    recElement signedAxis = RangedRecord(-127, 127);
    EXPECT_EQ(HIDScaleValue(-127, &signedAxis), 0);
    EXPECT_EQ(HIDScaleValue(0, &signedAxis), 127);
    EXPECT_EQ(HIDScaleValue(127, &signedAxis), 255);
}

TEST(HIDScaleValue, CallerScaleWithTruncationTowardZero)
{
    recElement element = RangedRecord(0, 255);
    element.userMin = -100;
    element.userMax = 100;
    EXPECT_EQ(HIDScaleValue(-1, &element), -100); // -100.78
    EXPECT_EQ(HIDScaleValue(255, &element), 100);
    EXPECT_EQ(HIDScaleValue(128, &element), 0); // 0.39
}

TEST(HIDScaleValue, ComputesInSinglePrecision)
{
    // 16777217 has no single-precision value; it becomes 16777216.
    recElement element = RangedRecord(0, 3);
    element.userMax = 16777217;
    EXPECT_EQ(HIDScaleValue(3, &element), 16777216);
}

TEST(HIDScaleValue, DegenerateRangeIsLeftAlone)
{
    recElement element = RangedRecord(5, 5);
    EXPECT_EQ(HIDScaleValue(5, &element), 5);
    EXPECT_EQ(HIDScaleValue(-40, &element), -40);
}

} // namespace
