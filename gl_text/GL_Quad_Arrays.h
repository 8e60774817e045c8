// Quads waiting to be drawn from one interleaved vertex array: corner,
// texture coordinates and colour of each vertex side by side, kept from one
// draw to the next so that its storage is too.
#pragma once

#include <GL/gl.h>

#include <vector>

struct GLQuadVertex {
    GLfloat x, y, z, s, t, r, g, b, a;
};

struct GLQuadArrays {
    std::vector<GLQuadVertex> vertices; // four a quad
};

// Draws the vertices as primitives of the given mode with the texture and
// state in force (the vertex and texture-coordinate arrays enabled, the
// colour array too where the colours count), then empties them.
inline void DrawGLQuadArrays(GLQuadArrays* arrays, GLenum mode)
{
    const GLQuadVertex* v = arrays->vertices.data();
    constexpr GLsizei stride = sizeof(GLQuadVertex);
    glVertexPointer(3, GL_FLOAT, stride, &v->x);
    glTexCoordPointer(2, GL_FLOAT, stride, &v->s);
    glColorPointer(4, GL_FLOAT, stride, &v->r);
    glDrawArrays(mode, 0, GLsizei(arrays->vertices.size()));
    arrays->vertices.clear();
}
