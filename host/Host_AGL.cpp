// Display devices, renderer facts, pixel formats and contexts on Qt OpenGL,
// and bitmap fonts rasterised with QPainter.
#include "Host_AGL.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QWindow>

#include <GL/glx.h>
#include <GL/glxext.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "Host_GL_Format.h"
#include "Host_Seam_State.h"
#include "Host_Window_Surface.h"

struct AGLContextRec {
    QOpenGLContext* context;
    QPointer<QWindow> drawable;
    std::vector<HostFontAtlas> fonts; // the glyphs of the fonts built in this context
};

struct AGLRendererInfoRec {
    HostRendererFacts facts;
    AGLRendererInfoRec* next;
};

int gSwapInterval = 1;
bool gRefuseSharing = false;
HostSwapHook gSwapHook = nullptr;
void* gSwapHookData = nullptr;
bool gUseDisplayFixture = false;
std::vector<HostDisplayDevice> gDisplayFixture;

namespace {

GLint gError = AGL_NO_ERROR;
AGLContext gCurrent = nullptr;

// The device list. Handles point into gDevicePtrs, which keeps its storage
// as long as the number of devices stays the same.
std::vector<GDevice> gDevices;
std::vector<GDPtr> gDevicePtrs;

void SetError(GLint code)
{
    gError = code;
}

int16_t Clamp16(qreal value)
{
    return int16_t(std::clamp<qreal>(value, -32768.0, 32767.0));
}

void RefreshDevices()
{
    std::vector<GDevice> devices;
    if (gUseDisplayFixture) {
        for (const HostDisplayDevice& d : gDisplayFixture) {
            const int flags = (d.screen ? 1 << screenDevice : 0) | (d.active ? 1 << screenActive : 0);
            devices.push_back(GDevice{d.gdRect, int16_t(flags)});
        }
    } else if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        for (QScreen* screen : QGuiApplication::screens()) {
            const QRect g = screen->geometry();
            const qreal ratio = screen->devicePixelRatio();
            const Rect rect{Clamp16(g.top() * ratio), Clamp16(g.left() * ratio), Clamp16((g.bottom() + 1) * ratio),
                            Clamp16((g.right() + 1) * ratio)};
            devices.push_back(GDevice{rect, int16_t((1 << screenDevice) | (1 << screenActive))});
        }
    }
    if (devices.size() != gDevices.size()) {
        gDevices = devices;
        gDevicePtrs.clear();
        for (GDevice& device : gDevices)
            gDevicePtrs.push_back(&device);
    } else {
        std::copy(devices.begin(), devices.end(), gDevices.begin());
    }
}

int DeviceIndex(GDHandle gd)
{
    if (!gd || gDevicePtrs.empty() || gd < &gDevicePtrs.front() || gd > &gDevicePtrs.back())
        return -1;
    return int(gd - &gDevicePtrs.front());
}

// The context that renderer facts and fonts are probed with when no window
// context is current.
QOffscreenSurface* OffscreenSurface()
{
    static QOffscreenSurface* surface = nullptr;
    if (!surface) {
        surface = new QOffscreenSurface;
        surface->setFormat(HostGLSurfaceFormat());
        surface->create();
    }
    return surface;
}

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
    if (context.create() && context.makeCurrent(OffscreenSurface())) {
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
    if (!gUseDisplayFixture) {
        renderers->push_back(RealRendererFacts());
        return true;
    }
    const HostDisplayDevice& device = gDisplayFixture[size_t(index)];
    if (device.queryFails)
        return false;
    for (int32_t i = 0; i < std::clamp(device.numRenderers, 0, 4); ++i)
        renderers->push_back(device.renderers[i]);
    return true;
}

// The renderers of the given devices, or of every device for none.
bool Renderers(const GDHandle* gdevs, GLint ndev, std::vector<HostRendererFacts>* renderers)
{
    RefreshDevices();
    if (!gdevs || ndev <= 0) {
        for (int i = 0; i < int(gDevices.size()); ++i)
            if (!DeviceRenderers(i, renderers))
                return false;
        return true;
    }
    for (GLint i = 0; i < ndev; ++i)
        if (!DeviceRenderers(DeviceIndex(gdevs[i]), renderers))
            return false;
    return true;
}

// Font family numbers: the index of the name in this table, plus one.
std::vector<std::string>& FontFamilies()
{
    static std::vector<std::string> families;
    return families;
}

// Packs the glyphs' coverage into rows of one alpha texture and keeps it
// with the context; the font then draws a whole string at once. Without a
// texture the font keeps only its lists.
void BuildFontAtlas(AGLContext ctx, HostFontAtlas* atlas, const std::vector<std::vector<GLubyte>>& coverage)
{
    constexpr int kWidth = 256;
    int x = 0, y = 0, rowHeight = 0;
    for (HostGlyph& g : atlas->glyphs) {
        if (x + g.width > kWidth) {
            x = 0;
            y += rowHeight;
            rowHeight = 0;
        }
        g.x = int16_t(x);
        g.y = int16_t(y);
        x += g.width;
        rowHeight = std::max(rowHeight, int(g.height));
    }
    int height = 1;
    while (height < y + rowHeight)
        height *= 2;
    if (height > kWidth * 4)
        return;
    std::vector<GLubyte> texels(size_t(kWidth) * size_t(height), 0);
    for (size_t c = 0; c < 256; ++c) {
        const HostGlyph& g = atlas->glyphs[c];
        for (int row = 0; row < g.height; ++row)
            std::copy_n(coverage[c].begin() + row * g.width, g.width, texels.begin() + (g.y + row) * kWidth + g.x);
    }
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glGenTextures(1, &atlas->texture);
    glBindTexture(GL_TEXTURE_2D, atlas->texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, kWidth, height, 0, GL_ALPHA, GL_UNSIGNED_BYTE, texels.data());
    glPopClientAttrib();
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &atlas->texture);
        return;
    }
    atlas->width = kWidth;
    atlas->height = height;
    auto& fonts = ctx->fonts;
    const auto same = [&](const HostFontAtlas& f) { return f.base == atlas->base; };
    fonts.erase(std::remove_if(fonts.begin(), fonts.end(), same), fonts.end());
    fonts.push_back(*atlas);
}

} // namespace

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

Boolean HostAGLAvailable()
{
    RealRendererFacts();
    return gAvailable;
}

// Display devices

GDHandle GetDeviceList()
{
    RefreshDevices();
    return gDevicePtrs.empty() ? nullptr : &gDevicePtrs.front();
}

GDHandle GetNextDevice(GDHandle gd)
{
    const int index = DeviceIndex(gd);
    if (index < 0 || index + 1 >= int(gDevicePtrs.size()))
        return nullptr;
    return &gDevicePtrs[size_t(index) + 1];
}

Boolean TestDeviceAttribute(GDHandle gd, int16_t attribute)
{
    if (DeviceIndex(gd) < 0 || attribute < 0 || attribute > 15)
        return false;
    return ((*gd)->gdFlags >> attribute) & 1;
}

Boolean SectRect(const Rect* src1, const Rect* src2, Rect* dst)
{
    Rect result{std::max(src1->top, src2->top), std::max(src1->left, src2->left),
                std::min(src1->bottom, src2->bottom), std::min(src1->right, src2->right)};
    const bool meet = result.top < result.bottom && result.left < result.right;
    if (!meet)
        result = Rect{0, 0, 0, 0};
    *dst = result;
    return meet;
}

// Renderer facts

AGLRendererInfo aglQueryRendererInfo(const GDHandle* gdevs, GLint ndev)
{
    std::vector<HostRendererFacts> renderers;
    if (!Renderers(gdevs, ndev, &renderers)) {
        SetError(AGL_BAD_GDEV);
        return nullptr;
    }
    if (renderers.empty()) {
        SetError(AGL_BAD_RENDINFO);
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
        SetError(AGL_BAD_RENDINFO);
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
        SetError(AGL_BAD_PROPERTY);
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

// Pixel formats

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
                SetError(AGL_BAD_VALUE);
                return nullptr;
            }
            format.setDepthBufferSize(attribs[++i]);
            break;
        default:
            SetError(AGL_BAD_ATTRIBUTE);
            return nullptr;
        }
    }
    // The renderers that can be reached; a device whose renderers cannot be
    // asked offers none.
    std::vector<HostRendererFacts> renderers;
    RefreshDevices();
    if (!gdevs || ndev <= 0) {
        for (int i = 0; i < int(gDevices.size()); ++i)
            DeviceRenderers(i, &renderers);
    } else {
        for (GLint i = 0; i < ndev; ++i)
            DeviceRenderers(DeviceIndex(gdevs[i]), &renderers);
    }
    if (accelerated && std::none_of(renderers.begin(), renderers.end(),
                                    [](const HostRendererFacts& r) { return r.accelerated != 0; }))
        return nullptr;
    return new AGLPixelFormatRec{format, gdevs ? std::max<GLint>(ndev, 0) : 0};
}

void aglDestroyPixelFormat(AGLPixelFormat pix)
{
    delete pix;
}

// Contexts

AGLContext aglCreateContext(AGLPixelFormat pix, AGLContext share)
{
    if (!pix) {
        SetError(AGL_BAD_PIXELFMT);
        return nullptr;
    }
    if (share && gRefuseSharing) {
        SetError(AGL_BAD_MATCH);
        return nullptr;
    }
    auto* context = new QOpenGLContext;
    context->setFormat(pix->format);
    if (share)
        context->setShareContext(share->context);
    if (!context->create()) {
        delete context;
        SetError(AGL_BAD_ALLOC);
        return nullptr;
    }
    if (share && context->shareContext() != share->context) {
        delete context;
        SetError(AGL_BAD_MATCH);
        return nullptr;
    }
    return new AGLContextRec{context, nullptr, {}};
}

Boolean aglDestroyContext(AGLContext ctx)
{
    if (!ctx) {
        SetError(AGL_BAD_CONTEXT);
        return false;
    }
    if (gCurrent == ctx) {
        ctx->context->doneCurrent();
        gCurrent = nullptr;
    }
    delete ctx->context;
    delete ctx;
    return true;
}

Boolean aglSetDrawable(AGLContext ctx, CGrafPtr port)
{
    if (!ctx) {
        SetError(AGL_BAD_CONTEXT);
        return false;
    }
    if (!port) {
        if (gCurrent == ctx)
            ctx->context->makeCurrent(OffscreenSurface());
        ctx->drawable = nullptr;
        return true;
    }
    QWindow* surface = HostWindowSurface(reinterpret_cast<WindowRef>(port));
    if (!surface) {
        SetError(AGL_BAD_DRAWABLE);
        return false;
    }
    surface->create();
    ctx->drawable = surface;
    return true;
}

Boolean aglSetCurrentContext(AGLContext ctx)
{
    if (!ctx) {
        if (gCurrent)
            gCurrent->context->doneCurrent();
        gCurrent = nullptr;
        return true;
    }
    QSurface* surface = ctx->drawable ? static_cast<QSurface*>(ctx->drawable.data()) : OffscreenSurface();
    if (!ctx->context->makeCurrent(surface)) {
        SetError(AGL_BAD_CONTEXT);
        return false;
    }
    gCurrent = ctx;
    return true;
}

AGLContext aglGetCurrentContext()
{
    return gCurrent;
}

Boolean aglUpdateContext(AGLContext ctx)
{
    // Qt surfaces follow their window's size and place by themselves.
    if (!ctx) {
        SetError(AGL_BAD_CONTEXT);
        return false;
    }
    return true;
}

Boolean aglSetInteger(AGLContext ctx, GLint pname, const GLint* params)
{
    if (!ctx) {
        SetError(AGL_BAD_CONTEXT);
        return false;
    }
    if (pname != AGL_SWAP_INTERVAL || !params) {
        SetError(AGL_BAD_ENUM);
        return false;
    }
    // The interval belongs to the window's surface format, fixed when the
    // surface was made (HostSetSwapInterval).
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
        SetError(AGL_BAD_CONTEXT);
        return false;
    }
    if (gSwapHook && gCurrent == ctx)
        gSwapHook(ctx, gSwapHookData);
    if (ctx->drawable && ctx->drawable->isExposed()) {
        if (gCurrent == ctx)
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
    return reinterpret_cast<const GLubyte*>(text);
}

// Fonts

void GetFNum(ConstStringPtr name, int16_t* familyID)
{
    if (!familyID)
        return;
    *familyID = 0;
    if (!name)
        return;
    const std::string family(reinterpret_cast<const char*>(name + 1), name[0]);
    std::vector<std::string>& families = FontFamilies();
    auto it = std::find(families.begin(), families.end(), family);
    if (it == families.end())
        it = families.insert(families.end(), family);
    *familyID = int16_t(it - families.begin() + 1);
}

GLfloat HostPixelRatio(AGLContext ctx)
{
    return ctx && ctx->drawable ? GLfloat(ctx->drawable->devicePixelRatio()) : 1.0f;
}

Boolean aglUseFont(AGLContext ctx, GLint fontID, Style face, GLint size, GLint first, GLint count, GLint base)
{
    if (!ctx || ctx != gCurrent) {
        SetError(AGL_BAD_CONTEXT);
        return false;
    }
    const std::vector<std::string>& families = FontFamilies();
    if (fontID < 1 || fontID > GLint(families.size()) || size <= 0 || first < 0 || count < 0 || first + count > 256) {
        SetError(AGL_BAD_VALUE);
        return false;
    }
    // The named family, else what fontconfig offers for it, else DejaVu Sans.
    QFont font;
    font.setFamilies({QString::fromStdString(families[size_t(fontID) - 1]), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setBold(face & 1);
    font.setItalic(face & 2);
    font.setStyleStrategy(QFont::NoAntialias);
    // Points at the 72 dots an inch of bitmap fonts, one pixel larger for
    // legibility, but no taller than a 12-pixel line; in device pixels.
    const qreal ratio = HostPixelRatio(ctx);
    int pixels = qRound((size + 1) * ratio);
    const int lineHeight = qRound(12 * ratio);
    font.setPixelSize(pixels);
    while (pixels > 6 && QFontMetrics(font).height() > lineHeight)
        font.setPixelSize(--pixels);
    const QFontMetrics metrics(font);

    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    std::vector<GLubyte> bits;
    HostFontAtlas atlas{};
    atlas.base = GLuint(base) - GLuint(first);
    std::vector<std::vector<GLubyte>> coverage(256); // per character, rows from the bottom up
    for (GLint i = 0; i < count; ++i) {
        const int code = first + i;
        glNewList(GLuint(base + i), GL_COMPILE);
        const bool control = code < 0x20 || (code >= 0x7f && code < 0xa0);
        const QChar character(char16_t(code == 0xa0 ? 0x20 : code));
        if (!control) {
            const int advance = metrics.horizontalAdvance(character);
            const QRect box = metrics.boundingRect(character);
            const int left = std::min(0, box.left());
            const int right = std::max(advance, box.right() + 1);
            const int top = std::min(-metrics.ascent(), box.top());
            const int bottom = std::max(metrics.descent(), box.bottom() + 1);
            const int width = right - left;
            const int height = bottom - top;
            QImage image(width, height, QImage::Format_Grayscale8);
            image.fill(0);
            {
                QPainter painter(&image);
                painter.setFont(font);
                painter.setPen(Qt::white);
                painter.drawText(-left, -top, QString(character));
            }
            // Bitmap rows run from the bottom up, eight pixels a byte, first pixel in the top bit.
            const int rowBytes = (width + 7) / 8;
            bits.assign(size_t(rowBytes) * size_t(height), 0);
            for (int y = 0; y < height; ++y) {
                const uchar* row = image.constScanLine(height - 1 - y);
                for (int x = 0; x < width; ++x)
                    if (row[x] > 127)
                        bits[size_t(y * rowBytes + x / 8)] |= GLubyte(0x80 >> (x % 8));
            }
            glBitmap(width, height, GLfloat(-left), GLfloat(bottom), GLfloat(advance), 0.0f, bits.data());
            atlas.glyphs[code] = HostGlyph{0, 0, int16_t(width), int16_t(height), float(-left), float(bottom),
                                           float(advance)};
            std::vector<GLubyte>& cells = coverage[size_t(code)];
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    cells.push_back(bits[size_t(y * rowBytes + x / 8)] & (0x80 >> (x % 8)) ? 255 : 0);
        }
        glEndList();
    }
    glPopClientAttrib();
    if (glGetError() != GL_NO_ERROR) {
        SetError(AGL_BAD_ALLOC);
        return false;
    }
    BuildFontAtlas(ctx, &atlas, coverage);
    return true;
}

const HostFontAtlas* HostFindFontAtlas(GLuint base)
{
    if (!gCurrent)
        return nullptr;
    for (const HostFontAtlas& atlas : gCurrent->fonts)
        if (atlas.base == base)
            return &atlas;
    return nullptr;
}

Boolean HostIsSoftwareRenderer(const char* rendererName)
{
    if (!rendererName)
        return true;
    QString name = QString::fromLatin1(rendererName).toLower();
    return name.contains("llvmpipe") || name.contains("softpipe") || name.contains("swrast") ||
           name.contains("software rasterizer");
}
