// Renderer facts: what the GL implementation says of its renderer, or what
// the stand-in displays of a test say of each device's renderers.
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QWindow> // every Qt header before Xlib's macros

#include <GL/glx.h>
#include <GL/glxext.h>

#include <algorithm>
#include <cstring>

#include "Host_AGL_Internal.h"
#include "Host_GL_Format.h"

struct AGLRendererInfoRec {
    HostRendererFacts facts;
    AGLRendererInfoRec* next;
};

namespace {

GLint QueryVideoMemory(QOpenGLContext* context)
{
    // Mesa's renderer query, on GLX.
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        Display* display = x11->display();
        const char* extensions = display ? glXQueryExtensionsString(display, DefaultScreen(display)) : nullptr;
        if (extensions && std::strstr(extensions, "GLX_MESA_query_renderer")) {
            auto query = reinterpret_cast<PFNGLXQUERYCURRENTRENDERERINTEGERMESAPROC>(
                glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXQueryCurrentRendererIntegerMESA")));
            unsigned int megabytes = 0;
            if (query && glXGetCurrentContext() && query(GLX_RENDERER_VIDEO_MEMORY_MESA, &megabytes))
                return GLint(std::min<unsigned long>(megabytes * 1024ul * 1024ul, 0x7fffffff));
        }
    }
    // The vendors' memory extensions, in kilobytes.
    GLint kilobytes[4] = {0, 0, 0, 0};
    if (context->hasExtension("GL_NVX_gpu_memory_info"))
        glGetIntegerv(0x9047 /* GL_GPU_MEMORY_INFO_DEDICATED_VIDMEM_NVX */, kilobytes);
    else if (context->hasExtension("GL_ATI_meminfo"))
        glGetIntegerv(0x87FC /* GL_TEXTURE_FREE_MEMORY_ATI */, kilobytes);
    while (glGetError() != GL_NO_ERROR) {
    }
    return GLint(std::min<long>(long(kilobytes[0]) * 1024l, 0x7fffffff));
}

bool gAvailable = false;

// What the GL implementation says of its renderer, asked once.
HostRendererFacts RealRendererFacts()
{
    static bool probed = false;
    static HostRendererFacts facts{0, 0, AGL_0_BIT | AGL_16_BIT};
    if (probed || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return facts;
    probed = true;
    QOpenGLContext* previous = QOpenGLContext::currentContext();
    QSurface* previousSurface = previous ? previous->surface() : nullptr;
    QOpenGLContext context;
    context.setFormat(HostGLSurfaceFormat());
    if (context.create() && context.makeCurrent(HostOffscreenSurface())) {
        gAvailable = true;
        const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        facts.accelerated = renderer && !HostIsSoftwareRenderer(renderer);
        facts.videoMemory = QueryVideoMemory(&context);
        const int depth = context.format().depthBufferSize();
        facts.depthModes = AGL_0_BIT | AGL_16_BIT | (depth >= 24 ? AGL_24_BIT : 0) | (depth >= 32 ? AGL_32_BIT : 0);
        context.doneCurrent();
    }
    if (previous && previousSurface)
        previous->makeCurrent(previousSurface);
    return facts;
}

// The renderers of one device: false when its query fails.
bool DeviceRenderers(int index, std::vector<HostRendererFacts>* renderers)
{
    if (index < 0 || index >= int(gDevices.size()))
        return false;
    if (!gUseStandInDisplays) {
        renderers->push_back(RealRendererFacts());
        return true;
    }
    const HostDisplayDevice& device = gStandInDisplays[size_t(index)];
    if (device.queryFails)
        return false;
    for (int32_t i = 0; i < std::clamp(device.numRenderers, 0, 4); ++i)
        renderers->push_back(device.renderers[i]);
    return true;
}

} // namespace

bool HostDeviceRenderers(const GDHandle* gdevs, GLint ndev, std::vector<HostRendererFacts>* renderers,
                         bool stopAtFailure)
{
    HostRefreshDevices();
    const bool all = !gdevs || ndev <= 0;
    const int count = all ? int(gDevices.size()) : int(ndev);
    bool complete = true;
    for (int i = 0; i < count && (complete || !stopAtFailure); ++i)
        complete = DeviceRenderers(all ? i : HostDeviceIndex(gdevs[i]), renderers) && complete;
    return complete;
}

Boolean HostAGLAvailable()
{
    RealRendererFacts();
    return gAvailable;
}

AGLRendererInfo aglQueryRendererInfo(const GDHandle* gdevs, GLint ndev)
{
    std::vector<HostRendererFacts> renderers;
    if (!HostDeviceRenderers(gdevs, ndev, &renderers, true)) {
        HostSetAGLError(AGL_BAD_GDEV);
        return nullptr;
    }
    if (renderers.empty()) {
        HostSetAGLError(AGL_BAD_RENDINFO);
        return nullptr;
    }
    AGLRendererInfoRec* first = nullptr;
    for (auto it = renderers.rbegin(); it != renderers.rend(); ++it)
        first = new AGLRendererInfoRec{*it, first};
    return first;
}

AGLRendererInfo aglNextRendererInfo(AGLRendererInfo rend)
{
    return rend ? rend->next : nullptr;
}

Boolean aglDescribeRenderer(AGLRendererInfo rend, GLint prop, GLint* value)
{
    if (!rend || !value) {
        HostSetAGLError(AGL_BAD_RENDINFO);
        return false;
    }
    switch (prop) {
    case AGL_ACCELERATED:
        *value = rend->facts.accelerated;
        return true;
    case AGL_VIDEO_MEMORY:
        *value = rend->facts.videoMemory;
        return true;
    case AGL_DEPTH_MODES:
        *value = rend->facts.depthModes;
        return true;
    default:
        HostSetAGLError(AGL_BAD_PROPERTY);
        return false;
    }
}

void aglDestroyRendererInfo(AGLRendererInfo rend)
{
    while (rend) {
        AGLRendererInfo next = rend->next;
        delete rend;
        rend = next;
    }
}

Boolean HostIsSoftwareRenderer(const char* rendererName)
{
    if (!rendererName)
        return true;
    QString name = QString::fromLatin1(rendererName).toLower();
    return name.contains("llvmpipe") || name.contains("softpipe") || name.contains("swrast") ||
           name.contains("software rasterizer");
}
