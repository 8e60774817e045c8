// Quads waiting to be drawn from vertex arrays: corners, texture coordinates
// and colours, kept from one draw to the next so that their storage is too.
#pragma once

#include <GL/gl.h>

#include <vector>

struct GLQuadArrays {
    std::vector<GLfloat> xyz, st, rgba; // 3, 2 and 4 values a vertex
};

// Draws the arrays as primitives of the given mode with the texture and state
// in force (the vertex, texture-coordinate and colour arrays enabled), then
// empties them.
inline void DrawGLQuadArrays(GLQuadArrays* arrays, GLenum mode)
{
    glVertexPointer(3, GL_FLOAT, 0, arrays->xyz.data());
    glTexCoordPointer(2, GL_FLOAT, 0, arrays->st.data());
    glColorPointer(4, GL_FLOAT, 0, arrays->rgba.data());
    glDrawArrays(mode, 0, GLsizei(arrays->xyz.size() / 3));
    arrays->xyz.clear();
    arrays->st.clear();
    arrays->rgba.clear();
}
