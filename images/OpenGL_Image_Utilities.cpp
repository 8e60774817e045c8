#include "OpenGL_Image_Utilities.h"

int32_t GetTextureNumFromTextureDim(int32_t textureDimension, int16_t maxTextureSize)
{
    int32_t count = 0;
    if (maxTextureSize < 1) // outside the rule: no tiles rather than a division by zero
        return 0;
    if (textureDimension > maxTextureSize)
        count = textureDimension / maxTextureSize;
    const int32_t remainder = textureDimension - maxTextureSize * count;
    for (int32_t bit = 8192; bit > 0; bit >>= 1)
        if (remainder & bit)
            ++count;
    return count;
}

int32_t GetNextTextureSize(int32_t textureDimension, int16_t maxTextureSize)
{
    if (textureDimension > maxTextureSize)
        return maxTextureSize;
    for (int32_t bit = 8192; bit > 0; bit >>= 1)
        if (textureDimension & bit)
            return bit;
    return 0;
}
