#include "GL_Text.h"

#include <cmath>
#include <cstdio>

#include "GL_Quad_Arrays.h"
#include "Host_Time.h"

GLuint BuildFontGL(AGLContext ctx, GLint fontID, Style face, GLint size)
{
    GLuint listBase = glGenLists(256);
    if (listBase == 0)
        return 0;
    const Boolean built = aglUseFont(ctx, fontID, face, size, 0, 256, GLint(listBase));
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if (!built) {
        glDeleteLists(listBase, 256);
        listBase = 0;
    }
    return listBase;
}

namespace {

constexpr float kBitmapNudge = 0.0001f;

// Glyph quads from the atlas waiting to be drawn, in window coordinates:
// four corners each, with texture coordinates and the raster colour of
// their string.
struct GlyphQuads {
    const HostFontAtlas* atlas = nullptr;
    GLQuadArrays arrays;
    bool gathering = false; // between BeginTextGL and EndTextGL
};

GlyphQuads gPendingGlyphs; // keeps its storage from frame to frame

// Draws the waiting quads in one pass, on the pixels and in the colours the
// lists' bitmaps would give them, and leaves the GL's state as it was.
void DrawPendingGlyphs()
{
    GlyphQuads& q = gPendingGlyphs;
    if (q.arrays.vertices.empty())
        return;
    GLint viewport[4], matrixMode = 0, bound = 0, alphaFunc = 0;
    GLfloat alphaRef = 0, current[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &alphaFunc);
    glGetFloatv(GL_ALPHA_TEST_REF, &alphaRef);
    glGetFloatv(GL_CURRENT_COLOR, current);

    // Window coordinates, depth as the raster positions'.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(viewport[0], viewport[0] + viewport[2], viewport[1], viewport[1] + viewport[3], 0.0, -1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glBindTexture(GL_TEXTURE_2D, q.atlas->texture);
    glEnable(GL_TEXTURE_2D);
    glAlphaFunc(GL_GREATER, 0.0f); // the glyph's set bits, at the raster colour's opacity
    glEnable(GL_ALPHA_TEST);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    DrawGLQuadArrays(&q.arrays, GL_QUADS);
    glPopClientAttrib();
    glDisable(GL_ALPHA_TEST);
    glAlphaFunc(GLenum(alphaFunc), alphaRef);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
    glColor4fv(current); // a colour array leaves the current colour undefined
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GLenum(matrixMode));
}

// Adds the string's glyphs from the font's atlas to the waiting quads and
// moves the raster position as the lists would; they are drawn at once, or
// at EndTextGL while text is gathered. Only where that is exact: the font
// has an atlas, the GL is rendering (not feeding back or selecting),
// texturing and the alpha test are off (bitmaps are not textured, and the
// atlas's cut-out needs the test) and the raster colour has some opacity.
// False when the lists have to draw the string.
bool DrawFromAtlas(const char* text, GLuint fontList)
{
    const HostFontAtlas* atlas = HostFindFontAtlas(fontList);
    if (!atlas)
        return false;
    GLint mode = 0, valid = 0;
    glGetIntegerv(GL_RENDER_MODE, &mode);
    glGetIntegerv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    GLfloat raster[4], colour[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    glGetFloatv(GL_CURRENT_RASTER_COLOR, colour);
    if (mode != GL_RENDER || glIsEnabled(GL_TEXTURE_2D) || glIsEnabled(GL_ALPHA_TEST) || !(colour[3] > 0.0f))
        return false;
    if (!valid)
        return true; // the lists would draw nothing and not move the position
    GlyphQuads& q = gPendingGlyphs;
    if (q.atlas != atlas) {
        DrawPendingGlyphs();
        q.atlas = atlas;
    }
    const float sScale = 1.0f / float(atlas->width), tScale = 1.0f / float(atlas->height);
    float x = raster[0];
    const float y = raster[1];
    for (const char* c = text; *c; ++c) {
        const HostGlyph& g = atlas->glyphs[static_cast<unsigned char>(*c)];
        if (g.width > 0 && g.height > 0) {
            // Where a bitmap's first pixel goes: rounded down, after the
            // small nudge the GL gives a position a hair below a whole pixel.
            const float left = std::floor(x + kBitmapNudge - g.xorig), bottom = std::floor(y + kBitmapNudge - g.yorig);
            const float right = left + float(g.width), top = bottom + float(g.height);
            const float s0 = float(g.x) * sScale, s1 = float(g.x + g.width) * sScale;
            const float t0 = float(g.y) * tScale, t1 = float(g.y + g.height) * tScale;
            const float r = colour[0], gr = colour[1], b = colour[2], a = colour[3];
            q.arrays.vertices.insert(q.arrays.vertices.end(), {{left, bottom, raster[2], s0, t0, r, gr, b, a},
                                                               {right, bottom, raster[2], s1, t0, r, gr, b, a},
                                                               {right, top, raster[2], s1, t1, r, gr, b, a},
                                                               {left, top, raster[2], s0, t1, r, gr, b, a}});
        }
        x += g.advance;
        // Move the raster position glyph by glyph, as the lists' bitmaps do.
        glBitmap(0, 0, 0.0f, 0.0f, g.advance, 0.0f, nullptr);
    }
    if (!q.gathering)
        DrawPendingGlyphs();
    return true;
}

} // namespace

void DrawCStringGL(const char* cstrOut, GLuint fontList)
{
    if (!cstrOut || !fontList || DrawFromAtlas(cstrOut, fontList))
        return;
    DrawPendingGlyphs(); // what was gathered comes first
    for (const char* c = cstrOut; *c; ++c)
        glCallList(fontList + static_cast<unsigned char>(*c));
}

void BeginTextGL()
{
    gPendingGlyphs.gathering = true;
}

void EndTextGL()
{
    DrawPendingGlyphs();
    gPendingGlyphs.gathering = false;
}

void DrawFrameRate(GLuint fontList)
{
    static char aChar[256] = "";
    static int32_t frames = 0;
    static AbsoluteTime time = 0;

    const AbsoluteTime currTime = UpTime();
    // The duration count goes through a float on purpose: the counter has
    // always rounded it so, and the rate it shows follows from that.
    const double deltaTime = HostDurationSeconds(double(float(AbsoluteDeltaToDuration(currTime, time))));
    ++frames;
    if (deltaTime >= 0.5) {
        std::snprintf(aChar, sizeof aChar, "FPS: %0.1f", double(frames) / deltaTime);
        time = currTime;
        frames = 0;
    }
    DrawCStringGL(aChar, fontList);
}
