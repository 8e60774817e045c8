#include "GL_Text.h"

#include <cstdio>
#include <cstring>

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

void DrawCStringGL(const char* cstrOut, GLuint fontList)
{
    if (!cstrOut || !fontList)
        return;
    // One call for the whole string: list fontList + c for each byte c, in
    // order. Renderers that see lists holding one bitmap each draw the
    // string from a glyph atlas in a single pass.
    glListBase(fontList);
    glCallLists(GLsizei(std::strlen(cstrOut)), GL_UNSIGNED_BYTE, cstrOut);
    glListBase(0);
}

void DrawFrameRate(GLuint fontList)
{
    static char aChar[256] = "";
    static int32_t frames = 0;
    static AbsoluteTime time = 0;

    const AbsoluteTime currTime = UpTime();
    double deltaTime = double(float(AbsoluteDeltaToDuration(currTime, time)));
    deltaTime = deltaTime < 0 ? deltaTime / -1000000.0 : deltaTime / 1000.0;
    ++frames;
    if (deltaTime >= 0.5) {
        std::snprintf(aChar, sizeof aChar, "FPS: %0.1f", double(frames) / deltaTime);
        time = currTime;
        frames = 0;
    }
    DrawCStringGL(aChar, fontList);
}
