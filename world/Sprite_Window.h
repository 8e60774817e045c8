// The sprite window: its record, loading a sprite file into it, the
// simulation step, drawing frames and the window's GL resources.
#pragma once

#include "GL_Setup.h"
#include "Host_GL_Types.h"
#include "Host_Types.h"
#include "Host_Window_Types.h"
#include "OpenGL_Image_Utilities.h"
#include "Sprite_Utilities.h"

// Everything one sprite window carries, attached as its reference constant.
struct recWindow {
    structGLWindowInfo glInfo; // the GL context request; fmt held while the context exists
    AGLContext aglContext;     // null until the GL resources are built
    GLuint fontList;           // first of 256 overlay font display lists, 0 without a font
    float zoom;                // view zoom: pixels per world unit, kMinZoom to kMaxZoom
    Boolean go;                // the frame timer was started for this window
    Boolean info;              // draw the information overlay
    Boolean lines;             // draw tile outlines
    Boolean grid;              // draw the texel grid
    SInt32 numSprites;
    SInt32 numImages;        // at most 32,767
    recSprite* pSpriteArray; // owned; sprite 0 is the one the view follows
    recImage* pImageArray;   // owned
    float thrustValue;       // thrust input of the latest tick, 0 to 255
    float turnValue;         // turn input of the latest tick, -127 to 127
};
using pRecWindow = recWindow*;

// Largest texture tile edge in pixels (a power of two).
extern SInt16 gMaxTextureSize;
// True: the view stays upright and the steered sprite turns on screen.
// False: the view turns with sprite 0.
extern Boolean gZarvoRotate;

// Asks the user for a sprite file and loads it into pWindowInfo, a new
// zero-filled record: its defaults, its images and its sprites. False when no
// file was read, or when the file's image or sprite count is beyond
// kMaxSpriteFileImages or kMaxSpriteFileSprites or its arrays cannot be
// allocated (reported); the record then holds no arrays.
Boolean LoadDataFile(recWindow* pWindowInfo);

// Largest image count of a sprite file: the range of the upload's image counter.
constexpr int32_t kMaxSpriteFileImages = 32767;
// Largest sprite count of a sprite file.
constexpr int32_t kMaxSpriteFileSprites = 1048576;

// The range of a window's zoom (pixels per world unit). At the ceiling one
// texel of an image shown at its own size covers 1000 x 1000 pixels, about a
// whole window, and a float world position near 4096 is still placed to a
// quarter of a pixel; beyond it a window shows less than a texel, and Zoom In
// held long enough would reach infinity.
constexpr float kMinZoom = 0.1f;
constexpr float kMaxZoom = 1000.0f;
// The zoom brought into that range; kMinZoom for NaN.
float LimitZoom(float zoom);

// One step of the world for the window: measures the time since the previous
// call (of any window), applies the zoom keys and moves the sprites by the
// turn (-127 to 127, positive clockwise) and thrust (0 to 255) inputs. A step
// more than 10 seconds after the previous one does nothing.
void IdleWindow(WindowRef window, SInt32 turn, SInt32 thrust, Boolean Zin, Boolean Zout);

// Draws one complete frame of the window: the projection for its current
// size (origin at the centre, y downwards, one unit a pixel), the clear, every
// sprite in the view that follows sprite 0, the overlay when info is set, and
// the swap. A window without a record or without a context is not drawn.
void DrawGL(WindowRef window);

// The drawing space of a frame of width by height pixels: the viewport, the
// projection (origin at the centre, y downwards, one unit a pixel, depth 0
// to 1000 units into the screen) and the model-view matrix reset, selected.
void SetUpDrawingSpace(SInt32 width, SInt32 height);

// Draws the information overlay over a frame: two translucent panels in the
// window's left corners, the window size, view, zoom and frame rate at the
// top, and the GL vendor and renderer at the bottom.
void DrawInfo(float worldX, float worldY, float worldRotation, float worldZoom, SInt32 width, SInt32 height,
              GLuint fontList);

// Gives the window its context, overlay font and textures, and releases the
// images' pixel buffers. paramErr without a record; 0 otherwise, with the
// last texture upload's GL error, also when no context could be made (the
// window then stays undrawn). A window that has its context keeps it. When no
// renderer with hardware acceleration exists, the context is made with
// whatever renderer there is, and that is reported once.
OSStatus BuildGLForWindow(WindowRef window);

// Lets the window's context follow its new size and place and asks for a redraw.
OSStatus ResizeGLWindow(WindowRef window);

// Releases the window's textures and images, its context and its sprites, and
// detaches its record. Always 0.
OSStatus DisposeGLForWindow(WindowRef window);
