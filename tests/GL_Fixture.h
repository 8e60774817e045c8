// Real sprite windows with GL contexts for tests under a display (Xvfb and
// Mesa llvmpipe in CI): records built in memory, frames read back from the
// back buffer just before each swap, and GL feedback of what was drawn.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Host_App.h"
#include "Sprite_Window.h"

// A frame as read back: RGBA bytes, top row first.
struct Frame {
    int width = 0;
    int height = 0;
    int swaps = 0;
    std::vector<uint8_t> rgba;
    // The pixel at column x, row y from the top, as 0xRRGGBB.
    uint32_t At(int x, int y) const;
    uint8_t Red(int x, int y) const { return uint8_t(At(x, y) >> 16); }
    uint8_t Green(int x, int y) const { return uint8_t(At(x, y) >> 8); }
    uint8_t Blue(int x, int y) const { return uint8_t(At(x, y)); }
};

// A zero-filled record with the loader's defaults (zoom 0.5 unless given,
// info off) and room for the given numbers of images and sprites.
recWindow* NewTestRecord(int32_t numImages, int32_t numSprites, float zoom = 1.0f);
// An image of 32-bit words 0xAARRGGBB, every pixel `fill`, not yet uploaded.
void MakeImage32(recImage* image, int32_t width, int32_t height, uint32_t fill);
// An 8-bit image of the given mask type, every byte `fill`.
void MakeImage8(recImage* image, int32_t width, int32_t height, uint8_t fill, int32_t maskType);
// A sprite on the image at the place, upright, white, opaque, zoom 1.
void MakeSprite(recSprite* sprite, int32_t imageNum, float x, float y, float z = 0.0f);

// Shows a sprite window of the given content size holding the record, waits
// until it is on screen and builds its GL resources (when there is a record). Every swap of any window
// from then on is read back into *frame.
WindowRef OpenGLTestWindow(recWindow* record, int width, int height, Frame* frame);
// Releases the GL resources, the window and the record.
void CloseGLTestWindow(WindowRef window);

// Lets Qt deliver pending events for the given milliseconds.
void PumpEvents(int milliseconds);

// One vertex of GL feedback: window coordinates, colour and texture coordinate.
struct FeedbackVertex {
    float x, y, z;
    float r, g, b, a;
    float s, t;
};
// One feedback item: a polygon, line or bitmap with its vertices, or a pass-through marker.
struct FeedbackItem {
    GLenum token; // GL_POLYGON_TOKEN, GL_LINE_TOKEN (also for line resets), GL_BITMAP_TOKEN, GL_PASS_THROUGH_TOKEN, ...
    float value;  // the pass-through value
    std::vector<FeedbackVertex> vertices;
};
// Runs draw in GL feedback mode (GL_3D_COLOR_TEXTURE) and parses what it drew.
// Depth clamping is on meanwhile: the feedback path of Mesa clips what lies
// exactly on the near plane, where the frames draw everything at depth 0.
template <typename Draw>
std::vector<FeedbackItem> Feedback(Draw draw);
std::vector<FeedbackItem> ParseFeedback(const std::vector<GLfloat>& buffer, GLint size);

template <typename Draw>
std::vector<FeedbackItem> Feedback(Draw draw)
{
    std::vector<GLfloat> buffer(1 << 22);
    glFeedbackBuffer(GLsizei(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glEnable(GL_DEPTH_CLAMP);
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint size = glRenderMode(GL_RENDER);
    glDisable(GL_DEPTH_CLAMP);
    return ParseFeedback(buffer, size);
}

// A font whose list for character c passes c through the feedback and
// reports the raster position as a bitmap.
GLuint PassThroughFont();
// The texts a PassThroughFont drew, by the raster position (window x, y)
// they start at; rasterColours, when given, gets every character's raster
// position and colour.
std::map<std::pair<int, int>, std::string> Texts(const std::vector<FeedbackItem>& items,
                                                 std::vector<FeedbackVertex>* rasterColours = nullptr);
