// Surface and pixel formats of the GL windows and contexts.
#include "Host_GL_Format.h"

#include <algorithm>

#include "Host_AGL_Internal.h"

int gSwapInterval = 1;

QSurfaceFormat HostGLSurfaceFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    // No alpha channel: windows are opaque whatever alpha a frame leaves
    // behind. A compositor (Wayland's, or X11's with a visual of 32 bits)
    // would show the desktop through wherever the overlay blended.
    format.setAlphaBufferSize(0);
    format.setDepthBufferSize(16);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setSwapInterval(gSwapInterval);
    return format;
}

AGLPixelFormat aglChoosePixelFormat(const GDHandle* gdevs, GLint ndev, const GLint* attribs)
{
    QSurfaceFormat format = HostGLSurfaceFormat();
    format.setSwapBehavior(QSurfaceFormat::SingleBuffer);
    format.setDepthBufferSize(0);
    format.setRedBufferSize(-1);
    format.setGreenBufferSize(-1);
    format.setBlueBufferSize(-1);
    format.setAlphaBufferSize(-1);
    bool accelerated = false;
    for (int i = 0; attribs && i < 64 && attribs[i] != AGL_NONE; ++i) {
        switch (attribs[i]) {
        case AGL_RGBA:
            format.setRedBufferSize(8);
            format.setGreenBufferSize(8);
            format.setBlueBufferSize(8);
            format.setAlphaBufferSize(0);
            break;
        case AGL_DOUBLEBUFFER:
            format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
            break;
        case AGL_ACCELERATED:
            accelerated = true;
            break;
        case AGL_DEPTH_SIZE:
            if (i + 1 >= 64 || attribs[i + 1] < 0 || attribs[i + 1] > 32) {
                HostSetAGLError(AGL_BAD_VALUE);
                return nullptr;
            }
            format.setDepthBufferSize(attribs[++i]);
            break;
        default:
            HostSetAGLError(AGL_BAD_ATTRIBUTE);
            return nullptr;
        }
    }
    // The renderers that can be reached; a device whose renderers cannot be
    // asked offers none.
    std::vector<HostRendererFacts> renderers;
    HostDeviceRenderers(gdevs, ndev, &renderers, false);
    if (accelerated &&
        std::none_of(renderers.begin(), renderers.end(), [](const HostRendererFacts& r) { return r.accelerated != 0; }))
        return nullptr;
    return new AGLPixelFormatRec{format, gdevs ? std::max<GLint>(ndev, 0) : 0};
}

void aglDestroyPixelFormat(AGLPixelFormat pix)
{
    delete pix;
}
