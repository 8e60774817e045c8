// The fast frame against the plain one: the demo world and benchmark worlds,
// with outlines and texel grid on and off, a turned view, blending and the
// alpha test, drawn both ways frame for frame and compared pixel by pixel.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "GL_Fixture.h"
#include "GL_Text.h"
#include "Host_Files.h"
#include "Host_Test_Seams.h"
#include "Reference_Drawing.h"
#include "Sprite_Utilities.h"
#include "Sprite_Window.h"

namespace {

std::string gChosen;
bool ChooseFile(std::string* path)
{
    *path = gChosen;
    return true;
}

AbsoluteTime StoppedClock()
{
    return AbsoluteTime(1) << 50; // far from any frame drawn before: the frame-rate text is renewed once, then kept
}

// How two frames differ.
struct Difference {
    int pixels = 0;     // pixels with any channel changed
    int inPanels = 0;   // of them, those under the overlay's translucent panels
    int beyondOne = 0;  // pixels with a channel changed by more than one level
    int worst = 0;      // the largest change of a channel
    int x = -1, y = -1; // where the first change beyond one level is
};

Difference Compare(const Frame& a, const Frame& b)
{
    Difference d;
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    for (int y = 0; y < a.height && y < b.height; ++y)
        for (int x = 0; x < a.width && x < b.width; ++x) {
            const uint32_t p = a.At(x, y), q = b.At(x, y);
            if (p == q)
                continue;
            int change = 0;
            for (int shift : {0, 8, 16})
                change = std::max(change, std::abs(int((p >> shift) & 0xFF) - int((q >> shift) & 0xFF)));
            ++d.pixels;
            d.inPanels += x < 250 && (y < 55 || y >= a.height - 28);
            d.worst = std::max(d.worst, change);
            if (change > 1 && d.beyondOne++ == 0) {
                d.x = x;
                d.y = y;
            }
        }
    return d;
}

class SamePixels : public testing::Test {
protected:
    void SetUp() override { FixtureSetUpTimeSource(StoppedClock); }
    void TearDown() override
    {
        Close();
        FixtureSetUpTimeSource(nullptr);
        gZarvoRotate = true;
    }
    // Opens a window on the world that make() builds. A world whose sprites
    // all blend gets a window without a depth buffer; the plain frames are
    // then drawn in a twin window with one, as every window had, so that the
    // comparison covers the change of buffers too.
    template <typename Make>
    void Open(Make make, int width = 800, int height = 600)
    {
        recWindow* record = make();
        const bool testsDepth = SpritesTestDepth(record->pSpriteArray, record->numSprites);
        if (!testsDepth) {
            plainWindow = OpenGLTestWindow(WithDepthBuffer(make()), width, height, &frame);
            ASSERT_GT(DepthBits(plainWindow), 0);
        }
        window = OpenGLTestWindow(record, width, height, &frame);
        ASSERT_NE(Record()->aglContext, nullptr);
        EXPECT_EQ(DepthBits(window) > 0, testsDepth);
        // The frame-rate text as it stands (the clock stands still, so it
        // stays): read through a font that reports what it is asked to draw.
        const GLuint probe = PassThroughFont();
        auto texts = Texts(Feedback([&] {
            glRasterPos2d(0, 0);
            DrawFrameRate(probe);
        }));
        glDeleteLists(probe, 256);
        ASSERT_EQ(texts.size(), 1u);
        fpsText = texts.begin()->second;
        ASSERT_EQ(fpsText.rfind("FPS: ", 0), 0u);
    }
    void Close()
    {
        for (WindowRef* w : {&window, &plainWindow}) {
            if (*w)
                CloseGLTestWindow(*w);
            *w = nullptr;
        }
    }
    recWindow* Record() const { return static_cast<recWindow*>(GetWRefCon(window)); }
    static GLint DepthBits(WindowRef w)
    {
        aglSetCurrentContext(static_cast<recWindow*>(GetWRefCon(w))->aglContext);
        GLint bits = -1;
        glGetIntegerv(GL_DEPTH_BITS, &bits);
        return bits;
    }
    // The world with one sprite more: depth-tested, far outside any view.
    static recWindow* WithDepthBuffer(recWindow* record)
    {
        const SInt32 n = record->numSprites;
        auto* sprites = reinterpret_cast<recSprite*>(NewPtrClear(int32_t(sizeof(recSprite)) * (n + 1)));
        std::copy_n(record->pSpriteArray, n, sprites);
        MakeSprite(&sprites[n], 0, 1e7f, 1e7f, -1.0f);
        DisposePtr(reinterpret_cast<char*>(record->pSpriteArray));
        record->pSpriteArray = sprites;
        record->numSprites = n + 1;
        return record;
    }

    // Draws the frame both ways and compares. The fast way places the
    // corners of the sprites' tiles itself, the plain way has the GL's
    // matrices do it: the corners then differ in the last bits of a float,
    // and the rasteriser may interpolate a texture coordinate to the other
    // side of a rounding step. A pixel so rounded is one level off in a
    // channel; where blended sprites overlap the levels of two layers may
    // add up. So: no channel off by more than two levels, and at most one
    // pixel in a hundred off at all.
    void ExpectSameFrame(const std::string& what)
    {
        SCOPED_TRACE(what);
        if (plainWindow) {
            recWindow* twin = static_cast<recWindow*>(GetWRefCon(plainWindow));
            const recWindow* w = Record();
            std::copy_n(w->pSpriteArray, w->numSprites, twin->pSpriteArray);
            twin->zoom = w->zoom;
            twin->info = w->info;
            twin->lines = w->lines;
            twin->grid = w->grid;
        }
        ReferenceDrawGL(plainWindow ? plainWindow : window, fpsText);
        const Frame plain = frame;
        DrawGL(window);
        const Difference d = Compare(plain, frame);
        EXPECT_LE(d.worst, 2) << "first beyond one level at " << d.x << "," << d.y << ": plain " << std::hex
                              << plain.At(d.x, d.y) << ", fast " << frame.At(d.x, d.y);
        // Without a depth buffer the software renderer blends the overlay's
        // panels in eight-bit steps: they may round the other way.
        EXPECT_LE(d.pixels - d.inPanels, plain.width * plain.height / 100) << "pixels off at all";
        ++framesCompared;
        pixelsOff += d.pixels;
        pixelsInPanels += d.inPanels;
        pixelsOffByTwo += d.beyondOne;
    }

    // Steps the world and compares each frame, under every debug view.
    void CompareFrames(int steps, float thrust = 0, float turn = 0)
    {
        recWindow* w = Record();
        w->thrustValue = thrust;
        w->turnValue = turn;
        for (int step = 0; step < steps; ++step) {
            IdleSprites(window, w->pSpriteArray, w->numSprites, 0.05);
            const bool lines = step % 4 == 1 || step % 4 == 3, grid = step % 4 >= 2;
            w->lines = lines;
            w->grid = grid;
            ExpectSameFrame("step " + std::to_string(step) + (lines ? ", outlines" : "") + (grid ? ", grid" : ""));
        }
        w->lines = w->grid = false;
    }

    void Summary(const char* what) const
    {
        std::printf("%s: %d frames compared, %d pixels off, %d of them by two levels, %d under the overlay's panels\n",
                    what, framesCompared, pixelsOff, pixelsOffByTwo, pixelsInPanels);
    }

    WindowRef window = nullptr;
    WindowRef plainWindow = nullptr; // the twin with a depth buffer, when the world's window has none
    Frame frame;
    std::string fpsText;
    int framesCompared = 0;
    int pixelsOff = 0;
    int pixelsInPanels = 0;
    int pixelsOffByTwo = 0;
};

std::array<int, 4> Rect(const TexelRect& r)
{
    return {r.x0, r.y0, r.x1, r.y1};
}

recWindow* LoadWorld(const std::string& path)
{
    gChosen = path;
    HostSetFileChooser(ChooseFile);
    auto* record = static_cast<recWindow*>(std::calloc(1, sizeof(recWindow)));
    EXPECT_TRUE(LoadDataFile(record)) << path;
    HostSetFileChooser(nullptr);
    return record;
}

TEST_F(SamePixels, TheDemoWorldAtEveryZoomUprightAndTurned)
{
    Open([] { return LoadWorld(std::string(STARDRIFT_SOURCE_DIR) + "/data/demo/demo.sprites"); });
    recWindow* w = Record();
    ASSERT_GE(w->numSprites, 33);
    for (float zoom : {0.5f, 0.1f, 1.7f}) {
        w->zoom = zoom;
        CompareFrames(4, 255, 40); // thrust: smoke puffs appear
    }
    gZarvoRotate = false; // the world turns about sprite 0
    w->pSpriteArray[0].rotation = 33;
    w->zoom = 0.5f;
    CompareFrames(4, 0, -60);
    w->info = false;
    ExpectSameFrame("without the overlay");
    EXPECT_EQ(framesCompared, 17);
    Summary("demo world");
}

TEST_F(SamePixels, AWindowOfOddSize)
{
    // Half-pixel bounds put the text's raster positions a hair off whole pixels.
    Open([] { return LoadWorld(std::string(STARDRIFT_SOURCE_DIR) + "/data/demo/demo.sprites"); }, 641, 479);
    CompareFrames(2, 255, 10);
    Summary("641 x 479");
}

// A 32 x 32 sprite image: a disc of colour rings, opaque inside, fading at
// its rim and transparent outside, in texels 4 to 27 across and down; a dark
// line marks its top.
void MakeDiscImage(recImage* image)
{
    MakeImage32(image, 32, 32, 0);
    auto* words = reinterpret_cast<uint32_t*>(image->pImageBuffer);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const double r = std::hypot(x - 15.5, y - 15.5);
            const uint32_t alpha = r < 8 ? 255 : r < 12 ? uint32_t(255 * (12 - r) / 4) : 0;
            const uint32_t red = uint32_t(x * 8), green = uint32_t(y * 8), blue = y < 4 ? 0 : 200;
            words[y * 32 + x] = alpha << 24 | red << 16 | green << 8 | blue;
        }
}

// The benchmark's world: numSprites drifting discs over the window, blended,
// at zoom 1; with variety, a few turned, depth-tested or alpha-tested
// sprites, and a sprite of many texture tiles.
recWindow* BenchmarkWorld(int numSprites, bool variety)
{
    recWindow* record = NewTestRecord(2, numSprites);
    MakeDiscImage(&record->pImageArray[0]);
    MakeImage32(&record->pImageArray[1], 300, 40, 0xFF2060A0); // tiles 256, 32, 8, 4 by 32, 8
    auto* words = reinterpret_cast<uint32_t*>(record->pImageArray[1].pImageBuffer);
    for (int i = 0; i < 300 * 40; i += 7)
        words[i] = 0x40FFFF00;
    std::mt19937 random(11);
    std::uniform_real_distribution<float> x(-370, 370), y(-270, 270), v(-8, 8), turn(0, 360), z(-900, -1);
    for (int i = 0; i < numSprites; ++i) {
        recSprite& s = record->pSpriteArray[i];
        MakeSprite(&s, 0, i == 0 ? 0.0f : x(random), i == 0 ? 0.0f : y(random), i == 0 ? 0.0f : -1.0f);
        s.velocityX = i == 0 ? 0 : v(random);
        s.velocityY = i == 0 ? 0 : v(random);
        s.fAlphaBlend = true;
        if (variety) {
            s.rotation = i % 3 == 0 ? turn(random) : 0;
            s.zoom = i % 5 == 0 ? 1.6f : 1.0f;
            s.red = i % 2 ? 0.7f : 1.0f;
            s.alpha = i % 4 == 0 ? 0.6f : 1.0f;
            if (i % 7 == 3) { // depth-tested, alpha-tested
                s.fAlphaBlend = false;
                s.fAlphaTest = true;
                s.centerZ = z(random);
            }
            if (i % 50 == 7)
                s.imageNum = 1;
        }
    }
    return record;
}

TEST_F(SamePixels, TheBenchmarkWorlds)
{
    Open([] { return BenchmarkWorld(1000, false); });
    Record()->zoom = 1.0f;
    Record()->info = true;
    CompareFrames(4);
    Close();

    Open([] { return BenchmarkWorld(400, true); });
    // Only where a tile's own alpha is above zero, and a texel round it,
    // can a blended sprite change the window.
    const recImage* images = Record()->pImageArray;
    ASSERT_NE(images[0].pTileAlpha, nullptr);
    EXPECT_EQ(Rect(images[0].pTileAlpha[0]), Rect(TexelRect{3, 3, 29, 29}));
    ASSERT_NE(images[1].pTileAlpha, nullptr);
    EXPECT_EQ(Rect(images[1].pTileAlpha[0]), Rect(TexelRect{0, 0, 256, 32})) << "alpha everywhere";
    Record()->zoom = 1.0f;
    Record()->info = true;
    CompareFrames(4);
    Record()->zoom = 0.3f;
    CompareFrames(2);
    gZarvoRotate = false;
    Record()->pSpriteArray[0].rotation = 200;
    CompareFrames(4);
    Summary("benchmark worlds");
}

// The sprite pass alone, as the frame draws it, with or without leaving out
// the sprites that later ones hide; the polygons it sends to the GL.
size_t DrawSprites(WindowRef window, bool leaveOutHidden)
{
    recWindow* w = static_cast<recWindow*>(GetWRefCon(window));
    aglSetCurrentContext(w->aglContext);
    const SInt32 width = 800, height = 600;
    const recSprite& view = w->pSpriteArray[0];
    const float rotation = gZarvoRotate ? 0.0f : -view.rotation;
    auto draw = [&] {
        DrawGLSprites(w->pSpriteArray, w->numSprites, w->pImageArray, w->numImages, -view.centerX, -view.centerY,
                      -view.centerZ, rotation, w->zoom, width, height, w->grid, w->lines, leaveOutHidden);
    };
    SetUpDrawingSpace(width, height);
    size_t polygons = 0;
    for (const FeedbackItem& item : Feedback(draw))
        polygons += item.token == GL_POLYGON_TOKEN;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw();
    aglSwapBuffers(w->aglContext);
    return polygons;
}

TEST_F(SamePixels, SpritesHiddenUnderOpaqueOnesAreLeftOut)
{
    // Four thousand sprites pile up many deep: many of the early ones lie
    // wholly under the opaque middles of later ones. Turned, faded and
    // depth-tested sprites are among them; only upright opaque blended
    // ones hide what lies below.
    Open([] {
        recWindow* record = BenchmarkWorld(4000, true);
        // Discs with a hard rim: a pixel wrongly taken for opaque at the rim
        // lets what lies below show through by half.
        auto* words = reinterpret_cast<uint32_t*>(record->pImageArray[0].pImageBuffer);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                if (std::hypot(x - 15.5, y - 15.5) >= 10)
                    words[y * 32 + x] &= 0x00FFFFFF;
                else
                    words[y * 32 + x] |= 0xFF000000;
        return record;
    });
    Record()->zoom = 1.0f;
    Record()->info = false;
    for (int i = 1; i < Record()->numSprites; ++i) { // gathered into the middle of the window, many deep
        Record()->pSpriteArray[i].centerX *= 0.4f;
        Record()->pSpriteArray[i].centerY *= 0.4f;
    }
    for (int step = 0; step < 3; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        IdleSprites(window, Record()->pSpriteArray, Record()->numSprites, 0.05);
        const size_t whole = DrawSprites(window, false);
        const Frame all = frame;
        const size_t fewer = DrawSprites(window, true);
        const Difference d = Compare(all, frame);
        EXPECT_EQ(d.pixels, 0) << "first beyond one level at " << d.x << "," << d.y;
        EXPECT_LT(fewer * 20, whole * 19) << "a twentieth of the polygons or more is hidden";
    }
    // And the frame as a whole against the plain drawing.
    Record()->info = true;
    ExpectSameFrame("the frame");
}

TEST_F(SamePixels, WhatHidesASprite)
{
    // A small disc under an opaque square drawn after it, one that covers
    // the window but for a strip at either side.
    Open([] {
        recWindow* record = NewTestRecord(2, 3);
        MakeDiscImage(&record->pImageArray[0]);
        MakeImage32(&record->pImageArray[1], 64, 64, 0xFF3080C0);
        MakeSprite(&record->pSpriteArray[0], 0, 0, 0);
        MakeSprite(&record->pSpriteArray[1], 0, 30.4f, 20.7f, -1.0f);
        MakeSprite(&record->pSpriteArray[2], 1, 0.5f, 0.5f, -1.0f);
        record->pSpriteArray[2].zoom = 12;
        record->pSpriteArray[1].fAlphaBlend = true;
        record->pSpriteArray[2].fAlphaBlend = true; // sprite 0, the view's, is depth-tested: never left out
        return record;
    });
    Record()->info = false;
    const size_t hidden = DrawSprites(window, true), drawn = DrawSprites(window, false);
    ASSERT_EQ(hidden + 2, drawn) << "the disc's two triangles are left out";
    struct Case {
        const char* what;
        void (*change)(recWindow*);
    };
    const Case cases[] = {
        {"the square faded", [](recWindow* w) { w->pSpriteArray[2].alpha = 0.99f; }},
        {"the square turned", [](recWindow* w) { w->pSpriteArray[2].rotation = 1.0f; }},
        {"the square depth-tested", [](recWindow* w) { w->pSpriteArray[2].fAlphaBlend = false; }},
        {"the square beyond the depth range", [](recWindow* w) { w->pSpriteArray[2].centerZ = -1001.0f; }},
        {"the disc reaching under the square's last half texel",
         [](recWindow* w) { w->pSpriteArray[1].centerX = 366.5f; }},
        {"the disc depth-tested", [](recWindow* w) { w->pSpriteArray[1].fAlphaBlend = false; }},
        {"a turned view", [](recWindow* w) { w->pSpriteArray[0].rotation = 90.0f; }},
        {"the outlines on", [](recWindow* w) { w->lines = true; }},
        {"a tiled sprite in the world", [](recWindow* w) { w->pSpriteArray[0].fTiled = kTiled; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const recWindow saved = *Record();
        const recSprite sprites[3] = {Record()->pSpriteArray[0], Record()->pSpriteArray[1], Record()->pSpriteArray[2]};
        gZarvoRotate = false;
        c.change(Record());
        EXPECT_EQ(DrawSprites(window, true), DrawSprites(window, false));
        Record()->lines = saved.lines;
        for (int i = 0; i < 3; ++i)
            Record()->pSpriteArray[i] = sprites[i];
        gZarvoRotate = true;
    }
}

TEST_F(SamePixels, WhiteAndColouredSpritesOfEveryTextureFormat)
{
    // Gray images become luminance textures, whose alpha is the colour's;
    // alpha-only images take their colour from it. Each image is drawn by
    // white and by coloured or faded sprites in turn, blended and not, so
    // that a white run follows a faded one: a white sprite must look the
    // same whichever colour came before it.
    Open([] {
        recWindow* record = NewTestRecord(4, 25);
        MakeDiscImage(&record->pImageArray[0]);
        MakeImage8(&record->pImageArray[1], 32, 16, 0, kMaskZeroAlpha);
        MakeImage8(&record->pImageArray[2], 16, 32, 0, kMaskAlphaOnly);
        MakeImage32(&record->pImageArray[3], 24, 24, 0x80C04020);
        for (int image : {1, 2}) {
            recImage& im = record->pImageArray[image];
            for (int i = 0; i < 32 * 16; ++i)
                im.pImageBuffer[i] = uint8_t(i * 37 % 256);
        }
        const float colours[3][4] = {{1, 1, 1, 1}, {0.2f, 0.9f, 0.5f, 1}, {1, 1, 1, 0.4f}};
        for (int i = 0; i < 25; ++i) {
            recSprite& s = record->pSpriteArray[i];
            MakeSprite(&s, i == 0 ? 0 : 1 + (i / 2) % 3, float(i % 5) * 60 - 120, float(i / 5) * 50 - 100);
            const float* c = colours[i % 2 ? 0 : (i / 2) % 2 + 1]; // white after coloured or faded, in turn
            s.red = c[0];
            s.green = c[1];
            s.blue = c[2];
            s.alpha = c[3];
            s.fAlphaBlend = i % 6 != 5;
            s.rotation = i % 4 == 3 ? 30.0f : 0.0f;
        }
        return record;
    });
    Record()->info = false;
    for (int step = 0; step < 2; ++step) {
        IdleSprites(window, Record()->pSpriteArray, Record()->numSprites, 0.05);
        ExpectSameFrame("step " + std::to_string(step));
    }
    Summary("every texture format");
}

TEST_F(SamePixels, MirroredCopiesOfATransparentImage)
{
    // A 64 x 32 image, transparent but for a soft blob off its centre, tiled
    // and blended over a disc: each copy, mirrored or not, draws only the
    // blob's rectangle of the tile. Colour stays clear of the image's edges,
    // where copies meet.
    Open([] {
        recWindow* record = NewTestRecord(2, 2);
        MakeDiscImage(&record->pImageArray[0]);
        MakeImage32(&record->pImageArray[1], 64, 32, 0x00FFFFFF);
        auto* words = reinterpret_cast<uint32_t*>(record->pImageArray[1].pImageBuffer);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) {
                const double r = std::hypot(x - 20.5, y - 12.5);
                if (r < 9)
                    words[y * 64 + x] = uint32_t(255 * (9 - r) / 9) << 24 | uint32_t(x * 4) << 16 | 0xA0 << 8 | 0x40;
            }
        MakeSprite(&record->pSpriteArray[0], 0, 0, 0);
        record->pSpriteArray[0].fAlphaBlend = true;
        record->pSpriteArray[0].velocityX = 7;
        MakeSprite(&record->pSpriteArray[1], 1, 10, 5);
        record->pSpriteArray[1].fTiled = kTiled;
        record->pSpriteArray[1].fAlphaBlend = true;
        record->pSpriteArray[1].alpha = 0.7f;
        return record;
    });
    // Texels 12 to 29 across and 4 to 21 down have alpha.
    EXPECT_EQ(Rect(Record()->pImageArray[1].pTileAlpha[0]), Rect(TexelRect{11, 3, 31, 23}));
    Record()->info = false;
    for (float zoom : {1.0f, 0.6f}) {
        Record()->zoom = zoom;
        for (int step = 0; step < 3; ++step) {
            IdleSprites(window, Record()->pSpriteArray, Record()->numSprites, 0.05);
            ExpectSameFrame("zoom " + std::to_string(zoom) + ", step " + std::to_string(step));
        }
    }
    Summary("mirrored copies");
}

TEST_F(SamePixels, TiledWorldsAtTheSmallestZoom)
{
    // The demo images as a stress world: a tiled star field behind many
    // drifting sprites, at zoom 0.1 where the field has hundreds of copies.
    Open([] {
        recWindow* record = LoadWorld(std::string(STARDRIFT_SOURCE_DIR) + "/data/demo/demo.sprites");
        return record;
    });
    recWindow* w = Record();
    w->zoom = 0.1f;
    std::mt19937 random(5);
    std::uniform_real_distribution<float> place(-4000, 4000);
    for (int i = 33; i < w->numSprites; ++i) {
        w->pSpriteArray[i].centerX = place(random);
        w->pSpriteArray[i].centerY = place(random);
    }
    for (int i = 0; i < w->numSprites; ++i)
        if (w->pSpriteArray[i].fTiled != kNotTiled)
            w->pSpriteArray[i].zoom = 0.5f; // thousands of copies, outlines within the frame's caps
    CompareFrames(4, 255, 0);
    Summary("tiled worlds");
}

} // namespace
