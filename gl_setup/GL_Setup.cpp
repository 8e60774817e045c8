#include "GL_Setup.h"

#include "Error_Handler.h"
#include "Host_App.h"

namespace {

enum class Evaluation { kTaken, kNoneTaken, kQueryFailed };

// Calls visit for each renderer of the list in order, with whether it is
// accelerated.
template <typename Visit>
void WalkRenderers(AGLRendererInfo head, Visit visit)
{
    for (AGLRendererInfo info = head; info;) {
        GLint accelerated = 0;
        aglDescribeRenderer(info, AGL_ACCELERATED, &accelerated);
        aglReportError();
        visit(info, accelerated != 0);
        info = aglNextRendererInfo(info);
        aglReportError();
    }
}

// The renderers of one device: whether any is accelerated, then the candidate
// with the most video memory (a later one on equal memory), which must hold
// at least the requested memory.
Evaluation EvaluateDevice(GDHandle hGD, SInt32 requested, SInt32* pLargest, GLint* pDepthSizeSupport,
                          Boolean fAccelMust)
{
    AGLRendererInfo head = aglQueryRendererInfo(&hGD, 1);
    aglReportError();
    if (!head) {
        ReportError("aglQueryRendererInfo error");
        return Evaluation::kQueryFailed;
    }
    bool anyAccelerated = false;
    WalkRenderers(head, [&](AGLRendererInfo, bool accelerated) { anyAccelerated = anyAccelerated || accelerated; });
    bool taken = false;
    SInt32 largest = 0;
    WalkRenderers(head, [&](AGLRendererInfo info, bool accelerated) {
        if (!((anyAccelerated && accelerated) || (!anyAccelerated && !fAccelMust)))
            return;
        GLint memory = 0;
        aglDescribeRenderer(info, AGL_VIDEO_MEMORY, &memory);
        aglReportError();
        if (memory >= requested && memory >= largest) {
            aglDescribeRenderer(info, AGL_DEPTH_MODES, pDepthSizeSupport);
            aglReportError();
            largest = memory;
            taken = true;
        }
    });
    aglDestroyRendererInfo(head);
    *pLargest = largest;
    return taken ? Evaluation::kTaken : Evaluation::kNoneTaken;
}

SInt32 Requested(const SInt32* pVRAM, const SInt32* pTextureRAM)
{
    return SInt32(uint32_t(*pVRAM) + uint32_t(*pTextureRAM)); // signed 32-bit sum, wrapping as it would
}

} // namespace

OSStatus BuildGLFromWindow(WindowPtr pWindow, AGLContext* paglContext, structGLWindowInfo* pcontextInfo,
                           AGLContext aglShareContext)
{
    if (!pWindow)
        return paramErr;
    return BuildGLonWindow(pWindow, paglContext, pcontextInfo, aglShareContext);
}

OSStatus BuildGLonWindow(WindowPtr pWindow, AGLContext* paglContext, structGLWindowInfo* pcontextInfo,
                         AGLContext aglShareContext)
{
    if (!pWindow || !pcontextInfo) {
        ReportError("NULL parameter passed to BuildGLonDrawable.");
        return paramErr;
    }
    // Deliberately, the early returns below leave the window's port current
    // and the caller's port unrestored; only a context built to the end puts
    // the caller's port back. Keep it so: this is the behaviour callers had.
    GrafPtr cgrafSave = nullptr;
    GetPort(&cgrafSave);
    SetPortWindowPort(pWindow);

    GDHandle hGD = nullptr;
    const short numDevices = FindGDHandleFromWindow(pWindow, &hGD);
    GLint depthSizeSupport = 0;
    if (!pcontextInfo->fDraggable) {
        if (numDevices != 1) {
            if (pcontextInfo->fAcceleratedMust) {
                ReportError("Unable to accelerate window that spans multiple devices");
                return noErr;
            }
        } else if (!CheckRenderer(hGD, &pcontextInfo->VRAM, &pcontextInfo->textureRAM, &depthSizeSupport,
                                  pcontextInfo->fAcceleratedMust)) {
            ReportError("Renderer check failed");
            return noErr;
        }
    } else if (!CheckAllDeviceRenderers(&pcontextInfo->VRAM, &pcontextInfo->textureRAM, &depthSizeSupport,
                                        pcontextInfo->fAcceleratedMust)) {
        ReportError("Renderer check failed");
        return noErr;
    }

    if (!HostAGLAvailable()) {
        ReportError("OpenGL not installed");
        return noErr;
    }

    if (!pcontextInfo->fDraggable && numDevices == 1)
        pcontextInfo->fmt = aglChoosePixelFormat(&hGD, 1, pcontextInfo->aglAttributes);
    else
        pcontextInfo->fmt = aglChoosePixelFormat(nullptr, 0, pcontextInfo->aglAttributes);
    aglReportError();
    if (!pcontextInfo->fmt) {
        ReportError("Could not find valid pixel format");
        return noErr;
    }

    *paglContext = aglCreateContext(pcontextInfo->fmt, aglShareContext);
    if (aglGetError() == AGL_BAD_MATCH)
        *paglContext = aglCreateContext(pcontextInfo->fmt, nullptr);
    aglReportError();
    if (!*paglContext) {
        ReportError("Could not create context");
        return noErr;
    }

    if (!aglSetDrawable(*paglContext, GetWindowPort(pWindow)))
        return aglReportError();
    if (!aglSetCurrentContext(*paglContext))
        return aglReportError();

    SetPort(cgrafSave);
    return noErr;
}

OSStatus DestroyGLFromWindow(AGLContext* paglContext, structGLWindowInfo* pcontextInfo)
{
    if (!paglContext || !*paglContext)
        return paramErr;
    glFinish();
    aglSetCurrentContext(nullptr);
    OSStatus err = aglReportError();
    aglSetDrawable(*paglContext, nullptr);
    err = aglReportError();
    aglDestroyContext(*paglContext);
    err = aglReportError();
    *paglContext = nullptr;
    if (pcontextInfo) {
        if (pcontextInfo->fmt) {
            aglDestroyPixelFormat(pcontextInfo->fmt);
            err = aglReportError();
        }
        pcontextInfo->fmt = nullptr;
    }
    return err;
}

short FindGDHandleFromWindow(WindowPtr pWindow, GDHandle* phgdOnThisDevice)
{
    if (!pWindow || !phgdOnThisDevice)
        return 0;
    *phgdOnThisDevice = nullptr;
    GrafPtr pgpSave = nullptr;
    GetPort(&pgpSave);
    SetPortWindowPort(pWindow);
    Rect rectWind{};
    GetWindowPortBounds(pWindow, &rectWind);
    Point topLeft{rectWind.top, rectWind.left};
    Point bottomRight{rectWind.bottom, rectWind.right};
    LocalToGlobal(&topLeft);
    LocalToGlobal(&bottomRight);
    rectWind = Rect{topLeft.v, topLeft.h, bottomRight.v, bottomRight.h};

    short numDevices = 0;
    int32_t greatestArea = 0;
    for (GDHandle hgdNth = GetDeviceList(); hgdNth; hgdNth = GetNextDevice(hgdNth)) {
        if (!TestDeviceAttribute(hgdNth, screenDevice) || !TestDeviceAttribute(hgdNth, screenActive))
            continue;
        Rect rectSect{};
        SectRect(&rectWind, &(*hgdNth)->gdRect, &rectSect);
        const int32_t area = int32_t(rectSect.right - rectSect.left) * int32_t(rectSect.bottom - rectSect.top);
        if (area > 0)
            ++numDevices;
        if (area > greatestArea) {
            greatestArea = area;
            *phgdOnThisDevice = hgdNth;
        }
    }
    SetPort(pgpSave);
    return numDevices;
}

Boolean CheckRenderer(GDHandle hGD, SInt32* pVRAM, SInt32* pTextureRAM, GLint* pDepthSizeSupport, Boolean fAccelMust)
{
    SInt32 largest = 0;
    if (EvaluateDevice(hGD, Requested(pVRAM, pTextureRAM), &largest, pDepthSizeSupport, fAccelMust) !=
        Evaluation::kTaken)
        return false;
    *pVRAM = largest;
    return true;
}

Boolean CheckAllDeviceRenderers(SInt32* pVRAM, SInt32* pTextureRAM, GLint* pDepthSizeSupport, Boolean fAccelMust)
{
    const SInt32 requested = Requested(pVRAM, pTextureRAM);
    bool allPassed = true;
    bool anyPassed = false;
    SInt32 smallest = 0;
    for (GDHandle hGD = GetDeviceList(); hGD && allPassed; hGD = GetNextDevice(hGD)) {
        SInt32 largest = 0;
        switch (EvaluateDevice(hGD, requested, &largest, pDepthSizeSupport, fAccelMust)) {
        case Evaluation::kQueryFailed:
            return false;
        case Evaluation::kNoneTaken:
            allPassed = false;
            break;
        case Evaluation::kTaken:
            if (!anyPassed || largest < smallest)
                smallest = largest;
            anyPassed = true;
            break;
        }
    }
    if (!allPassed)
        return false;
    *pVRAM = smallest;
    return true;
}
