// Sprites: loading one entry of a sprite file, moving them, drawing them.
#pragma once

#include "Host_Types.h"
#include "Host_Window_Types.h"
#include "OpenGL_Image_Utilities.h"

enum { kNotTiled = 0, kTiled = 1, kFlipTiled = 2 };

// One sprite of the world.
struct recSprite {
    SInt32 imageNum;    // index into the window's images; image 3 is the smoke image
    float zoom;         // own scale factor
    float velocityZoom; // zoom change per second
    float rotation;     // degrees, clockwise on screen, 0 upright
    float centerX;      // world units, x to the right
    float centerY;      // world units, y down the screen
    float centerZ;      // depth
    float velocityX;    // per second
    float velocityY;
    float velocityZ; // kept, never applied
    float velocityR; // degrees per second
    float red;       // colour multiplying the image, 0 to 1
    float green;
    float blue;
    float alpha;         // opacity multiplying the image's alpha
    float velocityAlpha; // per second
    SInt32 fTiled;       // kNotTiled, kTiled or kFlipTiled
    Boolean fAlphaTest;  // draw only pixels whose alpha exceeds 0.5
    Boolean fAlphaBlend; // blend over what is drawn, without depth testing
    Boolean fTakesInput; // steered by the user's turn and thrust
};
using pRecSprite = recSprite*;

// Fills *pSprite from the next seventeen values of a sprite file (the data
// buffer, read index and size of the data file reader), with its rates
// cleared. A sprite on image 3, the smoke image, becomes an invisible white
// puff with the smoke rates, whatever its file gave for colour and alpha.
// Does nothing for a null sprite.
void LoadSprite(recSprite* pSprite, const char* pBuffer, int32_t* pIndex, int32_t bufferSize);
// Frees the sprite array and sets *ppSpriteArray to null.
void DisposeSprites(recSprite** ppSpriteArray, int32_t numSprites);

// A steered sprite's rotation brought into 0 to 360 degrees: what taking 360
// away while it exceeds 360, then adding 360 while it is below 0, gives (so 0
// and 360 stay as they are), in constant time. Where that loop would never
// end (beyond 2^33 in size) the remainder of the whole turns; 0 for an
// infinite rotation or NaN.
float WrapRotation(float rotation);

// Advances the window's sprites by deltaTime seconds: every sprite moves by
// its velocity, smoke puffs (sprites above 2) fade, spin and grow, steered
// sprites turn, thrust along their heading and feel drag, and while the user
// thrusts a puff from the smoke pool (sprites 32 down to 3, those that exist)
// is placed behind sprite 0 at most every 0.05 seconds of thrust.
void IdleSprites(WindowRef window, recSprite* pSpriteArray, SInt32 numSprites, double deltaTime);

// The most one frame draws: texture tiles (outline tiles included), pixels
// covered (overdraw counted) and texel grid lines. A sprite file that asks
// for more is reported once; the rest of such frames is left out.
constexpr int64_t kMaxTilesPerFrame = 16384;
constexpr int64_t kMaxPixelsPerFrame = 12000000;
constexpr int64_t kMaxGridLinesPerFrame = 262144;

// Whether any of the sprites is drawn with the depth test: those without
// blending. Without them the depth buffer never decides a pixel.
bool SpritesTestDepth(const recSprite* pSpriteArray, SInt32 numSprites);

// Draws the sprites in array order, each as DrawGLSprite draws it, in one
// pass: GL state is set only where it changes, tiles that share texture and
// state go to the GL together, copies that lie wholly outside the window
// are left out, and of a blended sprite (without the alpha test) each tile is
// drawn only over its alpha rectangle (recImage::pTileAlpha): elsewhere
// blending would leave the window as it was. Sprites naming no image of the
// array are skipped, and so are blended sprites without opacity. With
// leaveOutHidden, so are blended sprites whose every pixel later sprites
// paint over with fully opaque texels (recImage::pOpaqueRows): upright,
// opaque, blended sprites in an upright view without the debug passes and
// without tiled sprites, in a frame that stays within its budget. The
// pixels are the same either way. Leaves the state DrawGLSprite leaves.
void DrawGLSprites(recSprite* pSpriteArray, SInt32 numSprites, recImage* imageArray, SInt32 numImages, float worldX,
                   float worldY, float worldZ, float worldRotation, float worldZoom, SInt32 width, SInt32 height,
                   Boolean grid, Boolean lines, Boolean leaveOutHidden);

// Draws the sprite with its image (element imageNum of imageArray, which the
// caller has checked) into the current GL context, in the view given by the
// world offset, rotation and zoom: once at its place, or, when tiled, as a
// grid of copies fixed in the world and covering the window, every other copy
// mirrored. grid adds the image's texel grid at the view centre, lines green
// outlines of every texture tile. A tiled sprite without a size is skipped,
// and copies wholly outside the window (width by height) are left out.
void DrawGLSprite(recSprite* pSprite, recImage* imageArray, float worldX, float worldY, float worldZ,
                  float worldRotation, float worldZoom, SInt32 width, SInt32 height, Boolean grid, Boolean lines);
