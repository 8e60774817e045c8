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

// The part of one texture tile where a texel's own alpha can let anything
// through: texels [x0, x1) x [y0, y1) of the tile, the smallest rectangle
// that holds every texel with alpha above zero, grown by one texel all round
// for the reach of the linear filter and kept within the tile. Outside it
// every filtered sample of the tile has alpha zero. x0 == x1 when no texel of
// the tile has alpha.
struct TexelRect {
    SInt32 x0, y0, x1, y1;
};

// Texels [x0, x1) of one row of a texture tile: the longest run of texels
// of full opacity in that row; x0 == x1 when the row has none.
struct TexelSpan {
    SInt32 x0, x1;
};

// One loaded image and its texture tiles.
struct recImage {
    GWorldPtr pGWorld;           // wraps pImageBuffer while decoding; null after upload
    unsigned char* pImageBuffer; // decoded pixels, top row first, no row padding; null after upload
    SInt32 imageWidth;
    SInt32 imageHeight;
    float imageAspect;     // imageWidth / imageHeight
    SInt32 imageDepth;     // bits per pixel of the buffer: 32, 16 or 8
    SInt32 textureX;       // tile columns
    SInt32 textureY;       // tile rows
    SInt16 maxTextureSize; // largest tile edge this image was cut with
    GLuint* pTextureName;  // textureX * textureY names, column by column
    SInt32 textureDim;     // unused, stays 0
    SInt32 textureWidth;   // area cut into tiles: imageWidth
    SInt32 textureHeight;  // imageHeight
    float zoom;            // the image's own scale factor, 1.0 after loading
    SInt32 maskType;
    TexelRect* pTileAlpha; // per tile, as pTextureName, where its alpha is not zero; null: not known
    // Per tile column, per row of the image (textureX * textureHeight, column
    // by column): where that row of the column's tiles is fully opaque, in
    // texels of the tile. Null when not known or when the texture takes its
    // alpha from the sprite's colour.
    TexelSpan* pOpaqueRows;
};
using pRecImage = recImage*;

// Decodes the image file into a new zero-filled pixel buffer of prImage (a
// zero-filled record) at natural size, 32, 16 or 8 bits per pixel, and makes
// its alpha by maskType. True when the image was decoded (also for an unknown
// mask type, which is reported). A file that is missing, of unknown format,
// truncated or corrupt, more than 32767 pixels a side or needing more than
// kMaxImageBufferBytes is reported and leaves the record all zero.
Boolean LoadImageFile(FSSpec fsspecImage, recImage* prImage, int16_t maskType);

// Largest pixel buffer an image may have.
constexpr int64_t kMaxImageBufferBytes = int64_t(256) * 1024 * 1024;

// The images of one sprite file share a budget of pixel-buffer bytes: each
// buffer is checked against what is left before its image is decoded, and an
// image that would pass it is refused like any image that fails to load.
// Every buffer is copied into textures too, so the budget is a gigabyte (four
// 8000 by 8000 images), or a quarter of the machine's memory when that is less.
constexpr int64_t kMaxSpriteFileImageBytes = int64_t(1024) * 1024 * 1024;
int64_t ImageMemoryBudget();
// What is left of the budget; the sprite file loader sets it to
// ImageMemoryBudget() before its first image, LoadImageFile takes from it.
extern int64_t gImageBytesLeft;

// The buffer depth for an image's stored depth: gray of 8 or more bits (40)
// gives 8, 16-bit RGB gives 16, everything else - true colour, alpha, indexed
// colour and images of 1, 2 or 4 bits - gives 32.
int32_t ImageDepthFromStoredDepth(int16_t storedDepth);

// The alpha masks, rewriting numberOfPixels pixels in place as 32-bit words
// (imageDepth 32) or 16-bit words (imageDepth 16); other depths are left alone.
// Opaque: every pixel's alpha set.
void SetAlphaToOpaque(unsigned char* pixelPtr, uint32_t numberOfPixels, uint32_t imageDepth);
// Pure green (the alpha ignored) becomes transparent dark gray-blue, every
// other pixel opaque.
void SetAlphaMaskSourceColor(unsigned char* pixelPtr, uint32_t numberOfPixels, uint32_t imageDepth);
// 32-bit only: the blue channel becomes the alpha and the colour white.
void SetAlphaBlendLuminance(unsigned char* pixelPtr, uint32_t numberOfPixels, uint32_t imageDepth);

// Deletes every image's textures in the current GL context, frees the name
// arrays (allocated with NewPtrClear or malloc), releases the surfaces and
// buffers of images that were never uploaded, frees the array and sets
// *ppImageArray to null. Does nothing for a null array.
void DisposeImages(recImage** ppImageArray, int32_t numImages);

// Number of tiles along a dimension of textureDimension pixels.
int32_t GetTextureNumFromTextureDim(int32_t textureDimension, int16_t maxTextureSize);
// Edge of the next tile when textureDimension pixels are still to be covered.
int32_t GetNextTextureSize(int32_t textureDimension, int16_t maxTextureSize);

// The drawing-space corners of a texture tile: image pixel (offsetX, offsetY)
// and (endX, endY) of an image centred on the origin, scaled by zoom
// (products and differences in double precision, then rounded to float).
struct GLImageCorners {
    float startX, startY, endX, endY;
};
GLImageCorners GetGLImageCorners(float imageWidth, float imageHeight, float zoom, float offsetX, float offsetY,
                                 float endX, float endY);

// Draws one texture tile (drawType GL_TRIANGLE_STRIP) or its outline
// (GL_LINE_STRIP, with the two remaining edges as GL_LINES): the quad whose
// corners are the image pixels (offsetX, offsetY) and (endX, endY) of an
// image centred on the origin, scaled by zoom, at z = 0. Texture coordinate
// (0, 0) lies at the first corner and (1, 1) at the second, so an end before
// its offset mirrors the tile.
void DrawGLImage(int32_t drawType, float imageWidth, float imageHeight, float zoom, float offsetX, float offsetY,
                 float endX, float endY);

// Draws a line on every texel boundary of an image centred on the origin:
// textureWidth + 1 vertical and textureHeight + 1 horizontal lines.
void DrawGLPixelGrid(float textureWidth, float textureHeight, float imageWidth, float imageHeight, float zoom);
