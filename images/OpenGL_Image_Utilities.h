// Images and their power-of-two texture tiles.
//
// An image is cut into a grid of tiles whose edges are powers of two no larger
// than the maximum tile size: along each dimension as many full-size tiles as
// fit, then the remainder split into descending powers of two, one tile per
// set bit. Tile (x, y) is number x * textureY + y: column by column.
#pragma once

#include "Host_Types.h"

// Number of tiles along a dimension of textureDimension pixels.
int32_t GetTextureNumFromTextureDim(int32_t textureDimension, int16_t maxTextureSize);
// Edge of the next tile when textureDimension pixels are still to be covered.
int32_t GetNextTextureSize(int32_t textureDimension, int16_t maxTextureSize);
