// Building a window's GL context: the display devices it covers, the
// renderer checks and the failure table, against display and renderer
// fixtures; the software-renderer fallback; the AGL and GL error reports.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Error_Handler.h"
#include "GL_Fixture.h"
#include "GL_Setup.h"
#include "Host_GL_Format.h"
#include "Host_GL_Hooks.h"
#include "Test_Support.h"

namespace {

constexpr GLint kMB = 1024 * 1024;

HostRendererFacts Accelerated(GLint memory, GLint depthModes = AGL_16_BIT)
{
    return HostRendererFacts{1, memory, depthModes};
}

HostRendererFacts Software(GLint memory, GLint depthModes = AGL_16_BIT)
{
    return HostRendererFacts{0, memory, depthModes};
}

HostDisplayDevice Display(Rect rect, std::initializer_list<HostRendererFacts> renderers = {Accelerated(64 * kMB)})
{
    HostDisplayDevice device{};
    device.gdRect = rect;
    device.screen = device.active = true;
    for (const HostRendererFacts& r : renderers)
        device.renderers[device.numRenderers++] = r;
    return device;
}

// The request a sprite window makes, or its variants.
structGLWindowInfo Request(bool acceleratedMust, bool draggable)
{
    structGLWindowInfo info{};
    info.fAcceleratedMust = acceleratedMust;
    info.fDraggable = draggable;
    const GLint attributes[] = {AGL_RGBA, AGL_DOUBLEBUFFER, AGL_ACCELERATED, AGL_DEPTH_SIZE, 16, AGL_NONE};
    std::copy(std::begin(attributes), std::end(attributes), info.aglAttributes);
    return info;
}

class GLSetup : public testing::Test {
protected:
    void SetUp() override
    {
        window = OpenGLTestWindow(nullptr, 200, 160, nullptr);
        ASSERT_NE(window, nullptr);
        SetPortWindowPort(window);
        Rect local{};
        GetWindowPortBounds(window, &local);
        Point topLeft{local.top, local.left}, bottomRight{local.bottom, local.right};
        LocalToGlobal(&topLeft);
        LocalToGlobal(&bottomRight);
        global = Rect{topLeft.v, topLeft.h, bottomRight.v, bottomRight.h};
        ASSERT_EQ(global.right - global.left, 200);
        ASSERT_EQ(global.bottom - global.top, 160);
    }
    void TearDown() override
    {
        for (AGLContext* c : {&context, &other})
            if (*c)
                DestroyGLFromWindow(c, nullptr);
        FixtureUseDisplays(nullptr, 0);
        FixtureRefuseContextSharing(false);
        CloseGLTestWindow(window);
    }
    void UseDisplays(std::initializer_list<HostDisplayDevice> devices)
    {
        displays.assign(devices);
        FixtureUseDisplays(displays.data(), int32_t(displays.size()));
    }
    // The window's rectangle cut at fraction f of its width: left or right part.
    Rect Left(double f) const { return Rect{global.top, global.left, global.bottom, int16_t(global.left + 200 * f)}; }
    Rect Right(double f) const { return Rect{global.top, int16_t(global.left + 200 * f), global.bottom, global.right}; }
    Rect Elsewhere() const
    {
        return Rect{int16_t(global.bottom + 10), global.left, int16_t(global.bottom + 500), global.right};
    }
    GDHandle Device(int n) const
    {
        GDHandle gd = GetDeviceList();
        while (n-- > 0 && gd)
            gd = GetNextDevice(gd);
        return gd;
    }
    // Builds into `context` and returns what was reported.
    std::string Build(structGLWindowInfo* info, OSStatus* result, AGLContext share = nullptr,
                      AGLContext* into = nullptr)
    {
        StartCapturingStderr();
        *result = BuildGLFromWindow(window, into ? into : &context, info, share);
        return CapturedStderr();
    }

    WindowRef window = nullptr;
    Rect global{};
    std::vector<HostDisplayDevice> displays;
    AGLContext context = nullptr;
    AGLContext other = nullptr;
};

TEST_F(GLSetup, TheWindowBelongsToTheDeviceHoldingMostOfIt)
{
    UseDisplays({Display(Elsewhere()), Display(Left(0.3)), Display(Right(0.3))});
    GDHandle gd = nullptr;
    EXPECT_EQ(FindGDHandleFromWindow(window, &gd), 2);
    EXPECT_EQ(gd, Device(2));
}

TEST_F(GLSetup, EqualOverlapsGoToTheFirstDeviceInTheList)
{
    UseDisplays({Display(Left(0.5)), Display(Right(0.5))});
    GDHandle gd = nullptr;
    EXPECT_EQ(FindGDHandleFromWindow(window, &gd), 2);
    EXPECT_EQ(gd, Device(0));
}

TEST_F(GLSetup, AWindowOffEveryDisplayOverlapsNone)
{
    UseDisplays({Display(Elsewhere())});
    GDHandle gd = Device(0);
    EXPECT_EQ(FindGDHandleFromWindow(window, &gd), 0);
    EXPECT_EQ(gd, nullptr);
}

TEST_F(GLSetup, InactiveAndNonScreenDevicesArePassedOver)
{
    HostDisplayDevice inactive = Display(global), notScreen = Display(global);
    inactive.active = false;
    notScreen.screen = false;
    UseDisplays({inactive, notScreen, Display(Left(0.25))});
    GDHandle gd = nullptr;
    EXPECT_EQ(FindGDHandleFromWindow(window, &gd), 1);
    EXPECT_EQ(gd, Device(2));
    GDHandle untouched = Device(1);
    EXPECT_EQ(FindGDHandleFromWindow(nullptr, &untouched), 0);
    EXPECT_EQ(untouched, Device(1));
    EXPECT_EQ(FindGDHandleFromWindow(window, nullptr), 0);
}

TEST_F(GLSetup, CheckRendererPrefersAccelerationThenTheMostMemory)
{
    UseDisplays({Display(global, {Software(512 * kMB, 1), Accelerated(64 * kMB, 2), Accelerated(32 * kMB, 4)})});
    SInt32 vram = 0, texture = 0;
    GLint depth = 0;
    EXPECT_TRUE(CheckRenderer(Device(0), &vram, &texture, &depth, true));
    EXPECT_EQ(vram, 64 * kMB) << "the software renderer's memory does not count";
    EXPECT_EQ(depth, 2);
}

TEST_F(GLSetup, EqualMemoryTakesTheLaterRenderer)
{
    UseDisplays({Display(global, {Accelerated(64 * kMB, 1), Accelerated(64 * kMB, 8)})});
    SInt32 vram = 0, texture = 0;
    GLint depth = 0;
    EXPECT_TRUE(CheckRenderer(Device(0), &vram, &texture, &depth, true));
    EXPECT_EQ(depth, 8);
}

TEST_F(GLSetup, TooLittleMemoryIsNeverTaken)
{
    UseDisplays({Display(global, {Accelerated(32 * kMB)})});
    SInt32 vram = 16 * kMB, texture = 32 * kMB;
    GLint depth = 0;
    EXPECT_FALSE(CheckRenderer(Device(0), &vram, &texture, &depth, true));
    EXPECT_EQ(vram, 16 * kMB) << "unchanged";
    texture = 16 * kMB;
    EXPECT_TRUE(CheckRenderer(Device(0), &vram, &texture, &depth, true)) << "exactly enough";
    EXPECT_EQ(vram, 32 * kMB);
}

TEST_F(GLSetup, WithoutAccelerationOnlyAnOptionalRequestFindsARenderer)
{
    UseDisplays({Display(global, {Software(8 * kMB), Software(16 * kMB, 2)})});
    SInt32 vram = 0, texture = 0;
    GLint depth = 0;
    EXPECT_FALSE(CheckRenderer(Device(0), &vram, &texture, &depth, true));
    EXPECT_TRUE(CheckRenderer(Device(0), &vram, &texture, &depth, false));
    EXPECT_EQ(vram, 16 * kMB);
    EXPECT_EQ(depth, 2);
}

TEST_F(GLSetup, AFailedRendererQueryIsReported)
{
    HostDisplayDevice broken = Display(global);
    broken.queryFails = true;
    UseDisplays({broken});
    SInt32 vram = 0, texture = 0;
    GLint depth = 0;
    StartCapturingStderr();
    EXPECT_FALSE(CheckRenderer(Device(0), &vram, &texture, &depth, false));
    const std::string reported = CapturedStderr();
    EXPECT_NE(reported.find("aglQueryRendererInfo error\n"), std::string::npos) << reported;
}

TEST_F(GLSetup, EveryDisplayMustPassAndTheSmallestMemoryIsKept)
{
    UseDisplays({Display(global, {Accelerated(64 * kMB)}), Display(Elsewhere(), {Accelerated(32 * kMB)})});
    SInt32 vram = 0, texture = 0;
    GLint depth = 0;
    EXPECT_TRUE(CheckAllDeviceRenderers(&vram, &texture, &depth, true));
    EXPECT_EQ(vram, 32 * kMB);

    UseDisplays({Display(global, {Accelerated(64 * kMB)}), Display(Elsewhere(), {Software(512 * kMB)})});
    vram = 0;
    EXPECT_FALSE(CheckAllDeviceRenderers(&vram, &texture, &depth, true));
    EXPECT_EQ(vram, 0);
}

TEST_F(GLSetup, NullArgumentsAreRefused)
{
    structGLWindowInfo info = Request(true, true);
    EXPECT_EQ(BuildGLFromWindow(nullptr, &context, &info, nullptr), paramErr);
    StartCapturingStderr();
    EXPECT_EQ(BuildGLonWindow(window, &context, nullptr, nullptr), paramErr);
    EXPECT_EQ(CapturedStderr(), "NULL parameter passed to BuildGLonDrawable.\n");
    EXPECT_EQ(context, nullptr);
}

TEST_F(GLSetup, AFixedWindowOverTwoDisplaysCannotBeAccelerated)
{
    HostDisplayDevice broken = Display(Right(0.5));
    broken.queryFails = true;
    UseDisplays({Display(Left(0.5)), broken});
    structGLWindowInfo info = Request(true, false);
    OSStatus result = -1;
    EXPECT_EQ(Build(&info, &result), "Unable to accelerate window that spans multiple devices\n");
    EXPECT_EQ(result, noErr);
    EXPECT_EQ(context, nullptr);
    EXPECT_EQ(info.fmt, nullptr);

    // Optional acceleration: no renderer check (the broken query is never
    // made), a format for every display.
    info = Request(false, false);
    EXPECT_EQ(Build(&info, &result), "");
    EXPECT_EQ(result, noErr);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(FixturePixelFormatDeviceCount(info.fmt), 0);
    EXPECT_EQ(DestroyGLFromWindow(&context, &info), noErr);
    EXPECT_EQ(context, nullptr);
    EXPECT_EQ(info.fmt, nullptr);
}

TEST_F(GLSetup, AFixedWindowOnOneDisplayIsCheckedAndChosenForThatDisplayAlone)
{
    HostDisplayDevice broken = Display(Elsewhere());
    broken.queryFails = true;
    UseDisplays({broken, Display(global)});
    structGLWindowInfo info = Request(true, false);
    OSStatus result = -1;
    EXPECT_EQ(Build(&info, &result), "");
    EXPECT_EQ(result, noErr);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(FixturePixelFormatDeviceCount(info.fmt), 1);
    EXPECT_EQ(info.VRAM, 64 * kMB);
    EXPECT_EQ(aglGetCurrentContext(), context) << "made current";
    DestroyGLFromWindow(&context, &info);

    // A draggable window is checked against every display.
    info = Request(true, true);
    EXPECT_EQ(Build(&info, &result), "invalid graphics device\naglQueryRendererInfo error\nRenderer check failed\n");
    EXPECT_EQ(result, noErr);
    EXPECT_EQ(context, nullptr);
}

TEST_F(GLSetup, AnUnknownAttributeFindsNoPixelFormat)
{
    UseDisplays({Display(global)});
    structGLWindowInfo info = Request(true, true);
    info.aglAttributes[1] = 9999;
    OSStatus result = -1;
    EXPECT_EQ(Build(&info, &result), "invalid pixel format attribute\nCould not find valid pixel format\n");
    EXPECT_EQ(result, noErr);
    EXPECT_EQ(context, nullptr);
    EXPECT_EQ(DestroyGLFromWindow(&context, &info), paramErr) << "nothing to destroy";
}

TEST_F(GLSetup, ContextsShareObjectsOrAreMadeUnsharedWhenSharingIsRefused)
{
    UseDisplays({Display(global)});
    structGLWindowInfo first = Request(true, true), second = Request(true, true);
    OSStatus result = -1;
    Build(&first, &result);
    ASSERT_NE(context, nullptr);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);

    EXPECT_EQ(Build(&second, &result, context, &other), "");
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(glIsTexture(texture)) << "shared with the first context";
    DestroyGLFromWindow(&other, &second);

    FixtureRefuseContextSharing(true);
    second = Request(true, true);
    EXPECT_EQ(Build(&second, &result, context, &other), "") << "the retry without sharing clears the error";
    EXPECT_EQ(result, noErr);
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(glIsTexture(texture)) << "not shared";
    DestroyGLFromWindow(&other, &second);
}

TEST_F(GLSetup, WithOnlyASoftwareRendererTheWindowIsDrawnAllTheSameAndThatIsSaidOnce)
{
    UseDisplays({Display(global, {Software(0)})});
    recWindow* record = NewTestRecord(0, 0);
    SetWRefCon(window, record);
    StartCapturingStderr();
    EXPECT_EQ(BuildGLForWindow(window), noErr);
    std::string reported = CapturedStderr();
    EXPECT_EQ(reported, "Renderer check failed\n"
                        "No hardware-accelerated OpenGL renderer: drawing with the software renderer\n");
    ASSERT_NE(record->aglContext, nullptr);
    EXPECT_FALSE(record->glInfo.fAcceleratedMust);
    for (int i = 0; record->glInfo.aglAttributes[i] != AGL_NONE; ++i)
        EXPECT_NE(record->glInfo.aglAttributes[i], AGL_ACCELERATED);

    DisposeGLForWindow(window);
    SetWRefCon(window, record);
    StartCapturingStderr();
    EXPECT_EQ(BuildGLForWindow(window), noErr);
    reported = CapturedStderr();
    EXPECT_EQ(reported, "Renderer check failed\n") << "the fallback is announced once";
    EXPECT_NE(record->aglContext, nullptr);
}

TEST_F(GLSetup, WithAnAcceleratedRendererTheRequestIsKept)
{
    UseDisplays({Display(global, {Software(0), Accelerated(0)})});
    recWindow* record = NewTestRecord(0, 2);
    MakeSprite(&record->pSpriteArray[0], 0, 0, 0);
    MakeSprite(&record->pSpriteArray[1], 0, 0, 0);
    record->pSpriteArray[0].fAlphaBlend = true; // the other is depth-tested
    SetWRefCon(window, record);
    StartCapturingStderr();
    EXPECT_EQ(BuildGLForWindow(window), noErr);
    EXPECT_EQ(CapturedStderr(), "");
    ASSERT_NE(record->aglContext, nullptr);
    EXPECT_TRUE(record->glInfo.fAcceleratedMust);
    EXPECT_EQ(record->glInfo.aglAttributes[2], AGL_ACCELERATED);
    EXPECT_EQ(record->glInfo.aglAttributes[3], AGL_DEPTH_SIZE);
    EXPECT_EQ(record->glInfo.aglAttributes[4], 16);
    EXPECT_TRUE(record->glInfo.fDraggable);

    // A world whose sprites all blend, or that has none, never tests depth:
    // it asks for no depth buffer.
    for (SInt32 sprites : {2, 0}) {
        DisposeGLForWindow(window);
        std::free(record);
        record = NewTestRecord(0, 2);
        MakeSprite(&record->pSpriteArray[0], 0, 0, 0);
        MakeSprite(&record->pSpriteArray[1], 0, 0, 0);
        record->pSpriteArray[0].fAlphaBlend = record->pSpriteArray[1].fAlphaBlend = true;
        record->numSprites = sprites;
        SetWRefCon(window, record);
        EXPECT_EQ(BuildGLForWindow(window), noErr);
        ASSERT_NE(record->aglContext, nullptr);
        EXPECT_EQ(record->glInfo.aglAttributes[3], AGL_DEPTH_SIZE);
        EXPECT_EQ(record->glInfo.aglAttributes[4], 0);
    }
}

TEST_F(GLSetup, ErrorReportsTakeOnePendingError)
{
    StartCapturingStderr();
    EXPECT_EQ(aglReportError(), 0);
    EXPECT_EQ(CapturedStderr(), "");

    aglSetCurrentContext(nullptr);
    EXPECT_FALSE(aglSwapBuffers(nullptr));
    StartCapturingStderr();
    EXPECT_EQ(aglReportError(), AGL_BAD_CONTEXT);
    EXPECT_EQ(aglReportError(), 0) << "read and cleared";
    EXPECT_EQ(CapturedStderr(), "invalid context\n");

    UseDisplays({Display(global)});
    structGLWindowInfo info = Request(true, true);
    OSStatus result = -1;
    Build(&info, &result);
    ASSERT_NE(context, nullptr);
    glEnable(0x1234);
    StartCapturingStderr();
    EXPECT_EQ(glReportError(), GL_INVALID_ENUM);
    EXPECT_EQ(glReportError(), GL_NO_ERROR);
    EXPECT_EQ(CapturedStderr(), "invalid enumerant\n");
}

TEST(RendererNames, SoftwareRenderersAreKnownByName)
{
    EXPECT_TRUE(HostIsSoftwareRenderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_TRUE(HostIsSoftwareRenderer("softpipe"));
    EXPECT_TRUE(HostIsSoftwareRenderer("Mesa X11 swrast"));
    EXPECT_FALSE(HostIsSoftwareRenderer("AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6, DRM 3.49)"));
    EXPECT_FALSE(HostIsSoftwareRenderer("Mesa Intel(R) UHD Graphics 620 (KBL GT2)"));
}

} // namespace
