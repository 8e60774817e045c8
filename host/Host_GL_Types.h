// Handles of the windowed GL context layer. Their contents belong to the
// host's GL implementation.
#pragma once

#include <GL/gl.h>

struct AGLContextRec;
struct AGLPixelFormatRec;
using AGLContext = AGLContextRec*;
using AGLPixelFormat = AGLPixelFormatRec*;
