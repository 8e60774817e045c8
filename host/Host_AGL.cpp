// Contexts on Qt OpenGL: made from a pixel format, attached to a window's
// surface, made current and swapped; the pending error.
#include "Host_AGL.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>

#include "Host_AGL_Internal.h"
#include "Host_GL_Format.h"
#include "Host_Window_Surface.h"

bool gRefuseSharing = false;
HostSwapHook gSwapHook = nullptr;
void* gSwapHookData = nullptr;
AGLContext gCurrentContext = nullptr;

namespace {
GLint gError = AGL_NO_ERROR;
}

void HostSetAGLError(GLint code)
{
    gError = code;
}

// The context that renderer facts and fonts are probed with when no window
// context is current.
QOffscreenSurface* HostOffscreenSurface()
{
    static QOffscreenSurface* surface = nullptr;
    if (!surface) {
        surface = new QOffscreenSurface;
        surface->setFormat(HostGLSurfaceFormat());
        surface->create();
    }
    return surface;
}

AGLContext aglCreateContext(AGLPixelFormat pix, AGLContext share)
{
    if (!pix) {
        HostSetAGLError(AGL_BAD_PIXELFMT);
        return nullptr;
    }
    if (share && gRefuseSharing) {
        HostSetAGLError(AGL_BAD_MATCH);
        return nullptr;
    }
    auto* context = new QOpenGLContext;
    context->setFormat(pix->format);
    if (share)
        context->setShareContext(share->context);
    if (!context->create()) {
        delete context;
        HostSetAGLError(AGL_BAD_ALLOC);
        return nullptr;
    }
    if (share && context->shareContext() != share->context) {
        delete context;
        HostSetAGLError(AGL_BAD_MATCH);
        return nullptr;
    }
    return new AGLContextRec{context, nullptr, {}};
}

Boolean aglDestroyContext(AGLContext ctx)
{
    if (!ctx) {
        HostSetAGLError(AGL_BAD_CONTEXT);
        return false;
    }
    if (gCurrentContext == ctx) {
        ctx->context->doneCurrent();
        gCurrentContext = nullptr;
    }
    delete ctx->context;
    delete ctx;
    return true;
}

Boolean aglSetDrawable(AGLContext ctx, CGrafPtr port)
{
    if (!ctx) {
        HostSetAGLError(AGL_BAD_CONTEXT);
        return false;
    }
    if (!port) {
        if (gCurrentContext == ctx)
            ctx->context->makeCurrent(HostOffscreenSurface());
        ctx->drawable = nullptr;
        return true;
    }
    QWindow* surface = HostWindowSurface(reinterpret_cast<WindowRef>(port));
    if (!surface) {
        HostSetAGLError(AGL_BAD_DRAWABLE);
        return false;
    }
    // A context draws only to a surface made with its depth buffer or lack of
    // one: a surface made before for the other kind is made again.
    const bool depth = ctx->context->format().depthBufferSize() > 0;
    if ((surface->requestedFormat().depthBufferSize() > 0) != depth) {
        QSurfaceFormat format = surface->requestedFormat();
        format.setDepthBufferSize(depth ? ctx->context->format().depthBufferSize() : 0);
        const bool visible = surface->isVisible();
        if (surface->handle())
            surface->destroy();
        surface->setFormat(format);
        if (visible)
            surface->setVisible(true);
    }
    surface->create();
    ctx->drawable = surface;
    return true;
}

Boolean aglSetCurrentContext(AGLContext ctx)
{
    if (!ctx) {
        if (gCurrentContext)
            gCurrentContext->context->doneCurrent();
        gCurrentContext = nullptr;
        return true;
    }
    QSurface* surface = ctx->drawable ? static_cast<QSurface*>(ctx->drawable.data()) : HostOffscreenSurface();
    if (!ctx->context->makeCurrent(surface)) {
        HostSetAGLError(AGL_BAD_CONTEXT);
        return false;
    }
    gCurrentContext = ctx;
    return true;
}

AGLContext aglGetCurrentContext()
{
    return gCurrentContext;
}

Boolean aglUpdateContext(AGLContext ctx)
{
    // Qt surfaces follow their window's size and place by themselves.
    if (!ctx) {
        HostSetAGLError(AGL_BAD_CONTEXT);
        return false;
    }
    return true;
}

Boolean aglSetInteger(AGLContext ctx, GLint pname, const GLint* params)
{
    if (!ctx) {
        HostSetAGLError(AGL_BAD_CONTEXT);
        return false;
    }
    if (pname != AGL_SWAP_INTERVAL || !params) {
        HostSetAGLError(AGL_BAD_ENUM);
        return false;
    }
    // The interval belongs to the window's surface format, fixed when the
    // surface was made (FixtureSetSwapInterval).
    return true;
}

namespace {

// Sets the frame's alpha to one before it is shown. A config with an alpha
// channel is what the driver may give even for a request without one, and
// blending leaves alpha below one wherever it drew translucently: a
// compositor that heeds the buffer's alpha would show what lies behind the
// window through those places.
void FillAlpha()
{
    GLboolean mask[4];
    GLfloat clear[4];
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glColorMask(mask[0], mask[1], mask[2], mask[3]);
    glClearColor(clear[0], clear[1], clear[2], clear[3]);
    if (scissor)
        glEnable(GL_SCISSOR_TEST);
}

} // namespace

Boolean aglSwapBuffers(AGLContext ctx)
{
    if (!ctx) {
        HostSetAGLError(AGL_BAD_CONTEXT);
        return false;
    }
    if (gSwapHook && gCurrentContext == ctx)
        gSwapHook(ctx, gSwapHookData);
    if (ctx->drawable && ctx->drawable->isExposed()) {
        if (gCurrentContext == ctx)
            FillAlpha();
        ctx->context->swapBuffers(ctx->drawable);
    }
    return true;
}

GLint aglGetError()
{
    const GLint code = gError;
    gError = AGL_NO_ERROR;
    return code;
}

const GLubyte* aglErrorString(GLint code)
{
    const char* text = "unknown error";
    // clang-format off
    switch (code) {
    case AGL_NO_ERROR: text = "no error"; break;
    case AGL_BAD_ATTRIBUTE: text = "invalid pixel format attribute"; break;
    case AGL_BAD_PROPERTY: text = "invalid renderer property"; break;
    case AGL_BAD_PIXELFMT: text = "invalid pixel format"; break;
    case AGL_BAD_RENDINFO: text = "invalid renderer info"; break;
    case AGL_BAD_CONTEXT: text = "invalid context"; break;
    case AGL_BAD_DRAWABLE: text = "invalid drawable"; break;
    case AGL_BAD_GDEV: text = "invalid graphics device"; break;
    case AGL_BAD_STATE: text = "invalid context state"; break;
    case AGL_BAD_VALUE: text = "invalid numerical value"; break;
    case AGL_BAD_MATCH: text = "invalid share context"; break;
    case AGL_BAD_ENUM: text = "invalid enumerant"; break;
    case AGL_BAD_ALLOC: text = "memory allocation failure"; break;
    default: break;
    }
    // clang-format on
    return reinterpret_cast<const GLubyte*>(text);
}

GLfloat HostPixelRatio(AGLContext ctx)
{
    return ctx && ctx->drawable ? GLfloat(ctx->drawable->devicePixelRatio()) : 1.0f;
}
