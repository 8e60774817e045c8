// Text in a GL context: a bitmap font kept as 256 display lists, one per
// character code, and the frame-rate line of the information overlay.
#pragma once

#include "Host_AGL.h"
#include "Host_GL_Types.h"
#include "Host_Types.h"

// Builds the glyphs of character codes 0 to 255 of the font into 256
// consecutive display lists of the current context: list base + c draws
// character c at the raster position and advances it. The first list, or 0
// when the font could not be built (no lists are left behind then).
GLuint BuildFontGL(AGLContext ctx, GLint fontID, Style face, GLint size);

// Draws the text at the current raster position, a display list per byte.
void DrawCStringGL(const char* cstrOut, GLuint fontList);

// Text drawn between these two calls may wait and be drawn at EndTextGL,
// all of it in one pass: so lines of text cost one draw instead of one each.
// Nothing else may be drawn, and the viewport not changed, in between.
void BeginTextGL();
void EndTextGL();

// Counts this frame and draws the frame rate: the mean over the frames since
// the text was last renewed, renewed when at least half a second has passed.
// One count for the whole program, whichever window draws.
void DrawFrameRate(GLuint fontList);
