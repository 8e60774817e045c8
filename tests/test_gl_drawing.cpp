// Frames, sprites, texture uploads and the overlay drawn into real GL
// contexts and read back (pixels) or fed back (primitives and vertices).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <map>
#include <string>

#include "GL_Fixture.h"
#include "GL_Text.h"
#include "Host_Files.h"
#include "Host_Test_Seams.h"
#include "Host_Time.h"
#include "Test_Support.h"

namespace {

constexpr uint32_t kClear = 0x333333; // 0.2 gray
constexpr uint32_t kRed = 0xFFFF0000;

bool IsRed(const Frame& f, int x, int y)
{
    return f.Red(x, y) > 200 && f.Green(x, y) < 40 && f.Blue(x, y) < 40;
}

// Counts the red pixels of row y.
int RedInRow(const Frame& f, int y)
{
    int n = 0;
    for (int x = 0; x < f.width; ++x)
        n += IsRed(f, x, y);
    return n;
}

// A world whose sprite 0 (the view) is at (100, 50), drawn invisibly, and
// whose sprite 1 uses image 0, an opaque red 10 x 10 square.
recWindow* ViewAndSquare(float x, float y)
{
    recWindow* record = NewTestRecord(2, 2);
    MakeImage32(&record->pImageArray[0], 10, 10, kRed);
    MakeImage32(&record->pImageArray[1], 2, 2, 0x00000000);
    MakeSprite(&record->pSpriteArray[0], 1, 100, 50);
    record->pSpriteArray[0].fAlphaTest = true;
    MakeSprite(&record->pSpriteArray[1], 0, x, y);
    return record;
}

class GLWorld : public testing::Test {
protected:
    void TearDown() override
    {
        if (window)
            CloseGLTestWindow(window);
        gZarvoRotate = true;
    }
    recWindow* Open(recWindow* record, int width = 200, int height = 160)
    {
        window = OpenGLTestWindow(record, width, height, &frame);
        return record;
    }
    // A window of one red image, width by height, open.
    recWindow* OpenOneRedImage(int32_t width, int32_t height)
    {
        recWindow* record = NewTestRecord(1, 0);
        MakeImage32(&record->pImageArray[0], width, height, kRed);
        return Open(record);
    }
    recWindow* Record() const { return static_cast<recWindow*>(GetWRefCon(window)); }
    WindowRef window = nullptr;
    Frame frame;
};

TEST_F(GLWorld, TheWindowIsDarkGrayAtOnceAndWhereNothingIsDrawn)
{
    Open(NewTestRecord(0, 0));
    ASSERT_NE(Record()->aglContext, nullptr);
    EXPECT_EQ(frame.swaps, 1) << "the build clears and swaps once";
    EXPECT_EQ(frame.At(0, 0), kClear);
    DrawGL(window);
    EXPECT_EQ(frame.swaps, 2);
    for (int y : {0, 80, 159})
        for (int x : {0, 100, 199})
            EXPECT_EQ(frame.At(x, y), kClear) << x << "," << y;
}

TEST_F(GLWorld, ASpriteAtTheViewIsCentredWhateverTheZoom)
{
    Open(ViewAndSquare(100, 50));
    for (float zoom : {0.5f, 1.0f, 2.5f, 6.0f}) {
        Record()->zoom = zoom;
        DrawGL(window);
        EXPECT_TRUE(IsRed(frame, 100, 80)) << zoom;
        EXPECT_TRUE(IsRed(frame, 99, 79)) << zoom;
        EXPECT_NEAR(RedInRow(frame, 80), 10 * zoom, 1.0) << zoom;
        // The square is symmetric about the window's centre lines.
        int left = 0, right = 199, top = 0, bottom = 159;
        while (left < 100 && !IsRed(frame, left, 80))
            ++left;
        while (right > 100 && !IsRed(frame, right, 80))
            --right;
        while (top < 80 && !IsRed(frame, 100, top))
            ++top;
        while (bottom > 80 && !IsRed(frame, 100, bottom))
            --bottom;
        EXPECT_NEAR((left + right + 1) / 2.0, 100.0, 0.5) << zoom;
        EXPECT_NEAR((top + bottom + 1) / 2.0, 80.0, 0.5) << zoom;
    }
}

TEST_F(GLWorld, YGrowsDownwardsAndXToTheRight)
{
    recWindow* record = ViewAndSquare(100 + 50, 50 + 40);
    Open(record);
    DrawGL(window);
    EXPECT_TRUE(IsRed(frame, 150, 120));
    EXPECT_FALSE(IsRed(frame, 150, 40));
    EXPECT_FALSE(IsRed(frame, 50, 120));
}

TEST_F(GLWorld, RotationTurnsClockwiseOnScreen)
{
    recWindow* record = NewTestRecord(2, 2);
    // Top half green, bottom half red: the sprite's nose is green.
    MakeImage32(&record->pImageArray[0], 20, 40, kRed);
    auto* words = reinterpret_cast<uint32_t*>(record->pImageArray[0].pImageBuffer);
    std::fill(words, words + 20 * 20, 0xFF00FF00);
    MakeImage32(&record->pImageArray[1], 2, 2, 0);
    MakeSprite(&record->pSpriteArray[0], 1, 0, 0);
    record->pSpriteArray[0].fAlphaTest = true;
    MakeSprite(&record->pSpriteArray[1], 0, 0, 0);
    Open(record);

    DrawGL(window);
    EXPECT_EQ(frame.At(100, 70), 0x00FF00u) << "upright: the nose is above the centre";
    EXPECT_EQ(frame.At(100, 90), 0xFF0000u);

    record->pSpriteArray[1].rotation = 90;
    DrawGL(window);
    EXPECT_EQ(frame.At(110, 80), 0x00FF00u) << "a quarter turn clockwise points the nose right";
    EXPECT_EQ(frame.At(90, 80), 0xFF0000u);
}

TEST_F(GLWorld, WithoutUprightViewTheWorldTurnsAroundSpriteZero)
{
    recWindow* record = ViewAndSquare(100 + 40, 50);
    record->pSpriteArray[0].rotation = 90; // sprite 0 points right
    Open(record);
    DrawGL(window);
    EXPECT_TRUE(IsRed(frame, 140, 80)) << "upright view: the square is to the right";
    gZarvoRotate = false;
    DrawGL(window);
    EXPECT_TRUE(IsRed(frame, 100, 40)) << "turned view: what lies ahead of sprite 0 is up the screen";
    EXPECT_FALSE(IsRed(frame, 140, 80));
}

TEST_F(GLWorld, AlphaTestKeepsPixelsAboveOneHalf)
{
    recWindow* record = ViewAndSquare(100, 50);
    auto* words = reinterpret_cast<uint32_t*>(record->pImageArray[0].pImageBuffer);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            words[y * 10 + x] = (x < 5 ? 0x7E000000u : 0x82000000u) | 0x00FF0000u;
    record->pSpriteArray[1].fAlphaTest = true;
    record->zoom = 8.0f;
    Open(record);
    DrawGL(window);
    EXPECT_EQ(frame.At(70, 80), kClear) << "alpha 0x7E is dropped";
    EXPECT_EQ(frame.At(130, 80), 0xFF0000u) << "alpha 0x82 is drawn, unblended";

    record->pSpriteArray[1].fAlphaTest = false;
    DrawGL(window);
    EXPECT_EQ(frame.At(70, 80), 0xFF0000u) << "without the test every pixel is drawn";
}

TEST_F(GLWorld, BlendedSpritesNeitherTestNorWriteDepth)
{
    // Sprite 0 (the view, depth 0) lies off to the side; sprites 1 and 2
    // overlap at the centre: 1 opaque red near, 2 green far.
    recWindow* record = NewTestRecord(3, 3);
    MakeImage32(&record->pImageArray[0], 10, 10, kRed);
    MakeImage32(&record->pImageArray[1], 10, 10, 0xFF00FF00);
    MakeImage32(&record->pImageArray[2], 10, 10, 0xFF0000FF);
    MakeSprite(&record->pSpriteArray[0], 2, 0, 0, 0);
    MakeSprite(&record->pSpriteArray[1], 0, 0, 0, -10);
    MakeSprite(&record->pSpriteArray[2], 1, 0, 0, -500);
    record->pSpriteArray[0].centerX = 0;
    Open(record);
    // The view sprite covers the centre too: move the view by moving every
    // other sprite relative to it instead.
    record->pSpriteArray[1].centerX = record->pSpriteArray[2].centerX = 40;

    DrawGL(window);
    EXPECT_EQ(frame.At(140, 80), 0xFF0000u) << "a far opaque sprite is hidden by a near one";

    record->pSpriteArray[2].fAlphaBlend = true;
    DrawGL(window);
    EXPECT_EQ(frame.At(140, 80), 0x00FF00u) << "a blended sprite is not depth-tested";

    record->pSpriteArray[2].fAlphaBlend = false;
    record->pSpriteArray[1].fAlphaBlend = true;
    DrawGL(window);
    EXPECT_EQ(frame.At(140, 80), 0x00FF00u) << "a blended sprite writes no depth";
}

TEST_F(GLWorld, SpritesNamingNoImageAreNotDrawn)
{
    recWindow* record = ViewAndSquare(100, 50);
    record->pSpriteArray[1].imageNum = 2;
    Open(record);
    DrawGL(window);
    EXPECT_EQ(frame.At(100, 80), kClear);
    record->pSpriteArray[1].imageNum = -1;
    DrawGL(window);
    EXPECT_EQ(frame.At(100, 80), kClear);
}

TEST_F(GLWorld, ARecordWithoutSpritesIsViewedFromTheOrigin)
{
    recWindow* record = NewTestRecord(0, 0);
    Open(record);
    DrawGL(window);
    EXPECT_EQ(frame.swaps, 2);
}

// The pixel of the 600 x 200 test image at (x, y).
uint32_t PatternPixel(int x, int y)
{
    if (x == 0 && y == 0)
        return 0x80FF0000;
    return 0xFF000000u | uint32_t(x & 0xFF) << 16 | uint32_t(x >> 8) << 8 | uint32_t(y);
}

TEST_F(GLWorld, EveryTileIsUploadedInColumnOrderFromTheBuffer)
{
    recWindow* record = NewTestRecord(1, 0);
    recImage& image = record->pImageArray[0];
    MakeImage32(&image, 600, 200, 0);
    auto* words = reinterpret_cast<uint32_t*>(image.pImageBuffer);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 600; ++x)
            words[y * 600 + x] = PatternPixel(x, y);
    Open(record);

    EXPECT_EQ(image.textureX, 5);
    EXPECT_EQ(image.textureY, 3);
    EXPECT_EQ(image.maxTextureSize, 256);
    EXPECT_EQ(image.pImageBuffer, nullptr);
    EXPECT_EQ(image.pGWorld, nullptr);
    const int columns[][2] = {{0, 256}, {256, 256}, {512, 64}, {576, 16}, {592, 8}};
    const int rows[][2] = {{0, 128}, {128, 64}, {192, 8}};
    int k = 0;
    for (const auto& column : columns) {
        for (const auto& row : rows) {
            SCOPED_TRACE("tile " + std::to_string(k));
            ASSERT_NE(image.pTextureName[k], 0u);
            glBindTexture(GL_TEXTURE_2D, image.pTextureName[k++]);
            GLint w = 0, h = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
            ASSERT_EQ(w, column[1]);
            ASSERT_EQ(h, row[1]);
            std::vector<uint32_t> texels(size_t(w) * size_t(h));
            glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, texels.data());
            int wrong = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    wrong += texels[size_t(y * w + x)] != PatternPixel(column[0] + x, row[0] + y);
            EXPECT_EQ(wrong, 0);
        }
    }
    glBindTexture(GL_TEXTURE_2D, image.pTextureName[0]);
    GLubyte rgba[256 * 128 * 4];
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    EXPECT_EQ(rgba[0], 255);
    EXPECT_EQ(rgba[1], 0);
    EXPECT_EQ(rgba[2], 0);
    EXPECT_EQ(rgba[3], 128);
}

TEST_F(GLWorld, GrayImagesUploadAsLuminanceShownTheRightWayRoundOrAsAlpha)
{
    recWindow* record = NewTestRecord(4, 2);
    MakeImage8(&record->pImageArray[0], 4, 2, 0, kMaskZeroAlpha);
    record->pImageArray[0].pImageBuffer[1] = 255; // black
    record->pImageArray[0].pImageBuffer[2] = 64;
    MakeImage8(&record->pImageArray[1], 4, 2, 0, kMaskAlphaOnly);
    record->pImageArray[1].pImageBuffer[1] = 255;
    MakeImage8(&record->pImageArray[2], 4, 2, 7, kMaskLumAlpha);
    MakeImage8(&record->pImageArray[3], 16, 16, 0, kMaskZeroAlpha); // white
    MakeSprite(&record->pSpriteArray[0], 3, 0, 0);
    MakeSprite(&record->pSpriteArray[1], 2, 0, 0); // drawn without an image
    Open(record);

    GLubyte texels[8];
    glBindTexture(GL_TEXTURE_2D, record->pImageArray[0].pTextureName[0]);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, texels);
    EXPECT_EQ(texels[0], 255) << "0 in the buffer is white";
    EXPECT_EQ(texels[1], 0) << "255 in the buffer is black";
    EXPECT_NEAR(texels[2], 191, 1);
    GLint format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(format, GL_LUMINANCE8);

    glBindTexture(GL_TEXTURE_2D, record->pImageArray[1].pTextureName[0]);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, texels);
    EXPECT_EQ(texels[0], 0);
    EXPECT_EQ(texels[1], 255) << "alpha is 255 where the gray image is black";
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(format, GL_ALPHA8);

    ASSERT_NE(record->pImageArray[2].pTextureName, nullptr);
    EXPECT_NE(record->pImageArray[2].pTextureName[0], 0u) << "names and parameters, but no image";
    glBindTexture(GL_TEXTURE_2D, record->pImageArray[2].pTextureName[0]);
    GLint width = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(record->pImageArray[2].pImageBuffer, nullptr);

    GLfloat scale = 0, bias = 1;
    glGetFloatv(GL_RED_SCALE, &scale);
    glGetFloatv(GL_RED_BIAS, &bias);
    EXPECT_EQ(scale, 1.0f) << "the pixel transfer is restored";
    EXPECT_EQ(bias, 0.0f);

    DrawGL(window);
    EXPECT_EQ(frame.At(100, 80), 0xFFFFFFu) << "a white gray image is drawn white";
}

TEST_F(GLWorld, SixteenBitPixelsKeepTheirColour)
{
    recWindow* record = NewTestRecord(1, 0);
    recImage& image = record->pImageArray[0];
    image.imageWidth = image.textureWidth = 2;
    image.imageHeight = image.textureHeight = 1;
    image.imageDepth = 16;
    image.zoom = 1;
    image.pImageBuffer = reinterpret_cast<unsigned char*>(NewPtrClear(4));
    auto* words = reinterpret_cast<uint16_t*>(image.pImageBuffer);
    words[0] = 0x8000 | 0x7C00; // opaque red
    words[1] = 0x001F;          // transparent blue
    Open(record);
    GLubyte rgba[8];
    glBindTexture(GL_TEXTURE_2D, image.pTextureName[0]);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    EXPECT_EQ(rgba[0], 255);
    EXPECT_EQ(rgba[2], 0);
    EXPECT_EQ(rgba[3], 255);
    EXPECT_EQ(rgba[6], 255);
    EXPECT_EQ(rgba[7], 0);
}

TEST_F(GLWorld, BuildingTwiceChangesNothingAndDisposingLeavesNothing)
{
    recWindow* record = Open(NewTestRecord(1, 1));
    MakeSprite(&record->pSpriteArray[0], 0, 0, 0);
    const AGLContext context = record->aglContext;
    const GLuint font = record->fontList;
    EXPECT_NE(font, 0u) << "the overlay font is built";
    EXPECT_EQ(BuildGLForWindow(window), noErr);
    EXPECT_EQ(record->aglContext, context);
    EXPECT_EQ(record->fontList, font);

    EXPECT_EQ(DisposeGLForWindow(window), noErr);
    EXPECT_EQ(record->aglContext, nullptr);
    EXPECT_EQ(record->pImageArray, nullptr);
    EXPECT_EQ(record->pSpriteArray, nullptr);
    EXPECT_EQ(record->numImages, 0);
    EXPECT_EQ(record->numSprites, 0);
    EXPECT_EQ(GetWRefCon(window), nullptr);
    EXPECT_EQ(DisposeGLForWindow(window), noErr);
    EXPECT_EQ(BuildGLForWindow(window), paramErr) << "no record";
    const int swaps = frame.swaps;
    DrawGL(window);
    EXPECT_EQ(frame.swaps, swaps) << "a window without a record is not drawn";
    SetWRefCon(window, record); // for the teardown
}

TEST_F(GLWorld, OddSizesGiveHalfPixelBounds)
{
    Open(NewTestRecord(0, 0), 641, 480);
    DrawGL(window);
    GLdouble m[16];
    glGetDoublev(GL_PROJECTION_MATRIX, m);
    // The GL keeps single precision.
    EXPECT_FLOAT_EQ(float(m[0]), float(2.0 / 641.0)) << "x from -320.5 to 320.5";
    EXPECT_FLOAT_EQ(float(m[5]), float(-2.0 / 480.0)) << "y from 240 down to -240";
    EXPECT_EQ(m[12], 0.0);
    EXPECT_EQ(m[13], 0.0);
    EXPECT_FLOAT_EQ(float(m[10]), float(-2.0 / 1000.0));
    EXPECT_FLOAT_EQ(float(m[14]), -1.0f);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

// --- primitives, through GL feedback ---------------------------------------

// A projection in which drawing space maps onto window coordinates around
// (400, 400), divided by scale, y up as in feedback.
void IdentityView(double scale = 1.0)
{
    glViewport(0, 0, 800, 800);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-400 * scale, 400 * scale, -400 * scale, 400 * scale, -1000, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

TEST_F(GLWorld, DrawGLImageFillsOrOutlinesOneTile)
{
    Open(NewTestRecord(0, 0));
    IdentityView();
    auto strip = Feedback([] { DrawGLImage(GL_TRIANGLE_STRIP, 100, 50, 2, 0, 0, 64, 32); });
    ASSERT_EQ(strip.size(), 2u) << "one strip of four vertices: two triangles";
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (const FeedbackItem& item : strip) {
        EXPECT_EQ(item.token, GLenum(GL_POLYGON_TOKEN));
        for (const FeedbackVertex& v : item.vertices) {
            minX = std::min(minX, v.x - 400);
            maxX = std::max(maxX, v.x - 400);
            minY = std::min(minY, v.y - 400);
            maxY = std::max(maxY, v.y - 400);
            // Texture coordinate 0 at the first corner, 1 at the second.
            EXPECT_EQ(v.s, v.x - 400 < 0 ? 0.0f : 1.0f);
        }
    }
    EXPECT_FLOAT_EQ(minX, -100);
    EXPECT_FLOAT_EQ(maxX, 28);
    EXPECT_FLOAT_EQ(minY, -50);
    EXPECT_FLOAT_EQ(maxY, 14);

    auto outline = Feedback([] { DrawGLImage(GL_LINE_STRIP, 100, 50, 2, 0, 0, 64, 32); });
    ASSERT_EQ(outline.size(), 5u) << "three lines of the strip and two more";
    for (const FeedbackItem& item : outline)
        EXPECT_EQ(item.token, GLenum(GL_LINE_TOKEN));
    // The diagonal from (end x, start y) to (start x, end y).
    EXPECT_FLOAT_EQ(outline[1].vertices[0].x - 400, 28);
    EXPECT_FLOAT_EQ(outline[1].vertices[1].x - 400, -100);
    // The two extra edges close the left and right sides.
    EXPECT_FLOAT_EQ(outline[3].vertices[0].x - 400, -100);
    EXPECT_FLOAT_EQ(outline[3].vertices[1].x - 400, -100);
    EXPECT_FLOAT_EQ(outline[4].vertices[0].x - 400, 28);
    EXPECT_FLOAT_EQ(outline[4].vertices[1].x - 400, 28);

    auto mirrored = Feedback([] { DrawGLImage(GL_TRIANGLE_STRIP, 100, 50, 1, 100, 0, 0, 50); });
    for (const FeedbackItem& item : mirrored)
        for (const FeedbackVertex& v : item.vertices)
            EXPECT_EQ(v.s, v.x - 400 > 0 ? 0.0f : 1.0f) << "an end before its offset mirrors the tile";
}

TEST_F(GLWorld, DrawGLPixelGridDrawsEveryTexelBoundary)
{
    Open(NewTestRecord(0, 0));
    IdentityView();
    auto lines = Feedback([] { DrawGLPixelGrid(4, 2, 8, 4, 1); });
    ASSERT_EQ(lines.size(), 8u);
    const float verticalX[] = {-4, -2, 0, 2, 4};
    for (int i = 0; i < 5; ++i) {
        EXPECT_FLOAT_EQ(lines[size_t(i)].vertices[0].x - 400, verticalX[i]);
        EXPECT_FLOAT_EQ(lines[size_t(i)].vertices[1].x - 400, verticalX[i]);
        EXPECT_FLOAT_EQ(lines[size_t(i)].vertices[0].y - 400, -2);
        EXPECT_FLOAT_EQ(lines[size_t(i)].vertices[1].y - 400, 2);
    }
    const float horizontalY[] = {-2, 0, 2};
    for (int j = 0; j < 3; ++j) {
        EXPECT_FLOAT_EQ(lines[size_t(5 + j)].vertices[0].y - 400, horizontalY[j]);
        EXPECT_FLOAT_EQ(lines[size_t(5 + j)].vertices[0].x - 400, -4);
        EXPECT_FLOAT_EQ(lines[size_t(5 + j)].vertices[1].x - 400, 4);
    }
}

// One drawn copy of a one-tile sprite: its centre in drawing space and
// whether its texture runs mirrored along x and y.
struct Copy {
    float x, y;
    bool mirrorX, mirrorY;
};

std::vector<Copy> Copies(const std::vector<FeedbackItem>& items, float scale)
{
    std::vector<Copy> copies;
    for (size_t i = 0; i + 1 < items.size(); i += 2) {
        // The strip's first triangle: (s0 t0), (s1 t0), (s0 t1).
        const auto& v = items[i].vertices;
        Copy c{};
        c.x = ((v[0].x + v[1].x) / 2 - 400) * scale;
        c.y = ((v[0].y + v[2].y) / 2 - 400) * scale;
        c.mirrorX = (v[0].s == 0) != (v[0].x < v[1].x);
        c.mirrorY = (v[0].t == 0) != (v[0].y < v[2].y);
        copies.push_back(c);
    }
    return copies;
}

TEST_F(GLWorld, TiledSpritesCoverTheWindowWithMirroredCopiesFixedInTheWorld)
{
    recWindow* record = OpenOneRedImage(256, 256);
    recSprite sprite;
    MakeSprite(&sprite, 0, 1000, 300);
    sprite.fTiled = kTiled;
    IdentityView(4.0); // room for the whole grid

    // Views at several places: every copy drawn is world copy n along x and
    // m along y, and is mirrored exactly where n (m) is odd.
    const float zoom = 0.5f;
    for (float viewX : {0.0f, 128.0f, 256.0f, 1000.0f, 1128.0f, -3000.5f}) {
        SCOPED_TRACE(viewX);
        auto items = Feedback(
            [&] { DrawGLSprite(&sprite, record->pImageArray, -viewX, -200.0f, 0, 0, zoom, 800, 600, false, false); });
        std::vector<Copy> copies = Copies(items, 4.0f);
        // Of the 11 x 11 grid (maxWindow 2400, tiles 11), the copies that
        // reach the 800 x 600 window, within a pixel, are drawn; the others
        // are left out.
        size_t reaching = 0;
        for (int n = -20; n <= 20; ++n)
            for (int m = -20; m <= 20; ++m)
                reaching += std::fabs((1000.0 + n * 256 - viewX) * zoom) < 400 + 64 + 1 &&
                            std::fabs((300.0 + m * 256 - 200) * zoom) < 300 + 64 + 1;
        ASSERT_EQ(copies.size(), reaching);
        ASSERT_GE(copies.size(), 35u);
        bool sawOwnPlace = false;
        for (const Copy& c : copies) {
            const float worldX = c.x / zoom + viewX;
            const float worldY = c.y / zoom + 200.0f;
            const double n = (worldX - 1000.0) / 256.0;
            const double m = (worldY - 300.0) / 256.0;
            ASSERT_NEAR(n, std::round(n), 0.01);
            ASSERT_NEAR(m, std::round(m), 0.01);
            EXPECT_EQ(c.mirrorX, std::abs(long(std::round(n))) % 2 == 1) << n;
            EXPECT_EQ(c.mirrorY, std::abs(long(std::round(m))) % 2 == 1) << m;
            if (std::round(n) == 0 && std::round(m) == 0) {
                sawOwnPlace = true;
                EXPECT_FALSE(c.mirrorX || c.mirrorY) << "copy 0 is never mirrored";
            }
            EXPECT_LT(std::fabs(c.x), 400 + 64 + 1) << "it reaches the window";
            EXPECT_LT(std::fabs(c.y), 300 + 64 + 1);
        }
        if (std::fabs(viewX - 1000) < 1000) {
            EXPECT_TRUE(sawOwnPlace);
        }
    }

    // Flip-tiled sprites are drawn alike.
    auto tiled = Feedback([&] { DrawGLSprite(&sprite, record->pImageArray, -10, -20, 0, 0, zoom, 800, 600, 0, 0); });
    sprite.fTiled = kFlipTiled;
    auto flipTiled =
        Feedback([&] { DrawGLSprite(&sprite, record->pImageArray, -10, -20, 0, 0, zoom, 800, 600, 0, 0); });
    ASSERT_EQ(tiled.size(), flipTiled.size());
    for (size_t i = 0; i < tiled.size(); ++i)
        for (size_t k = 0; k < tiled[i].vertices.size(); ++k) {
            EXPECT_EQ(tiled[i].vertices[k].x, flipTiled[i].vertices[k].x);
            EXPECT_EQ(tiled[i].vertices[k].s, flipTiled[i].vertices[k].s);
        }
}

TEST_F(GLWorld, DegenerateTiledSpritesAreSkipped)
{
    recWindow* record = OpenOneRedImage(16, 16);
    recSprite sprite;
    MakeSprite(&sprite, 0, 0, 0);
    sprite.fTiled = kTiled;
    IdentityView();
    for (float zoom : {0.0f, -1.0f, NAN, INFINITY}) {
        sprite.zoom = zoom;
        auto items = Feedback([&] { DrawGLSprite(&sprite, record->pImageArray, 0, 0, 0, 0, 1, 800, 600, 0, 0); });
        EXPECT_TRUE(items.empty()) << zoom;
    }
    sprite.zoom = 1;
    sprite.centerX = 1e30f; // unreachable by whole steps in float precision
    auto far = Feedback([&] { DrawGLSprite(&sprite, record->pImageArray, 0, 0, 0, 0, 1, 800, 600, 0, 0); });
    EXPECT_TRUE(far.empty());
}

TEST_F(GLWorld, LinesOutlineEveryTileOfEveryCopyAndTheGridSitsAtTheViewCentre)
{
    recWindow* record = OpenOneRedImage(300, 20); // tiles 256, 32, 8, 4 by 16, 4
    recSprite sprite;
    MakeSprite(&sprite, 0, 50, 60);
    sprite.rotation = 30;
    IdentityView();
    auto items = Feedback([&] { DrawGLSprite(&sprite, record->pImageArray, 0, 0, 0, 0, 1, 800, 600, 0, 1); });
    int polygons = 0, lines = 0;
    for (const FeedbackItem& item : items) {
        polygons += item.token == GL_POLYGON_TOKEN;
        lines += item.token == GL_LINE_TOKEN;
        if (item.token == GL_LINE_TOKEN) {
            EXPECT_EQ(item.vertices[0].g, 1.0f) << "outlines are green";
        }
    }
    EXPECT_EQ(polygons, 2 * 8) << "eight tiles";
    EXPECT_EQ(lines, 5 * 8);

    auto grid = Feedback([&] { DrawGLSprite(&sprite, record->pImageArray, 0, 0, 0, 0, 1, 800, 600, 1, 0); });
    float minX = 1e9f, maxX = -1e9f;
    int gridLines = 0;
    for (const FeedbackItem& item : grid)
        if (item.token == GL_LINE_TOKEN) {
            ++gridLines;
            EXPECT_FLOAT_EQ(item.vertices[0].b, 1.0f) << "the grid is blue";
            EXPECT_NEAR(item.vertices[0].a, 0.6f, 1e-6);
            for (const FeedbackVertex& v : item.vertices) {
                minX = std::min(minX, v.x - 400);
                maxX = std::max(maxX, v.x - 400);
            }
        }
    EXPECT_EQ(gridLines, 301 + 21);
    EXPECT_FLOAT_EQ(minX, -150) << "centred on the view, not moved or turned with the sprite";
    EXPECT_FLOAT_EQ(maxX, 150);
}

TEST_F(GLWorld, SpriteDrawingLeavesTheStateItPromises)
{
    recWindow* record = OpenOneRedImage(8, 8);
    recSprite sprite;
    MakeSprite(&sprite, 0, 0, 0);
    sprite.fAlphaBlend = sprite.fAlphaTest = true;
    GLdouble before[16], after[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, before);
    DrawGLSprite(&sprite, record->pImageArray, 3, 4, 0, 45, 2, 200, 160, 1, 1);
    glGetDoublev(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(before[i], after[i]);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 0.0f);
    EXPECT_EQ(colour[1], 1.0f);
    EXPECT_EQ(colour[2], 0.0f);
}

// --- the overlay --------------------------------------------------------------

TEST_F(GLWorld, TheOverlayShowsSizeViewZoomFrameRateVendorAndRenderer)
{
    Open(NewTestRecord(0, 0), 640, 480);
    DrawGL(window); // sets the projection the overlay draws in
    const GLuint font = PassThroughFont();
    std::vector<FeedbackVertex> colours;
    auto items = Feedback([&] { DrawInfo(-100.0f, -50.0f, 0.0f, 0.5f, 640, 480, font); });
    auto texts = Texts(items, &colours);
    EXPECT_EQ(texts[std::make_pair(10, 480 - 12)], "Window: (640 x 480)");
    EXPECT_EQ(texts[std::make_pair(10, 480 - 24)], "Position: (-100.0, -50.0) at 0.0 deg");
    EXPECT_EQ(texts[std::make_pair(10, 480 - 36)], "Zoom: 0.50");
    EXPECT_EQ(texts[std::make_pair(10, 480 - 48)].rfind("FPS: ", 0), 0u);
    EXPECT_EQ(texts[std::make_pair(10, 15)], reinterpret_cast<const char*>(glGetString(GL_VENDOR)));
    EXPECT_EQ(texts[std::make_pair(10, 3)], reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    for (const FeedbackVertex& c : colours) {
        EXPECT_FLOAT_EQ(c.r, 0.9f);
        EXPECT_EQ(c.g, 0.0f);
        EXPECT_EQ(c.a, 1.0f);
    }
    // The two panels, in the window's left corners.
    std::vector<std::pair<float, float>> panelCorners;
    for (const FeedbackItem& item : items)
        if (item.token == GL_POLYGON_TOKEN)
            for (const FeedbackVertex& v : item.vertices) {
                panelCorners.emplace_back(v.x, v.y);
                EXPECT_NEAR(v.r, 0.1f, 1e-6);
                EXPECT_NEAR(v.b, 0.12f, 1e-6);
                EXPECT_NEAR(v.a, 0.52f, 1e-6);
            }
    auto has = [&](float x, float y) {
        return std::any_of(panelCorners.begin(), panelCorners.end(), [&](const std::pair<float, float>& c) {
            return std::fabs(c.first - x) < 0.01f && std::fabs(c.second - y) < 0.01f;
        });
    };
    EXPECT_TRUE(has(0, 480) && has(250, 480) && has(250, 425) && has(0, 425)) << "top panel, 250 x 55";
    EXPECT_TRUE(has(0, 0) && has(250, 0) && has(250, 28) && has(0, 28)) << "bottom panel, 250 x 28";
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));

    auto turned = Texts(Feedback([&] { DrawInfo(-100.0f, -50.0f, -30.0f, 2.0f, 640, 480, font); }));
    EXPECT_EQ(turned[std::make_pair(10, 480 - 24)], "Position: (-100.0, -50.0) at -30.0 deg");
    EXPECT_EQ(turned[std::make_pair(10, 480 - 36)], "Zoom: 2.00");

    auto latin1 = Texts(Feedback([&] {
        glRasterPos2d(1, 1);
        DrawCStringGL("\xE9t\xE9", font);
    }));
    ASSERT_EQ(latin1.size(), 1u);
    EXPECT_EQ(latin1.begin()->second, "\xE9t\xE9") << "byte 0xE9 calls list 233";
    glDeleteLists(font, 256);
}

TEST_F(GLWorld, TheOverlayFollowsTheViewOfSpriteZero)
{
    recWindow* record = ViewAndSquare(0, 0);
    record->pSpriteArray[0].rotation = 30;
    record->zoom = 0.5f;
    record->info = true;
    Open(record, 640, 480);
    const GLuint font = PassThroughFont();
    record->fontList = font;
    auto texts = Texts(Feedback([&] { DrawGL(window); }));
    EXPECT_EQ(texts[std::make_pair(10, 480 - 24)], "Position: (-100.0, -50.0) at 0.0 deg");
    gZarvoRotate = false;
    texts = Texts(Feedback([&] { DrawGL(window); }));
    EXPECT_EQ(texts[std::make_pair(10, 480 - 24)], "Position: (-100.0, -50.0) at -30.0 deg");
    record->info = false;
    texts = Texts(Feedback([&] { DrawGL(window); }));
    EXPECT_TRUE(texts.empty()) << "no overlay without info";
}

AbsoluteTime gNow = 0;
AbsoluteTime TestClock()
{
    return gNow;
}

TEST_F(GLWorld, TheFrameRateIsTheMeanSinceTheLastRenewalAtMostTwiceASecond)
{
    Open(NewTestRecord(0, 0));
    IdentityView();
    const GLuint font = PassThroughFont();
    auto drawn = [&] {
        auto texts = Texts(Feedback([&] {
            glRasterPos2d(0, 0);
            DrawFrameRate(font);
        }));
        return texts.empty() ? std::string() : texts.begin()->second;
    };
    const AbsoluteTime second = 1000000000ull;
    // Far past any frame an earlier test of this process drew.
    const AbsoluteTime start = UpTime() + 1000 * second;
    FixtureSetUpTimeSource(TestClock);
    gNow = start;
    EXPECT_EQ(drawn(), "FPS: 0.0") << "the first call measures from long ago";
    for (int i = 1; i < 31; ++i) {
        gNow += second / 100;
        EXPECT_EQ(drawn(), "FPS: 0.0") << "not renewed before half a second";
    }
    gNow = start + second * 52 / 100;
    EXPECT_EQ(drawn(), "FPS: 59.6") << "31 frames in 0.52 seconds";
    gNow += second / 2;
    EXPECT_EQ(drawn(), "FPS: 2.0") << "exactly half a second renews";
    FixtureSetUpTimeSource(nullptr);
    glDeleteLists(font, 256);
}

TEST_F(GLWorld, TheOverlayTextIsRedOnItsBaselines)
{
    recWindow* record = NewTestRecord(0, 0);
    record->info = true;
    Open(record, 640, 480);
    DrawGL(window);
    // Top panel: 0.52 of (0.1, 0.1, 0.12) over the 0.2 gray.
    EXPECT_NEAR(frame.Red(200, 52), 38, 2);
    EXPECT_NEAR(frame.Blue(200, 52), 41, 2);
    EXPECT_EQ(frame.At(260, 30), kClear);
    EXPECT_NEAR(frame.Red(200, 478), 38, 2) << "bottom panel";
    EXPECT_EQ(frame.At(200, 450), kClear);
    // "Window" has no descenders: its lowest pixels sit on the baseline, 12
    // pixels below the top, and it starts 10 pixels from the left.
    int lowest = -1, leftmost = 1000;
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 50; ++x)
            if (IsRed(frame, x, y)) {
                lowest = std::max(lowest, y);
                leftmost = std::min(leftmost, x);
            }
    EXPECT_EQ(lowest, 11);
    EXPECT_GE(leftmost, 10);
    EXPECT_LE(leftmost, 11);
    // Each top line stays within its 12-pixel pitch: line 1's band ends
    // before line 2's glyphs begin.
    EXPECT_GT(RedInRow(frame, 11), 0);
    // "llvm" of the renderer line sits 3 pixels above the bottom.
    lowest = -1;
    for (int y = 460; y < 480; ++y)
        for (int x = 0; x < 30; ++x)
            if (IsRed(frame, x, y))
                lowest = std::max(lowest, y);
    EXPECT_EQ(lowest, 480 - 4);
}

} // namespace

namespace {

// --- frames that sprite files cannot make slow ----------------------------------

double ProcessCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

// What a frame may take. The sanitized build runs our code unoptimised and
// checks every memory access: there the same frames take three to four times
// as long (about 170 ms against 80 ms for the largest file on this project's
// machines), so its budget is scaled to still catch work that grows with the
// file rather than the cost of the instrumentation.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kFrameBudgetMs = 4 * 250.0;
#else
constexpr double kFrameBudgetMs = 250.0;
#endif

// Milliseconds of the slowest of a few frames of the window. The processor
// time of the whole process (the renderer's threads included) is counted:
// on an idle machine a frame takes at most that long, and unlike the time
// on the clock it does not grow when other programs share the processors.
double SlowestFrameMs(WindowRef window, int frames)
{
    double slowest = 0;
    for (int i = 0; i < frames; ++i) {
        const double start = ProcessCpuMs();
        DrawGL(window);
        glFinish();
        slowest = std::max(slowest, ProcessCpuMs() - start);
    }
    return slowest;
}

TEST_F(GLWorld, NoSpriteFileMakesAFrameSlowerThanAQuarterSecond)
{
    // Ten tiled one-pixel sprites (the grid alone asks for a million copies
    // each), one tiled 256 x 256 sprite, and a file of 1,048,576 sprites.
    recWindow* record = NewTestRecord(2, 11);
    MakeImage32(&record->pImageArray[0], 1, 1, 0xFFFFFFFF);
    MakeImage32(&record->pImageArray[1], 256, 256, 0x80FF0000);
    MakeSprite(&record->pSpriteArray[0], 1, 0, 0);
    for (int i = 1; i < 11; ++i) {
        MakeSprite(&record->pSpriteArray[i], 0, float(i), float(i), -1);
        record->pSpriteArray[i].fTiled = kTiled;
        record->pSpriteArray[i].fAlphaBlend = true;
    }
    record->pSpriteArray[0].fTiled = kFlipTiled;
    Open(record, 800, 600);
    StartCapturingStderr();
    for (float zoom : {0.1f, 0.01f}) {
        record->zoom = zoom;
        EXPECT_LT(SlowestFrameMs(window, 3), kFrameBudgetMs) << "tiled sprites at zoom " << zoom;
        record->lines = record->grid = true;
        EXPECT_LT(SlowestFrameMs(window, 2), kFrameBudgetMs) << "with outlines and grid at zoom " << zoom;
        record->lines = record->grid = false;
        // What reaches the GL stays within the frame's caps.
        int polygons = 0;
        for (const FeedbackItem& item : Feedback([&] { DrawGL(window); }))
            polygons += item.token == GL_POLYGON_TOKEN;
        EXPECT_GT(polygons, 1000) << "the window is covered with copies";
        // Triangles cut by the window's edges come back in pieces.
        EXPECT_LE(polygons, 2 * kMaxTilesPerFrame + 400);
    }
    const std::string said = CapturedStderr();
    EXPECT_NE(said.find("more than 16384 texture tiles, 12000000 pixels or 262144 texel grid lines in one frame"),
              std::string::npos)
        << said;
    EXPECT_EQ(said.find("DrawGL"), said.rfind("DrawGL")) << "said once, not every frame";

    // The largest sprite file: zero-filled sprites, all on image 0.
    const int32_t many = kMaxSpriteFileSprites;
    auto* sprites = reinterpret_cast<recSprite*>(NewPtrClear(int32_t(sizeof(recSprite)) * many));
    ASSERT_NE(sprites, nullptr);
    DisposePtr(reinterpret_cast<char*>(record->pSpriteArray));
    record->pSpriteArray = sprites;
    record->numSprites = many;
    record->zoom = 0.1f;
    EXPECT_LT(SlowestFrameMs(window, 3), kFrameBudgetMs) << many << " sprites";
    // Turned visible: each a 256 x 256 sprite over the window.
    for (int32_t i = 0; i < many; ++i) {
        sprites[i].imageNum = 1;
        sprites[i].zoom = 1.0f + float(i % 7);
        sprites[i].red = sprites[i].alpha = 1.0f;
        sprites[i].fAlphaBlend = i % 2 == 0;
    }
    EXPECT_LT(SlowestFrameMs(window, 3), kFrameBudgetMs) << many << " sprites over the window";
}

} // namespace
