// The windowed GL context layer: pixel formats, contexts on a window's
// surface, renderer facts and bitmap fonts. Contexts are Qt OpenGL contexts;
// the GL calls themselves go straight to the system libGL. A file a job:
// Host_GL_Format (pixel formats), Host_AGL (contexts), Host_GL_Renderers
// (renderer facts), Host_GL_Fonts (fonts); the devices are Host_Displays'.
#pragma once

#include "Host_Displays.h"
#include "Host_GL_Types.h"
#include "Host_Types.h"
#include "Host_Window_Types.h"

struct AGLRendererInfoRec;
using AGLRendererInfo = AGLRendererInfoRec*;
using Style = uint8_t;

// True when an OpenGL implementation can be reached (a GUI application runs
// and a context can be made).
Boolean HostAGLAvailable();

// Pixel-format attributes and renderer properties.
enum {
    AGL_NONE = 0,
    AGL_RGBA = 4,
    AGL_DOUBLEBUFFER = 5,
    AGL_DEPTH_SIZE = 12,
    AGL_ACCELERATED = 73,
    AGL_DEPTH_MODES = 105,
    AGL_VIDEO_MEMORY = 120,
    AGL_SWAP_INTERVAL = 222,
};

// Depth-size bits of AGL_DEPTH_MODES.
enum {
    AGL_0_BIT = 0x00000001,
    AGL_16_BIT = 0x00000400,
    AGL_24_BIT = 0x00000800,
    AGL_32_BIT = 0x00001000,
};

// Error codes kept by aglGetError.
enum {
    AGL_NO_ERROR = 0,
    AGL_BAD_ATTRIBUTE = 10000,
    AGL_BAD_PROPERTY = 10001,
    AGL_BAD_PIXELFMT = 10002,
    AGL_BAD_RENDINFO = 10003,
    AGL_BAD_CONTEXT = 10004,
    AGL_BAD_DRAWABLE = 10005,
    AGL_BAD_GDEV = 10006,
    AGL_BAD_STATE = 10007,
    AGL_BAD_VALUE = 10008,
    AGL_BAD_MATCH = 10009,
    AGL_BAD_ENUM = 10010,
    AGL_BAD_ALLOC = 10016,
};

// A pixel format for the attribute list (terminated by AGL_NONE), suited to
// the given devices, or to every display when gdevs is null. Null when an
// attribute is unknown or acceleration is asked for and no renderer of those
// devices has it.
AGLPixelFormat aglChoosePixelFormat(const GDHandle* gdevs, GLint ndev, const GLint* attribs);
void aglDestroyPixelFormat(AGLPixelFormat pix);

// A new context of the pixel format, sharing textures and display lists with
// share (may be null). Null on failure; AGL_BAD_MATCH when share cannot be
// shared with.
AGLContext aglCreateContext(AGLPixelFormat pix, AGLContext share);
Boolean aglDestroyContext(AGLContext ctx);
// Attaches the context to the window of the drawing port; a null port detaches it.
Boolean aglSetDrawable(AGLContext ctx, CGrafPtr port);
// Makes the context current (null: none).
Boolean aglSetCurrentContext(AGLContext ctx);
AGLContext aglGetCurrentContext();
// Lets the context follow its window's size and place.
Boolean aglUpdateContext(AGLContext ctx);
// AGL_SWAP_INTERVAL: 1 waits for the display's retrace on every swap, 0 not.
Boolean aglSetInteger(AGLContext ctx, GLint pname, const GLint* params);
Boolean aglSwapBuffers(AGLContext ctx);
// The pending error, cleared by reading it.
GLint aglGetError();
const GLubyte* aglErrorString(GLint code);

// Renderer facts of the devices: a list with one entry per renderer, null on failure.
AGLRendererInfo aglQueryRendererInfo(const GDHandle* gdevs, GLint ndev);
AGLRendererInfo aglNextRendererInfo(AGLRendererInfo rend);
Boolean aglDescribeRenderer(AGLRendererInfo rend, GLint prop, GLint* value);
void aglDestroyRendererInfo(AGLRendererInfo rend);

// Device pixels per pixel of the window the context draws to: 2 on a screen
// of twice the usual density (QT_SCALE_FACTOR=2, say), 1 without a window.
GLfloat HostPixelRatio(AGLContext ctx);

// Font family number of a font named by a length-prefixed string.
void GetFNum(ConstStringPtr name, int16_t* familyID);
// Builds count display lists from base, one per character code from first:
// each draws its glyph (Latin-1) at the raster position and advances the
// raster position by the glyph's width. face 1 is bold; size in points, at
// the density of the context's screen (twice the pixels where a pixel of the
// window is two device pixels wide).
Boolean aglUseFont(AGLContext ctx, GLint fontID, Style face, GLint size, GLint first, GLint count, GLint base);

// The glyphs of a font that aglUseFont built, also packed into one alpha
// texture of the context (255 where a glyph's bitmap has a bit set), so that
// a string can be drawn in one pass. Glyph c is what list base + c draws:
// width by height pixels whose lower-left corner lies xorig left of and
// yorig below the raster position, at (x, y) in the texture (rows from the
// bottom up); the raster position then moves advance to the right.
struct HostGlyph {
    int16_t x, y, width, height;
    float xorig, yorig, advance;
};
struct HostFontAtlas {
    GLuint base;    // the list of character 0
    GLuint texture; // GL_ALPHA8, nearest filtering
    int32_t width, height;
    HostGlyph glyphs[256];
};
// The atlas of the font whose character 0 is list base, in the current
// context; null for lists aglUseFont did not build.
const HostFontAtlas* HostFindFontAtlas(GLuint base);
