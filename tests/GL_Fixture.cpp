#include "GL_Fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWindow>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "Host_Files.h"
#include "Host_GL_Hooks.h"
#include "Host_Window_Surface.h"
#include "Window_Fixture.h"

uint32_t Frame::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return 0xFFFFFFFF;
    const size_t i = (size_t(height - 1 - y) * size_t(width) + size_t(x)) * 4;
    return (uint32_t(rgba[i]) << 16) | (uint32_t(rgba[i + 1]) << 8) | uint32_t(rgba[i + 2]);
}

recWindow* NewTestRecord(int32_t numImages, int32_t numSprites, float zoom)
{
    auto* record = static_cast<recWindow*>(std::calloc(1, sizeof(recWindow)));
    record->zoom = zoom;
    record->numImages = numImages;
    record->numSprites = numSprites;
    record->pImageArray = reinterpret_cast<recImage*>(NewPtrClear(int32_t(sizeof(recImage)) * numImages));
    record->pSpriteArray = reinterpret_cast<recSprite*>(NewPtrClear(int32_t(sizeof(recSprite)) * numSprites));
    return record;
}

namespace {

void SizeImage(recImage* image, int32_t width, int32_t height, int32_t depth, int32_t maskType)
{
    image->imageWidth = image->textureWidth = width;
    image->imageHeight = image->textureHeight = height;
    image->imageAspect = float(width) / float(height);
    image->imageDepth = depth;
    image->zoom = 1.0f;
    image->maskType = maskType;
    image->pImageBuffer = reinterpret_cast<unsigned char*>(NewPtrClear(width * height * depth / 8));
}

void ReadBack(AGLContext, void* data)
{
    auto* frame = static_cast<Frame*>(data);
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    frame->width = viewport[2];
    frame->height = viewport[3];
    frame->rgba.assign(size_t(frame->width) * size_t(frame->height) * 4, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, frame->width, frame->height, GL_RGBA, GL_UNSIGNED_BYTE, frame->rgba.data());
    ++frame->swaps;
}

} // namespace

void MakeImage32(recImage* image, int32_t width, int32_t height, uint32_t fill)
{
    SizeImage(image, width, height, 32, kMaskAlphaOnly);
    auto* words = reinterpret_cast<uint32_t*>(image->pImageBuffer);
    for (int32_t i = 0; i < width * height; ++i)
        words[i] = fill;
}

void MakeImage8(recImage* image, int32_t width, int32_t height, uint8_t fill, int32_t maskType)
{
    SizeImage(image, width, height, 8, maskType);
    std::memset(image->pImageBuffer, fill, size_t(width) * size_t(height));
}

void MakeSprite(recSprite* sprite, int32_t imageNum, float x, float y, float z)
{
    *sprite = recSprite{};
    sprite->imageNum = imageNum;
    sprite->centerX = x;
    sprite->centerY = y;
    sprite->centerZ = z;
    sprite->zoom = 1.0f;
    sprite->red = sprite->green = sprite->blue = sprite->alpha = 1.0f;
}

void PumpEvents(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    } while (timer.elapsed() < milliseconds);
}

WindowRef OpenGLTestWindow(recWindow* record, int width, int height, Frame* frame)
{
    WindowRef window = MakeTestWindow(record);
    if (!window)
        return nullptr;
    ShowWindow(window);
    QWindow* surface = HostWindowSurface(window);
    QElapsedTimer timer;
    timer.start();
    Rect bounds{};
    do {
        SizeWindow(window, int16_t(width), int16_t(height), true);
        PumpEvents(10);
        GetWindowPortBounds(window, &bounds);
    } while ((!surface->isExposed() || bounds.right != width || bounds.bottom != height) && timer.elapsed() < 5000);
    EXPECT_TRUE(surface->isExposed());
    EXPECT_EQ(bounds.right, width);
    EXPECT_EQ(bounds.bottom, height);
    FixtureSetBeforeSwapHook(frame ? ReadBack : nullptr, frame);
    if (record) {
        EXPECT_EQ(BuildGLForWindow(window), noErr);
    }
    return window;
}

void CloseGLTestWindow(WindowRef window)
{
    FixtureSetBeforeSwapHook(nullptr, nullptr);
    auto* record = static_cast<recWindow*>(GetWRefCon(window));
    DisposeGLForWindow(window);
    DisposeWindow(window);
    std::free(record);
}

std::vector<FeedbackItem> ParseFeedback(const std::vector<GLfloat>& buffer, GLint size)
{
    std::vector<FeedbackItem> items;
    GLint i = 0;
    auto vertex = [&]() {
        FeedbackVertex v{};
        v.x = buffer[size_t(i)];
        v.y = buffer[size_t(i) + 1];
        v.z = buffer[size_t(i) + 2];
        v.r = buffer[size_t(i) + 3];
        v.g = buffer[size_t(i) + 4];
        v.b = buffer[size_t(i) + 5];
        v.a = buffer[size_t(i) + 6];
        v.s = buffer[size_t(i) + 7];
        v.t = buffer[size_t(i) + 8];
        i += 11; // x y z, r g b a, s t r q
        return v;
    };
    while (i < size) {
        const auto token = GLenum(buffer[size_t(i++)]);
        FeedbackItem item{token, 0.0f, {}};
        switch (token) {
        case GL_POLYGON_TOKEN: {
            const int n = int(buffer[size_t(i++)]);
            for (int k = 0; k < n; ++k)
                item.vertices.push_back(vertex());
            break;
        }
        case GL_LINE_TOKEN:
        case GL_LINE_RESET_TOKEN:
            item.token = GL_LINE_TOKEN;
            item.vertices.push_back(vertex());
            item.vertices.push_back(vertex());
            break;
        case GL_POINT_TOKEN:
        case GL_BITMAP_TOKEN:
        case GL_DRAW_PIXEL_TOKEN:
        case GL_COPY_PIXEL_TOKEN:
            item.vertices.push_back(vertex());
            break;
        case GL_PASS_THROUGH_TOKEN:
            item.value = buffer[size_t(i++)];
            break;
        default:
            ADD_FAILURE() << "unknown feedback token " << token;
            return items;
        }
        items.push_back(item);
    }
    return items;
}

GLuint PassThroughFont()
{
    const GLuint base = glGenLists(256);
    for (GLuint c = 0; c < 256; ++c) {
        glNewList(base + c, GL_COMPILE);
        glPassThrough(GLfloat(c));
        const GLubyte blank = 0; // an empty bitmap would be dropped from the list
        glBitmap(1, 1, 0, 0, 0, 0, &blank);
        glEndList();
    }
    return base;
}

std::map<std::pair<int, int>, std::string> Texts(const std::vector<FeedbackItem>& items,
                                                 std::vector<FeedbackVertex>* rasterColours)
{
    std::map<std::pair<int, int>, std::string> texts;
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        if (items[i].token != GL_PASS_THROUGH_TOKEN || items[i + 1].token != GL_BITMAP_TOKEN)
            continue;
        const FeedbackVertex& at = items[i + 1].vertices[0];
        texts[{int(std::lround(at.x)), int(std::lround(at.y))}] += char(int(items[i].value));
        if (rasterColours)
            rasterColours->push_back(at);
    }
    return texts;
}
