// Inside the host: what the files of the GL layer share (Host_Displays,
// Host_GL_Renderers, Host_GL_Format, Host_AGL, Host_GL_Fonts): the context
// record, the current context and the pending error, the probe surface and
// the device list. The system's code never includes it.
#pragma once

#include <QPointer>
#include <QWindow>

#include <vector>

#include "Host_AGL.h"
#include "Host_Seam_State.h"

class QOffscreenSurface;
class QOpenGLContext;

struct AGLContextRec {
    QOpenGLContext* context;
    QPointer<QWindow> drawable;
    std::vector<HostFontAtlas> fonts; // the glyphs of the fonts built in this context
};

// ---- contexts (Host_AGL.cpp) ----
extern AGLContext gCurrentContext;
// Sets the error that aglGetError reports next.
void HostSetAGLError(GLint code);
// The surface that renderer facts and fonts are probed with when no window
// context is current.
QOffscreenSurface* HostOffscreenSurface();

// ---- display devices (Host_Displays.cpp) ----
extern std::vector<GDevice> gDevices;
// Takes the device list afresh from the screens, or from the stand-in displays.
void HostRefreshDevices();
// The index of a device handle in the list, -1 for none of its handles.
int HostDeviceIndex(GDHandle gd);

// ---- renderers (Host_GL_Renderers.cpp) ----
// Adds the renderers of the given devices (every device for none) to
// renderers. A device whose renderers cannot be asked adds none and, when
// stopAtFailure, ends the walk: false then.
bool HostDeviceRenderers(const GDHandle* gdevs, GLint ndev, std::vector<HostRendererFacts>* renderers,
                         bool stopAtFailure);
