// Sprites: loading one entry of a sprite file, moving them, drawing them.
#pragma once

#include "Host_Types.h"

enum { kNotTiled = 0, kTiled = 1, kFlipTiled = 2 };

// One sprite of the world.
struct recSprite {
    SInt32 imageNum;     // index into the window's images; image 3 is the smoke image
    float zoom;          // own scale factor
    float velocityZoom;  // zoom change per second
    float rotation;      // degrees, clockwise on screen, 0 upright
    float centerX;       // world units, x to the right
    float centerY;       // world units, y down the screen
    float centerZ;       // depth
    float velocityX;     // per second
    float velocityY;
    float velocityZ;     // kept, never applied
    float velocityR;     // degrees per second
    float red;           // colour multiplying the image, 0 to 1
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
