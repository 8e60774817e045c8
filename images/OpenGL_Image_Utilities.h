// Images and their power-of-two texture tiles.
//
// An image is cut into a grid of tiles whose edges are powers of two no larger
// than the maximum tile size: along each dimension as many full-size tiles as
// fit, then the remainder split into descending powers of two, one tile per
// set bit. Tile (x, y) is number x * textureY + y: column by column.
#pragma once

#include <GL/gl.h>

#include "Host_Image_Types.h"
#include "Host_Types.h"

// How an image's alpha is made (stored in sprite files as an integer).
enum {
    kMaskZeroAlpha = 0,      // opaque; 8-bit images become luminance textures
    kMaskSourceColorKey = 1, // pure green is transparent
    kMaskLumAlpha = 2,       // the blue channel becomes the alpha, the colour white
    kMaskAlphaOnly = 3,      // the decoded alpha is kept; 8-bit images become alpha textures
};

// One loaded image and its texture tiles.
struct recImage {
    GWorldPtr pGWorld;         // wraps pImageBuffer while decoding; null after upload
    unsigned char* pImageBuffer; // decoded pixels, top row first, no row padding; null after upload
    SInt32 imageWidth;
    SInt32 imageHeight;
    float imageAspect;         // imageWidth / imageHeight
    SInt32 imageDepth;         // bits per pixel of the buffer: 32, 16 or 8
    SInt32 textureX;           // tile columns
    SInt32 textureY;           // tile rows
    SInt16 maxTextureSize;     // largest tile edge this image was cut with
    GLuint* pTextureName;      // textureX * textureY names, column by column
    SInt32 textureDim;         // unused, stays 0
    SInt32 textureWidth;       // area cut into tiles: imageWidth
    SInt32 textureHeight;      // imageHeight
    float zoom;                // the image's own scale factor, 1.0 after loading
    SInt32 maskType;
};
using pRecImage = recImage*;

// Number of tiles along a dimension of textureDimension pixels.
int32_t GetTextureNumFromTextureDim(int32_t textureDimension, int16_t maxTextureSize);
// Edge of the next tile when textureDimension pixels are still to be covered.
int32_t GetNextTextureSize(int32_t textureDimension, int16_t maxTextureSize);
