#include "GL_Text.h"

#include <cmath>
#include <cstdio>

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

// Draws the string's glyphs from the font's atlas texture in one pass, on
// the pixels and in the colour the lists' bitmaps would give them, then
// moves the raster position as the lists would. Only where that is exact:
// the font has an atlas, the GL is rendering (not feeding back or
// selecting), texturing and the alpha test are off (bitmaps are not
// textured, and the atlas's cut-out needs the test) and the raster colour
// has some opacity. False when the lists have to draw the string.
bool DrawFromAtlas(const char* text, GLuint fontList)
{
    const HostFontAtlas* atlas = HostFindFontAtlas(fontList);
    if (!atlas)
        return false;
    GLint mode = 0, valid = 0;
    glGetIntegerv(GL_RENDER_MODE, &mode);
    glGetIntegerv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    GLfloat raster[4], colour[4], current[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    glGetFloatv(GL_CURRENT_RASTER_COLOR, colour);
    if (mode != GL_RENDER || glIsEnabled(GL_TEXTURE_2D) || glIsEnabled(GL_ALPHA_TEST) || !(colour[3] > 0.0f))
        return false;
    if (!valid)
        return true; // the lists would draw nothing and not move the position
    GLint viewport[4], matrixMode = 0, bound = 0, alphaFunc = 0;
    GLfloat alphaRef = 0;
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &alphaFunc);
    glGetFloatv(GL_ALPHA_TEST_REF, &alphaRef);
    glGetFloatv(GL_CURRENT_COLOR, current);

    // Window coordinates, depth as the raster position's.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(viewport[0], viewport[0] + viewport[2], viewport[1], viewport[1] + viewport[3], 0.0, -1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glBindTexture(GL_TEXTURE_2D, atlas->texture);
    glEnable(GL_TEXTURE_2D);
    glAlphaFunc(GL_GREATER, 0.0f); // the glyph's set bits, at the raster colour's opacity
    glEnable(GL_ALPHA_TEST);
    glColor4fv(colour);
    const float sScale = 1.0f / float(atlas->width), tScale = 1.0f / float(atlas->height);
    float x = raster[0];
    const float y = raster[1];
    glBegin(GL_QUADS);
    for (const char* c = text; *c; ++c) {
        const HostGlyph& g = atlas->glyphs[static_cast<unsigned char>(*c)];
        if (g.width > 0 && g.height > 0) {
            // Where a bitmap's first pixel goes: rounded down, after the
            // small nudge the GL gives a position a hair below a whole pixel.
            const float left = std::floor(x + kBitmapNudge - g.xorig), bottom = std::floor(y + kBitmapNudge - g.yorig);
            const float s0 = float(g.x) * sScale, s1 = float(g.x + g.width) * sScale;
            const float t0 = float(g.y) * tScale, t1 = float(g.y + g.height) * tScale;
            glTexCoord2f(s0, t0);
            glVertex3f(left, bottom, raster[2]);
            glTexCoord2f(s1, t0);
            glVertex3f(left + float(g.width), bottom, raster[2]);
            glTexCoord2f(s1, t1);
            glVertex3f(left + float(g.width), bottom + float(g.height), raster[2]);
            glTexCoord2f(s0, t1);
            glVertex3f(left, bottom + float(g.height), raster[2]);
        }
        x += g.advance;
    }
    glEnd();
    glDisable(GL_ALPHA_TEST);
    glAlphaFunc(GLenum(alphaFunc), alphaRef);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
    glColor4fv(current);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GLenum(matrixMode));
    // Move the raster position glyph by glyph, as the lists' bitmaps do.
    for (const char* c = text; *c; ++c)
        glBitmap(0, 0, 0.0f, 0.0f, atlas->glyphs[static_cast<unsigned char>(*c)].advance, 0.0f, nullptr);
    return true;
}

} // namespace

void DrawCStringGL(const char* cstrOut, GLuint fontList)
{
    if (!cstrOut || !fontList || DrawFromAtlas(cstrOut, fontList))
        return;
    for (const char* c = cstrOut; *c; ++c)
        glCallList(fontList + static_cast<unsigned char>(*c));
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
