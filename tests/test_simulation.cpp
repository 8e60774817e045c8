#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iomanip>
#include <limits>
#include <vector>

#include "Host_Test_Seams.h"
#include "Sprite_Window.h"
#include "Window_Fixture.h"

namespace {

AbsoluteTime gNow = 0;
AbsoluteTime FakeNow()
{
    return gNow;
}

// A sprite window with n sprites whose ticks are replayed at exact intervals.
// Each test runs in a process of its own, so the step's shared state (previous
// instant, red pulse, smoke cycle) starts fresh in every test.
class Simulation : public testing::Test {
protected:
    void SetUp() override
    {
        gNow = AbsoluteTime(1000) * 1000000000u; // far from the step's initial instant 0
        FixtureSetUpTimeSource(FakeNow);
        std::memset(&record, 0, sizeof record);
        record.zoom = 1.0f;
        std::memset(&image, 0, sizeof image);
        image.imageWidth = 100;
        image.imageHeight = 50;
        image.zoom = 1.0f;
        record.pImageArray = &image;
        record.numImages = 1;
        window = MakeTestWindow(&record);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        DisposeTestWindow(window);
        FixtureSetUpTimeSource(nullptr);
    }
    void Sprites(int n)
    {
        sprites.assign(size_t(n), recSprite{});
        for (int i = 0; i < n; ++i) {
            sprites[size_t(i)].zoom = 1.0f;
            sprites[size_t(i)].imageNum = i >= 3 && i <= 32 ? 3 : 0;
            if (i >= 3 && i <= 32) {
                sprites[size_t(i)].velocityAlpha = -0.6f;
                sprites[size_t(i)].velocityZoom = 0.7f;
                sprites[size_t(i)].velocityR = 10.0f;
            }
        }
        sprites[0].fTakesInput = 1;
        sprites[0].red = 1.0f;
        record.pSpriteArray = sprites.data();
        record.numSprites = n;
    }
    // The first call only takes the time; afterwards every call is one tick.
    void Start() { IdleWindow(window, 0, 0, 0, 0); }
    void Tick(double seconds, int32_t turn = 0, int32_t thrust = 0, bool zin = false, bool zout = false)
    {
        gNow += AbsoluteTime(std::llround(seconds * 1e9));
        IdleWindow(window, turn, thrust, zin, zout);
    }
    recWindow record;
    recImage image;
    std::vector<recSprite> sprites;
    WindowRef window = nullptr;
};

TEST_F(Simulation, FirstTickAfterStartMovesNothing)
{
    Sprites(4);
    sprites[1].velocityX = 100.0f;
    IdleWindow(window, 127, 255, 1, 0);
    EXPECT_EQ(sprites[1].centerX, 0.0f);
    EXPECT_EQ(sprites[0].rotation, 0.0f);
    EXPECT_EQ(record.zoom, 1.0f);
    EXPECT_EQ(record.thrustValue, 0.0f) << "the inputs are not even stored";
    Tick(0.5);
    EXPECT_FLOAT_EQ(sprites[1].centerX, 50.0f);
}

TEST_F(Simulation, StallOfMoreThanTenSecondsSkipsOneTick)
{
    Sprites(2);
    sprites[1].velocityX = 1.0f;
    Start();
    Tick(10.5);
    EXPECT_EQ(sprites[1].centerX, 0.0f);
    Tick(10.0);
    EXPECT_FLOAT_EQ(sprites[1].centerX, 10.0f) << "exactly 10 seconds still counts";
}

TEST_F(Simulation, FullThrustReachesTerminalSpeedUpTheScreen)
{
    Sprites(1);
    Start();
    for (int i = 0; i < 1500; ++i) // 30 seconds
        Tick(0.02, 0, 255);
    // thrust first, then drag of 0.6 per second: v = a (1 - 0.6 dt) / 0.6
    EXPECT_NEAR(sprites[0].velocityY, -1000.0 / 0.6 * (1 - 0.6 * 0.02), 0.5);
    EXPECT_NEAR(sprites[0].velocityX, 0.0, 1e-3);
    EXPECT_LT(sprites[0].centerY, -40000.0f);
    EXPECT_EQ(record.thrustValue, 255.0f);

    const float before = sprites[0].velocityY;
    for (int i = 0; i < 50; ++i) // one second coasting
        Tick(0.02, 0, 0);
    EXPECT_NEAR(sprites[0].velocityY / before, std::pow(1 - 0.6 * 0.02, 50), 1e-4);
}

TEST_F(Simulation, ThrustFollowsTheHeadingClockwise)
{
    Sprites(1);
    sprites[0].rotation = 90.0f; // pointing right on screen
    Start();
    Tick(0.02, 0, 255);
    EXPECT_GT(sprites[0].velocityX, 15.0f);
    EXPECT_NEAR(sprites[0].velocityY, 0.0f, 0.01f);
}

TEST_F(Simulation, FullRightForThreeSecondsTurnsOnceAround)
{
    Sprites(1);
    Start();
    float previous = 0.0f;
    for (int i = 0; i < 150; ++i) {
        Tick(0.02, 127, 0);
        ASSERT_GE(sprites[0].rotation, 0.0f);
        ASSERT_LE(sprites[0].rotation, 360.0f);
        if (i == 74) {
            EXPECT_NEAR(sprites[0].rotation, 180.0f, 0.01f);
        }
        previous = sprites[0].rotation;
    }
    EXPECT_NEAR(std::min(previous, 360.0f - previous), 0.0f, 0.01f);
}

TEST_F(Simulation, RotationBoundsAreKeptInclusive)
{
    Sprites(1);
    sprites[0].rotation = 360.0f;
    Start();
    Tick(0.02);
    EXPECT_EQ(sprites[0].rotation, 360.0f);
    sprites[0].rotation = 0.0f;
    Tick(0.02);
    EXPECT_EQ(sprites[0].rotation, 0.0f);
    Tick(0.02, -127);
    EXPECT_NEAR(sprites[0].rotation, 360.0f - 120.0f * 0.02f, 1e-3);
    sprites[0].rotation = 1000.0f;
    Tick(0.0);
    EXPECT_FLOAT_EQ(sprites[0].rotation, 280.0f);
}

// The normalisation as a plain float loop; only for values where it ends.
float LoopedRotation(float rotation)
{
    while (rotation > 360.0f)
        rotation -= 360.0f;
    while (rotation < 0.0f)
        rotation += 360.0f;
    return rotation;
}

// Same bits: tells 0 from -0 and keeps NaN unequal.
::testing::AssertionResult SameFloat(float expected, float actual, float from)
{
    if (std::memcmp(&expected, &actual, sizeof expected) == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "from " << std::setprecision(10) << from << ": the loop gives " << expected
                                         << ", WrapRotation " << actual;
}

TEST(WrapRotation, GivesWhatTheLoopGivesWhereverItRounds)
{
    // Where a step of 360 rounds differently (every power of two from 2^9
    // on), on both sides of each, on whole turns and at random in between;
    // the loop itself takes up to some ten million steps near 2^33.
    std::vector<float> values = {0.0f,       -0.0f,     360.0f,  720.0f,   -360.0f, 1e-30f, -1e-30f,      359.99997f,
                                 360.00003f, -0.00001f, 1000.0f, -1000.0f, 1e9f,    -1e9f,  8589934080.0f};
    unsigned seed = 12345;
    auto random = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return float((seed >> 8) & 0xFFFFFF) / 16777216.0f;
    };
    for (int e = 9; e <= 32; ++e) {
        const float p = std::ldexp(1.0f, e);
        if (e >= 30) { // each loop takes millions of steps: a few values, one side
            values.insert(values.end(), {p, std::nextafter(p, 0.0f)});
            continue;
        }
        std::vector<float> near = {p, std::nextafter(p, 0.0f), std::nextafter(p, 1e30f), p + 360.0f};
        if (e < 28)
            near.insert(near.end(), {std::round(p / 360.0f) * 360.0f, p + 8.0f, p - 8.0f, p - 360.0f});
        for (int k = 0; k < (e < 28 ? 30 : 1); ++k)
            near.push_back(p * (1.0f + random()));
        for (float v : near) {
            values.push_back(v);
            values.push_back(-v);
        }
    }
    for (float v : values)
        EXPECT_TRUE(SameFloat(LoopedRotation(v), WrapRotation(v), v));
}

TEST(WrapRotation, EndsWhereTheLoopWouldNot)
{
    // From 2^33 on, taking 360 away gives the same float again: the whole
    // turns are dropped exactly instead.
    EXPECT_EQ(WrapRotation(1e10f), 280.0f) << "1e10 = 27777777 turns and 280 degrees";
    EXPECT_EQ(WrapRotation(-1e10f), 80.0f);
    EXPECT_EQ(WrapRotation(8589934592.0f), float(std::fmod(8589934592.0, 360.0)));
    for (float v : {1e30f, -1e30f, 3.4e38f, -3.4e38f}) {
        EXPECT_GE(WrapRotation(v), 0.0f) << v;
        EXPECT_LE(WrapRotation(v), 360.0f) << v;
        EXPECT_FLOAT_EQ(std::fmod(WrapRotation(v) - std::fmod(double(v), 360.0) + 720.0, 360.0), 0.0) << v;
    }
    EXPECT_EQ(WrapRotation(std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_EQ(WrapRotation(-std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_EQ(WrapRotation(std::numeric_limits<float>::quiet_NaN()), 0.0f);
}

TEST_F(Simulation, HugeRotationsOfSteeredSpritesAreBroughtIntoRange)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float rotations[] = {1e10f, 1e30f, inf, std::numeric_limits<float>::quiet_NaN(), -1e30f, -inf};
    Sprites(6);
    for (int i = 0; i < 6; ++i) {
        sprites[size_t(i)].fTakesInput = 1;
        sprites[size_t(i)].rotation = rotations[i];
    }
    Start();
    Tick(0.02, 127, 255); // the turn is lost in the huge values, then they are brought into range
    EXPECT_EQ(sprites[0].rotation, 280.0f);
    EXPECT_EQ(sprites[2].rotation, 0.0f) << "infinity";
    EXPECT_EQ(sprites[3].rotation, 0.0f) << "NaN";
    Tick(0.02, 127, 255);
    EXPECT_NEAR(sprites[0].rotation, 280.0f + 120.0f * 0.02f, 1e-4f);
    EXPECT_NEAR(sprites[3].rotation, 120.0f * 0.02f, 1e-4f) << "and turn on from there";
    for (int tick = 0; tick < 100; ++tick)
        Tick(0.02, 127, 255);
    for (const recSprite& s : sprites) {
        EXPECT_GE(s.rotation, 0.0f);
        EXPECT_LE(s.rotation, 360.0f);
        EXPECT_TRUE(std::isfinite(s.velocityX) && std::isfinite(s.velocityY) && std::isfinite(s.centerX) &&
                    std::isfinite(s.centerY));
    }
}

TEST_F(Simulation, ThreeHundredZoomTicksEachWayStayInRange)
{
    Sprites(1);
    Start();
    for (int i = 0; i < 300; ++i) {
        Tick(1.0, 0, 0, true, false); // doubles, until the ceiling
        ASSERT_TRUE(std::isfinite(record.zoom));
    }
    EXPECT_EQ(record.zoom, kMaxZoom);
    for (int i = 0; i < 300; ++i) {
        Tick(10.0, 0, 0, false, true); // a tenfold drop below 0
        ASSERT_EQ(record.zoom, kMinZoom);
    }
    Tick(10.0, 0, 0, true, true);
    EXPECT_EQ(record.zoom, kMinZoom) << "both keys over a long tick: 0.1 x 11 x -9";
    EXPECT_EQ(LimitZoom(std::numeric_limits<float>::quiet_NaN()), kMinZoom);
    EXPECT_EQ(LimitZoom(std::numeric_limits<float>::infinity()), kMaxZoom);
    EXPECT_EQ(LimitZoom(5.0f), 5.0f);
}

TEST_F(Simulation, PuffEveryThirdTickCyclingThePoolFrom32To3)
{
    Sprites(40);
    Start();
    std::vector<int> puffs;
    std::vector<int> ticksWithPuff;
    for (int tick = 1; tick <= 93; ++tick) {
        Tick(0.02, 0, 255);
        for (int i = 0; i < 40; ++i)
            if (sprites[size_t(i)].alpha == 1.3f) {
                puffs.push_back(i);
                ticksWithPuff.push_back(tick);
            }
    }
    std::vector<int> expected;
    for (int i = 32; i >= 3; --i)
        expected.push_back(i);
    expected.push_back(32);
    EXPECT_EQ(puffs, expected);
    for (size_t k = 0; k < ticksWithPuff.size(); ++k)
        EXPECT_EQ(ticksWithPuff[k], int(3 * (k + 1)));
    for (int i = 33; i < 40; ++i)
        EXPECT_EQ(sprites[size_t(i)].alpha, 0.0f) << "sprites past the pool are never puffs";
}

TEST_F(Simulation, PuffStartsBehindTheShipAtHalfItsSpeed)
{
    Sprites(33);
    sprites[0].centerX = 10.0f;
    sprites[0].centerY = 20.0f;
    sprites[0].zoom = 2.0f;
    image.zoom = 1.5f;
    Start();
    Tick(0.06, 0, 255); // one tick long enough for a puff
    const recSprite& puff = sprites[32];
    ASSERT_EQ(puff.alpha, 1.3f);
    EXPECT_EQ(puff.zoom, 0.2f);
    // 0.4 of the drawn image height (50 * 2 * 1.5) below the ship, placed after the ship moved
    EXPECT_NEAR(puff.centerX, sprites[0].centerX, 1e-3);
    EXPECT_NEAR(puff.centerY, sprites[0].centerY + 50 * 0.4f * 3.0f, 1e-3);
    EXPECT_LT(sprites[0].centerY, 20.0f);
    EXPECT_FLOAT_EQ(puff.velocityY, sprites[0].velocityY * 0.5f);
    EXPECT_GE(puff.rotation, 0.0f);
    EXPECT_LT(puff.rotation, 360.0f);
}

TEST_F(Simulation, NoThrustNoPuffAndSmokeTimeIsKept)
{
    Sprites(33);
    Start();
    Tick(0.04, 0, 255);
    for (int i = 0; i < 20; ++i)
        Tick(0.02, 0, 0);
    for (const recSprite& s : sprites)
        ASSERT_EQ(s.alpha == 1.3f, false);
    Tick(0.02, 0, 255); // 0.04 + 0.02 of thrust
    EXPECT_EQ(sprites[32].alpha, 1.3f);
}

TEST_F(Simulation, SmallWorldsUseOnlyTheSpritesThatExist)
{
    Sprites(6);
    Start();
    std::vector<int> puffs;
    for (int tick = 0; tick < 30; ++tick) {
        Tick(0.06, 0, 255);
        for (int i = 0; i < 6; ++i)
            if (sprites[size_t(i)].alpha == 1.3f)
                puffs.push_back(i);
    }
    ASSERT_GE(puffs.size(), 6u);
    EXPECT_EQ(std::vector<int>(puffs.begin(), puffs.begin() + 6), (std::vector<int>{5, 4, 3, 5, 4, 3}));

    Sprites(3); // no pool at all
    for (int tick = 0; tick < 5; ++tick)
        Tick(0.06, 0, 255);
    for (const recSprite& s : sprites)
        EXPECT_NE(s.alpha, 1.3f);
}

TEST_F(Simulation, NoPuffWhenTheShipsImageIsNotLoaded)
{
    Sprites(33);
    sprites[0].imageNum = 7;
    Start();
    Tick(0.06, 0, 255);
    for (const recSprite& s : sprites)
        EXPECT_NE(s.alpha, 1.3f);
}

TEST_F(Simulation, ZoomKeys)
{
    Sprites(1);
    Start();
    Tick(0.1, 0, 0, true, false);
    EXPECT_FLOAT_EQ(record.zoom, 1.1f);
    record.zoom = 1.0f;
    Tick(0.1, 0, 0, true, true);
    EXPECT_FLOAT_EQ(record.zoom, 0.99f);
    record.zoom = 0.105f;
    Tick(0.1, 0, 0, false, true);
    EXPECT_EQ(record.zoom, 0.1f);
}

TEST_F(Simulation, FirstThreeSpritesKeepAlphaRotationAndZoom)
{
    Sprites(5);
    for (int i = 0; i < 5; ++i) {
        sprites[size_t(i)].alpha = 1.0f;
        sprites[size_t(i)].velocityAlpha = -0.5f;
        sprites[size_t(i)].velocityR = 30.0f;
        sprites[size_t(i)].velocityZoom = 1.0f;
        sprites[size_t(i)].velocityX = 4.0f;
    }
    sprites[0].fTakesInput = 0;
    Start();
    Tick(1.0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sprites[size_t(i)].alpha, 1.0f) << i;
        EXPECT_EQ(sprites[size_t(i)].rotation, 0.0f) << i;
        EXPECT_EQ(sprites[size_t(i)].zoom, 1.0f) << i;
    }
    EXPECT_FLOAT_EQ(sprites[3].alpha, 0.5f);
    EXPECT_FLOAT_EQ(sprites[3].rotation, 30.0f);
    EXPECT_FLOAT_EQ(sprites[3].zoom, 2.0f);
    Tick(1.0);
    Tick(1.0); // alpha went to -0.5 and is then held at 0, without further spin or growth
    EXPECT_EQ(sprites[4].alpha, 0.0f);
    EXPECT_FLOAT_EQ(sprites[4].rotation, 60.0f);
    EXPECT_FLOAT_EQ(sprites[4].centerX, 12.0f) << "a faded puff keeps drifting";
}

TEST_F(Simulation, RedPulseOfTheSteeredSpriteBouncesPerTick)
{
    Sprites(1);
    Start();
    float low = 1.0f, high = 0.0f;
    for (int i = 0; i < 200; ++i) {
        Tick(0.001);
        low = std::min(low, sprites[0].red);
        high = std::max(high, sprites[0].red);
    }
    EXPECT_NEAR(low, 0.3f, 0.016f);
    EXPECT_NEAR(high, 1.0f, 0.016f);
    Tick(0.001);
    const float a = sprites[0].red;
    Tick(0.5);
    EXPECT_NEAR(std::fabs(sprites[0].red - a), 0.015f, 1e-5) << "the step is per tick, not per second";
}

TEST_F(Simulation, WindowWithoutRecordIsNotStepped)
{
    Sprites(2);
    sprites[1].velocityX = 1.0f;
    WindowRef bare = MakeTestWindow(nullptr);
    ASSERT_NE(bare, nullptr);
    Start();
    gNow += 500000000u;
    IdleWindow(bare, 0, 0, 0, 0);
    EXPECT_EQ(sprites[1].centerX, 0.0f);
    DisposeTestWindow(bare);
}

} // namespace
